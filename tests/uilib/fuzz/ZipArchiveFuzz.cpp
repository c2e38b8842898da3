// Fuzz target of the skin zip reader: the input is an archive in memory; every
// entry is described, found by name and unpacked piece by piece.
#include "ZipArchive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace SkinUI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HZIP zip = ZipOpen(data, static_cast<unsigned int>(size), ZIP_MEMORY);
    if (!zip) return 0;
    ZipEntry whole{};
    ZipGetItem(zip, -1, &whole);
    int count = whole.index < 64 ? whole.index : 64;
    std::vector<uint8_t> piece(777);
    for (int i = 0; i < count; ++i) {
        ZipEntry entry{};
        if (ZipGetItem(zip, i, &entry) != ZR_OK) continue;
        int found = -1;
        ZipEntry again{};
        ZipFindItemA(zip, entry.name, true, &found, &again);
        size_t produced = 0;
        for (;;) {
            DWORD rc = ZipUnzipItem(zip, i, piece.data(), static_cast<unsigned int>(piece.size()), ZIP_MEMORY);
            produced += piece.size();
            if (rc != ZR_MORE || produced > (1u << 20)) break;
        }
    }
    ZipClose(zip);
    return 0;
}
