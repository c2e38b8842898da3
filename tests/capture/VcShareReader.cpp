// The second process of the capture tests: opens the shared memory "VC_SHARE"
// as a reader would and waits (up to about ten seconds) until it holds the test
// camera's picture of the given size, packed bottom-up; with a byte count, only
// that many leading bytes are compared (for a mapping smaller than a frame).
// Exit code: 0 the picture is there, 1 it never appeared, 2 no mapping, 3 usage.
// Usage: vcshare_reader WIDTH HEIGHT [BYTES]
#include "camera/TestPattern.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    try {
        if (argc < 3) return 3;
        int width = std::atoi(argv[1]);
        int height = std::atoi(argv[2]);
        if (width <= 0 || height <= 0) return 3;
        std::vector<uint8_t> expected = TestCamera::PackedFrame(width, height);
        size_t compared = expected.size();
        if (argc > 3) compared = std::min(compared, static_cast<size_t>(std::strtoul(argv[3], nullptr, 10)));

        HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"VC_SHARE");
        if (!mapping) {
            std::printf("no VC_SHARE\n");
            return 2;
        }
        const uint8_t* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, compared));
        if (!view) {
            std::printf("VC_SHARE holds fewer than %zu bytes\n", compared);
            CloseHandle(mapping);
            return 2;
        }
        bool seen = false;
        for (int attempt = 0; attempt < 1000 && !seen; ++attempt) {
            seen = std::memcmp(view, expected.data(), compared) == 0;
            if (!seen) Sleep(10);
        }
        if (!seen) {
            size_t at = 0;
            while (at < compared && view[at] == expected[at]) ++at;
            std::printf("first difference at byte %zu: %u, expected %u\n", at, view[at], expected[at]);
        }
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        return seen ? 0 : 1;
    } catch (...) {
        return 3;
    }
}
