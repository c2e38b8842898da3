// The exports of Camtap.dll for its users: open a camera by friendly name at a
// frame size, start and stop it, and release everything. Frames appear in the
// named shared memory "VC_SHARE" (width × height × 3 bytes, bottom-up RGB24).
// Meant for one calling thread, the one that called capture_Init.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// 0 on success, 1 on failure (unknown camera, size refused, graph not built).
int capture_Init(const char* cameraName, int width, int height);
// 0 when the graph runs, 1 otherwise (also without a built camera).
int capture(void);
// Always 0.
int capture_Stop(void);
void capture_Destroy(void);

#ifdef __cplusplus
}
#endif
