// Demo: opens a camera through Camtap.dll's exports, waits for the first frame
// in "VC_SHARE" and shows it as a small text picture (rows bottom-up in memory,
// printed top row first), then asks for a camera that is not there.
// Usage: camtap_demo "CAMERA NAME" WIDTH HEIGHT
#include "CamtapApi.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool WaitForPicture(const unsigned char* view, size_t bytes)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        for (size_t i = 0; i < bytes; ++i)
            if (view[i]) return true;
        Sleep(10);
    }
    return false;
}

void ShowPicture(const unsigned char* view, int width, int height)
{
    const char shades[] = " .:-=+*#%@";
    const int columns = 48;
    const int rows = 16;
    for (int y = 0; y < rows; ++y) {
        // Picture row y from the top lives in memory row height - 1 - y.
        int memoryRow = height - 1 - y * height / rows;
        std::printf("    ");
        for (int x = 0; x < columns; ++x) {
            const unsigned char* pixel = view + (static_cast<size_t>(memoryRow) * width + x * width / columns) * 3;
            int light = (pixel[0] + pixel[1] * 2 + pixel[2]) / 4;
            std::putchar(shades[light * 9 / 255]);
        }
        std::putchar('\n');
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::printf("usage: camtap_demo \"CAMERA NAME\" WIDTH HEIGHT\n");
        return 2;
    }
    const char* camera = argv[1];
    int width = std::atoi(argv[2]);
    int height = std::atoi(argv[3]);

    int init = capture_Init(camera, width, height);
    std::printf("capture_Init(\"%s\", %d, %d) = %d\n", camera, width, height, init);
    int run = init == 0 ? capture() : 1;
    std::printf("capture() = %d\n", run);
    int result = 1;
    if (run == 0) {
        size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
        HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"VC_SHARE");
        auto* view =
            mapping ? static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytes)) : nullptr;
        if (view && WaitForPicture(view, bytes)) {
            std::printf("VC_SHARE holds a %dx%d RGB24 frame (%zu bytes, bottom-up); first bytes in memory: %u %u %u\n",
                width, height, bytes, view[0], view[1], view[2]);
            ShowPicture(view, width, height);
            result = 0;
        } else {
            std::printf("no frame arrived in VC_SHARE\n");
        }
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
    }
    std::printf("capture_Stop() = %d\n", capture_Stop());
    capture_Destroy();
    std::printf("capture_Destroy() done\n");

    int missing = capture_Init("No Such Camera", width, height);
    std::printf(
        "capture_Init(\"No Such Camera\", %d, %d) = %d (no device has that friendly name)\n", width, height, missing);
    capture_Destroy();
    return result;
}
