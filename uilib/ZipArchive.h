// Reader of the skin zip archives (single disk; entries stored or deflated).
//
// An archive comes from a file name, an open file handle or a memory block, and
// may be appended to other data. Every header length and offset is checked
// against the archive's size, the CRC-32 of every unpacked entry is checked, and
// unpacking into files never leaves the base folder. Results are the codes below
// (0 = success); nothing throws. An archive handle is used by one thread.
#pragma once

#include "UICommon.h"

namespace SkinUI {

struct ZipArchive;
using HZIP = ZipArchive*;

enum ZipSourceKind { ZIP_HANDLE = 1, ZIP_FILENAME = 2, ZIP_MEMORY = 3 };

enum ZipResult : DWORD {
    ZR_OK = 0,
    ZR_NODUPH = 0x100,         // the given handle could not be duplicated
    ZR_NOFILE = 0x200,         // a file could not be opened or created
    ZR_FLATE = 0x400,          // the entry failed to decompress or check
    ZR_NOTFOUND = 0x500,       // no entry of that name
    ZR_MORE = 0x600,           // the buffer is full and the entry has more to give
    ZR_CORRUPT = 0x700,        // the entry's headers are corrupt
    ZR_READ = 0x800,           // the archive could not be read
    ZR_ARGS = 0x10000,         // bad argument
    ZR_NOTINITED = 0x1000000,  // an archive is already open in this object
    ZR_SEEK = 0x2000000,       // a handle source that is not a disk file
    ZR_MEMSIZE = 0x5000000,    // reading into memory failed before the end of the entry
    ZR_UNSUPPORTED = 153,      // several disks, inconsistent counts, directory beyond the end record
    ZR_NOEND = 255,            // no end record found, or it could not be read
};

struct ZipEntry {
    int index;
    char name[260];
    DWORD attr;
    FILETIME atime, ctime, mtime;
    long compSize;
    long unzipSize;
};

// source: a HANDLE (kind 1), a wide file name (kind 2) or the bytes (kind 3, of
// length bytes). Null on failure; ZipLastResult tells why.
HZIP ZipOpen(const void* source, unsigned int length, int kind);
DWORD ZipLastResult();
// Index -1 describes the archive: the entry count is in index.
DWORD ZipGetItem(HZIP zip, int index, ZipEntry* entry);
DWORD ZipFindItem(HZIP zip, const wchar_t* name, bool ignoreCase, int* index, ZipEntry* entry);
DWORD ZipFindItemA(HZIP zip, const char* name, bool ignoreCase, int* index, ZipEntry* entry);
// kind 3: fill target (size bytes), 0x600 while more remains; kinds 1, 2: a
// HANDLE or a wide file name (relative names are under the base folder).
DWORD ZipUnzipItem(HZIP zip, int index, void* target, unsigned int size, int kind);
DWORD ZipClose(HZIP zip);

}  // namespace SkinUI
