// Implementation details: the central directory is parsed once at open into a
// table of entries (as far as it is well formed; entries from the first corrupt
// header on answer "corrupt"). Every read goes through one bounds-checked
// readAt on the source, so a lying length can never reach outside the archive.
// One entry at a time is open for unpacking into memory piece by piece.
#include "ZipArchive.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace SkinUI {

namespace {

constexpr size_t kInputBufferSize = 0x4000;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;

thread_local DWORD g_lastResult = ZR_OK;

uint16_t get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
        (static_cast<uint32_t>(p[3]) << 24);
}

FILETIME fileTimeFromTicks(uint64_t ticks)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

FILETIME fileTimeFromUnix(uint32_t seconds)
{
    return fileTimeFromTicks((static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull);
}

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
int64_t daysSince1601(int year, int month, int day)
{
    static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t y = year - 1601;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + kBefore[month - 1] + (day - 1);
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (leap && month > 2) ++days;
    return days;
}

FILETIME fileTimeFromDos(uint16_t date, uint16_t time)
{
    int year = 1980 + (date >> 9);
    int month = (date >> 5) & 15;
    int day = date & 31;
    if (month < 1 || month > 12) month = 1;
    if (day < 1) day = 1;
    int hour = (time >> 11) & 31, minute = (time >> 5) & 63, second = (time & 31) * 2;
    int64_t seconds = daysSince1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return fileTimeFromTicks(static_cast<uint64_t>(seconds) * 10000000ull);
}

DWORD attributesFrom(uint32_t external)
{
    DWORD attr = (external & 0x40000000u) || (external & 0x10u) ? (0x10 | 0x80) : 0x80;
    if (external & 0x20u) attr |= 0x20;
    if (external & 0x2u) attr |= 0x2;
    if (external & 0x4u) attr |= 0x4;
    if (!(external & 0x800000u) || (external & 0x1u)) attr |= 0x1;
    return attr;
}

}  // namespace

struct CentralEntry {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t compSize = 0;
    uint32_t unzipSize = 0;
    uint32_t external = 0;
    uint32_t localOffset = 0;
    std::vector<uint8_t> extra;
};

// The entry being unpacked piece by piece.
struct OpenEntry {
    int index = -1;
    uint64_t dataPos = 0;    // next compressed byte, relative to the archive start
    uint64_t compLeft = 0;   // compressed bytes not yet read
    uint64_t unzipLeft = 0;  // bytes still to be produced
    uint32_t crc = 0;
    bool deflated = false;
    bool streamEnded = false;
    z_stream stream{};
    bool streamInited = false;
    uint8_t input[kInputBufferSize];

    ~OpenEntry()
    {
        if (streamInited) inflateEnd(&stream);
    }
};

struct ZipArchive {
    // Source.
    int kind = 0;
#ifdef _WIN32
    HANDLE file = INVALID_HANDLE_VALUE;
#endif
    uint64_t start = 0;  // where the archive begins in a file source
    const uint8_t* memory = nullptr;
    uint64_t size = 0;  // bytes from start to the end of the source

    uint64_t before = 0;  // bytes in front of the archive proper
    uint32_t entryCount = 0;
    std::vector<CentralEntry> entries;  // well-formed central headers, in order
    int describedIndex = -2;
    ZipEntry described{};
    std::unique_ptr<OpenEntry> open;
    std::wstring baseFolder;

    ~ZipArchive()
    {
#ifdef _WIN32
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
#endif
    }

    // Reads exactly n bytes at offset (relative to the archive start); false
    // when any of them lies outside the source or cannot be read.
    bool readAt(uint64_t offset, void* out, size_t n)
    {
        if (offset > size || n > size - offset) return false;
        if (n == 0) return true;
        if (memory) {
            memcpy(out, memory + offset, n);
            return true;
        }
#ifdef _WIN32
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(start + offset);
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
        DWORD got = 0;
        if (!ReadFile(file, out, static_cast<DWORD>(n), &got, nullptr)) return false;
        return got == n;
#else
        return false;
#endif
    }

    DWORD openEnd();
    void readCentralDirectory(uint64_t offset, uint64_t length);
    DWORD describe(int index, ZipEntry* entry);
    DWORD openEntry(int index);
    DWORD produce(uint8_t* out, size_t capacity, size_t* produced);
    DWORD unzipToMemory(int index, uint8_t* target, unsigned int size);
#ifdef _WIN32
    DWORD unzipToHandle(int index, HANDLE target);
    DWORD unzipToFile(int index, const wchar_t* name);
#endif
};

DWORD ZipArchive::openEnd()
{
    if (size < 22) return ZR_NOEND;
    // Backwards over at most the last 65535 bytes, in 1 KB blocks overlapping by 4.
    uint64_t maxBack = size < 0xffff ? size : 0xffff;
    uint64_t backRead = 4;
    uint8_t buffer[1024 + 4];
    uint64_t found = UINT64_MAX;
    while (backRead < maxBack && found == UINT64_MAX) {
        backRead = backRead + 1024 > maxBack ? maxBack : backRead + 1024;
        uint64_t readPos = size - backRead;
        size_t readSize = static_cast<size_t>(size - readPos < sizeof(buffer) ? size - readPos : sizeof(buffer));
        if (!readAt(readPos, buffer, readSize)) return ZR_NOEND;
        for (size_t i = readSize - 3; i-- > 0;) {
            if (get32(buffer + i) == kEndSignature) {
                found = readPos + i;
                break;
            }
        }
    }
    if (found == UINT64_MAX) return ZR_NOEND;
    uint8_t record[22];
    if (!readAt(found, record, sizeof(record))) return ZR_NOEND;
    uint16_t disk = get16(record + 4), centralDisk = get16(record + 6);
    uint16_t onDisk = get16(record + 8), total = get16(record + 10);
    uint32_t centralSize = get32(record + 12), centralOffset = get32(record + 16);
    if (disk != 0 || centralDisk != 0 || onDisk != total) return ZR_UNSUPPORTED;
    uint64_t centralEnd = static_cast<uint64_t>(centralOffset) + centralSize;
    if (found < centralEnd) return ZR_UNSUPPORTED;
    before = found - centralEnd;
    entryCount = total;
    readCentralDirectory(before + centralOffset, centralSize);
    return ZR_OK;
}

void ZipArchive::readCentralDirectory(uint64_t offset, uint64_t length)
{
    uint64_t end = offset + length;
    entries.reserve(entryCount < 4096 ? entryCount : 4096);
    for (uint32_t i = 0; i < entryCount; ++i) {
        uint8_t header[46];
        if (offset + sizeof(header) > end || !readAt(offset, header, sizeof(header))) return;
        if (get32(header) != kCentralSignature) return;
        CentralEntry entry;
        entry.flags = get16(header + 8);
        entry.method = get16(header + 10);
        entry.dosTime = get16(header + 12);
        entry.dosDate = get16(header + 14);
        entry.crc = get32(header + 16);
        entry.compSize = get32(header + 20);
        entry.unzipSize = get32(header + 24);
        uint16_t nameLength = get16(header + 28), extraLength = get16(header + 30), commentLength = get16(header + 32);
        entry.external = get32(header + 38);
        entry.localOffset = get32(header + 42);
        uint64_t variable = static_cast<uint64_t>(nameLength) + extraLength + commentLength;
        if (offset + sizeof(header) + variable > end) return;
        if (nameLength >= sizeof(ZipEntry::name)) return;
        entry.name.resize(nameLength);
        entry.extra.resize(extraLength);
        if (!readAt(offset + sizeof(header), entry.name.data(), nameLength)) return;
        if (!readAt(offset + sizeof(header) + nameLength, entry.extra.data(), extraLength)) return;
        if (entry.name.find('\0') != std::string::npos) return;
        entries.push_back(std::move(entry));
        offset += sizeof(header) + variable;
    }
}

DWORD ZipArchive::describe(int index, ZipEntry* out)
{
    if (index == -1) {
        memset(out, 0, sizeof(*out));
        out->index = static_cast<int>(entryCount);
        out->compSize = out->unzipSize = 0;
        return ZR_OK;
    }
    if (index < 0 || static_cast<uint32_t>(index) >= entryCount) return ZR_ARGS;
    if (index == describedIndex) {
        *out = described;
        return ZR_OK;
    }
    if (static_cast<size_t>(index) >= entries.size()) return ZR_CORRUPT;
    const CentralEntry& entry = entries[index];
    ZipEntry result{};
    result.index = index;
    memcpy(result.name, entry.name.c_str(), entry.name.size() + 1);
    result.attr = attributesFrom(entry.external);
    // Some writers mark folders only by the trailing slash of the name.
    if (!entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\')) result.attr |= 0x10;
    result.mtime = result.atime = result.ctime = fileTimeFromDos(entry.dosDate, entry.dosTime);
    // An extended timestamp block overrides the DOS time, as far as it holds data.
    const uint8_t* extra = entry.extra.data();
    size_t at = 0;
    while (at + 4 <= entry.extra.size()) {
        uint16_t id = get16(extra + at), blockSize = get16(extra + at + 2);
        if (at + 4 + blockSize > entry.extra.size()) break;
        if (id == 0x5455 && blockSize >= 1) {
            uint8_t flags = extra[at + 4];
            size_t field = at + 5, blockEnd = at + 4 + blockSize;
            FILETIME* targets[3] = {&result.mtime, &result.atime, &result.ctime};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1 << bit))) continue;
                if (field + 4 > blockEnd) break;
                *targets[bit] = fileTimeFromUnix(get32(extra + field));
                field += 4;
            }
        }
        at += 4 + blockSize;
    }
    result.compSize = static_cast<long>(entry.compSize);
    result.unzipSize = static_cast<long>(entry.unzipSize);
    described = result;
    describedIndex = index;
    *out = result;
    return ZR_OK;
}

DWORD ZipArchive::openEntry(int index)
{
    open.reset();
    if (index < 0 || static_cast<uint32_t>(index) >= entryCount) return ZR_ARGS;
    if (static_cast<size_t>(index) >= entries.size()) return ZR_CORRUPT;
    const CentralEntry& entry = entries[index];
    if (entry.flags & 1) return ZR_CORRUPT;  // encrypted entries are not supported
    if (entry.method != 0 && entry.method != 8) return ZR_CORRUPT;
    if (entry.method == 0 && entry.compSize != entry.unzipSize) return ZR_CORRUPT;
    uint8_t local[30];
    uint64_t localPos = before + entry.localOffset;
    if (!readAt(localPos, local, sizeof(local))) return ZR_CORRUPT;
    if (get32(local) != kLocalSignature) return ZR_CORRUPT;
    uint64_t dataPos = localPos + sizeof(local) + get16(local + 26) + get16(local + 28);
    if (dataPos > size || entry.compSize > size - dataPos) return ZR_CORRUPT;
    std::unique_ptr<OpenEntry> state(new (std::nothrow) OpenEntry);
    if (!state) return ZR_ARGS;
    state->index = index;
    state->dataPos = dataPos;
    state->compLeft = entry.compSize;
    state->unzipLeft = entry.unzipSize;
    state->crc = crc32(0, Z_NULL, 0);
    state->deflated = entry.method == 8;
    if (state->deflated) {
        if (inflateInit2(&state->stream, -MAX_WBITS) != Z_OK) return ZR_FLATE;
        state->streamInited = true;
    }
    open = std::move(state);
    return ZR_OK;
}

// Produces up to capacity bytes of the open entry. ZR_FLATE on bad data.
DWORD ZipArchive::produce(uint8_t* out, size_t capacity, size_t* produced)
{
    OpenEntry& e = *open;
    *produced = 0;
    if (!e.deflated) {
        size_t n = static_cast<size_t>(e.compLeft < capacity ? e.compLeft : capacity);
        if (!readAt(e.dataPos, out, n)) return ZR_READ;
        e.dataPos += n;
        e.compLeft -= n;
        e.unzipLeft -= n;
        e.crc = crc32(e.crc, out, static_cast<uInt>(n));
        *produced = n;
        return ZR_OK;
    }
    while (*produced < capacity && !e.streamEnded) {
        if (e.stream.avail_in == 0 && e.compLeft > 0) {
            size_t n = static_cast<size_t>(e.compLeft < kInputBufferSize ? e.compLeft : kInputBufferSize);
            if (!readAt(e.dataPos, e.input, n)) return ZR_READ;
            e.dataPos += n;
            e.compLeft -= n;
            e.stream.next_in = e.input;
            e.stream.avail_in = static_cast<uInt>(n);
        }
        size_t room = capacity - *produced;
        e.stream.next_out = out + *produced;
        e.stream.avail_out = static_cast<uInt>(room);
        int rc = inflate(&e.stream, Z_NO_FLUSH);
        size_t made = room - e.stream.avail_out;
        e.crc = crc32(e.crc, out + *produced, static_cast<uInt>(made));
        *produced += made;
        if (made > e.unzipLeft) return ZR_FLATE;  // more data than the header says
        e.unzipLeft -= made;
        if (rc == Z_STREAM_END) {
            e.streamEnded = true;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) return ZR_FLATE;
        if (made == 0 && e.stream.avail_in == 0 && e.compLeft == 0) return ZR_FLATE;  // truncated stream
    }
    return ZR_OK;
}

DWORD ZipArchive::unzipToMemory(int index, uint8_t* target, unsigned int capacity)
{
    if (!open || open->index != index) {
        DWORD rc = openEntry(index);
        if (rc != ZR_OK) return rc;
    }
    size_t produced = 0;
    DWORD rc = produce(target, capacity, &produced);
    if (rc != ZR_OK) {
        open.reset();
        return rc == ZR_FLATE ? ZR_FLATE : ZR_MEMSIZE;
    }
    OpenEntry& e = *open;
    bool finished = e.deflated ? e.streamEnded : e.unzipLeft == 0;
    if (!finished && e.unzipLeft == 0 && e.deflated) {
        // All declared bytes are out; the stream must end without producing more.
        uint8_t probe[1];
        size_t extra = 0;
        rc = produce(probe, sizeof(probe), &extra);
        if (rc != ZR_OK || extra != 0 || !e.streamEnded) {
            open.reset();
            return ZR_FLATE;
        }
        finished = true;
    }
    if (!finished) return ZR_MORE;
    bool intact = e.unzipLeft == 0 && e.crc == entries[index].crc;
    open.reset();
    return intact ? ZR_OK : ZR_FLATE;
}

#ifdef _WIN32
DWORD ZipArchive::unzipToHandle(int index, HANDLE target)
{
    DWORD rc = openEntry(index);
    if (rc != ZR_OK) return rc;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kInputBufferSize]);
    if (!chunk) return ZR_ARGS;
    for (;;) {
        size_t produced = 0;
        rc = produce(chunk.get(), kInputBufferSize, &produced);
        if (rc != ZR_OK) break;
        DWORD written = 0;
        if (produced &&
            (!WriteFile(target, chunk.get(), static_cast<DWORD>(produced), &written, nullptr) || written != produced)) {
            rc = ZR_NOFILE;
            break;
        }
        OpenEntry& e = *open;
        if (e.deflated ? e.streamEnded : e.unzipLeft == 0) break;
        if (produced == 0) {
            rc = ZR_FLATE;
            break;
        }
    }
    bool intact = rc == ZR_OK && open->unzipLeft == 0 && open->crc == entries[index].crc;
    open.reset();
    if (rc == ZR_NOFILE) return rc;
    return intact ? ZR_OK : ZR_FLATE;
}

namespace {

bool hasDotDotComponent(const std::wstring& path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = path.size();
        if (path.compare(start, end - start, L"..") == 0) return true;
        start = end + 1;
    }
    return false;
}

bool isAbsolutePath(const std::wstring& path)
{
    return !path.empty() && (path[0] == L'/' || path[0] == L'\\' || (path.size() > 1 && path[1] == L':'));
}

bool createFolders(const std::wstring& path)
{
    for (size_t i = 0; i < path.size(); ++i) {
        if ((path[i] == L'\\' || path[i] == L'/') && i > 0 && path[i - 1] != L':') {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring wideFromNarrow(const std::string& text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(n - 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    return wide;
}

}  // namespace

DWORD ZipArchive::unzipToFile(int index, const wchar_t* name)
{
    if (index < 0 || static_cast<uint32_t>(index) >= entryCount) return ZR_ARGS;
    if (static_cast<size_t>(index) >= entries.size()) return ZR_CORRUPT;
    ZipEntry entry;
    DWORD rc = describe(index, &entry);
    if (rc != ZR_OK) return rc;
    if (entry.attr & FILE_ATTRIBUTE_DIRECTORY) {
        std::wstring folder = wideFromNarrow(entry.name);
        if (isAbsolutePath(folder) || hasDotDotComponent(folder)) return ZR_NOFILE;
        return createFolders(baseFolder + folder + L"\\") ? ZR_OK : ZR_NOFILE;
    }
    std::wstring path = name ? name : L"";
    if (path.empty() || hasDotDotComponent(path)) return ZR_NOFILE;
    if (!isAbsolutePath(path)) {
        path = baseFolder + path;
        size_t slash = path.find_last_of(L"/\\");
        if (slash != std::wstring::npos) createFolders(path.substr(0, slash + 1));
    }
    DWORD attributes = entry.attr & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    HANDLE file = CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes & ~FILE_ATTRIBUTE_READONLY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ZR_NOFILE;
    rc = unzipToHandle(index, file);
    if (rc == ZR_OK) SetFileTime(file, &entry.ctime, &entry.atime, &entry.mtime);
    CloseHandle(file);
    if (rc == ZR_OK && (attributes & FILE_ATTRIBUTE_READONLY)) SetFileAttributesW(path.c_str(), attributes);
    return rc;
}
#endif

namespace {

HZIP openArchive(std::unique_ptr<ZipArchive> zip)
{
    g_lastResult = zip->openEnd();
    if (g_lastResult != ZR_OK) return nullptr;
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 2];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    if (n > 0 && n < MAX_PATH) {
        zip->baseFolder.assign(folder, n);
        if (zip->baseFolder.back() != L'\\') zip->baseFolder += L'\\';
    }
#endif
    return zip.release();
}

}  // namespace

HZIP ZipOpen(const void* source, unsigned int length, int kind)
{
    std::unique_ptr<ZipArchive> zip(new (std::nothrow) ZipArchive);
    if (!zip) {
        g_lastResult = ZR_ARGS;
        return nullptr;
    }
    zip->kind = kind;
    if (kind == ZIP_MEMORY) {
        if (!source && length) {
            g_lastResult = ZR_ARGS;
            return nullptr;
        }
        zip->memory = static_cast<const uint8_t*>(source);
        zip->size = length;
        return openArchive(std::move(zip));
    }
#ifdef _WIN32
    if (kind == ZIP_FILENAME) {
        const wchar_t* name = static_cast<const wchar_t*>(source);
        if (!name) {
            g_lastResult = ZR_ARGS;
            return nullptr;
        }
        zip->file =
            CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (zip->file == INVALID_HANDLE_VALUE) {
            g_lastResult = ZR_NOFILE;
            return nullptr;
        }
    } else if (kind == ZIP_HANDLE) {
        HANDLE process = GetCurrentProcess();
        if (!DuplicateHandle(
                process, const_cast<HANDLE>(source), process, &zip->file, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            zip->file = INVALID_HANDLE_VALUE;
            g_lastResult = ZR_NODUPH;
            return nullptr;
        }
    } else {
        g_lastResult = ZR_ARGS;
        return nullptr;
    }
    if (GetFileType(zip->file) != FILE_TYPE_DISK) {
        g_lastResult = ZR_SEEK;
        return nullptr;
    }
    LARGE_INTEGER position{}, zero{}, fileSize{};
    if (kind == ZIP_HANDLE && !SetFilePointerEx(zip->file, zero, &position, FILE_CURRENT)) position.QuadPart = 0;
    if (!GetFileSizeEx(zip->file, &fileSize) || fileSize.QuadPart < position.QuadPart) {
        g_lastResult = ZR_READ;
        return nullptr;
    }
    zip->start = static_cast<uint64_t>(position.QuadPart);
    zip->size = static_cast<uint64_t>(fileSize.QuadPart - position.QuadPart);
    return openArchive(std::move(zip));
#else
    g_lastResult = ZR_ARGS;
    return nullptr;
#endif
}

DWORD ZipLastResult()
{
    return g_lastResult;
}

DWORD ZipGetItem(HZIP zip, int index, ZipEntry* entry)
{
    if (!zip || !entry) return ZR_ARGS;
    return zip->describe(index, entry);
}

DWORD ZipFindItemA(HZIP zip, const char* name, bool ignoreCase, int* index, ZipEntry* entry)
{
    if (!zip || !name || !index || !entry) return ZR_ARGS;
    auto asciiLower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    size_t length = strlen(name);
    for (size_t i = 0; i < zip->entries.size(); ++i) {
        const std::string& candidate = zip->entries[i].name;
        if (candidate.size() != length) continue;
        bool same = true;
        for (size_t k = 0; k < length && same; ++k)
            same = ignoreCase ? asciiLower(candidate[k]) == asciiLower(name[k]) : candidate[k] == name[k];
        if (!same) continue;
        *index = static_cast<int>(i);
        return zip->describe(static_cast<int>(i), entry);
    }
    *index = -1;
    memset(entry, 0, sizeof(*entry));
    entry->index = -1;
    return ZR_NOTFOUND;
}

DWORD ZipFindItem(HZIP zip, const wchar_t* name, bool ignoreCase, int* index, ZipEntry* entry)
{
    if (!zip || !name || !index || !entry) return ZR_ARGS;
    std::string narrow;
#ifdef _WIN32
    int n = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return ZR_ARGS;
    narrow.resize(n - 1);
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow.data(), n, nullptr, nullptr);
#else
    for (const wchar_t* p = name; *p; ++p) narrow += static_cast<char>(*p < 0x100 ? *p : '?');
#endif
    return ZipFindItemA(zip, narrow.c_str(), ignoreCase, index, entry);
}

DWORD ZipUnzipItem(HZIP zip, int index, void* target, unsigned int size, int kind)
{
    if (!zip || !target) return ZR_ARGS;
    if (kind == ZIP_MEMORY) return zip->unzipToMemory(index, static_cast<uint8_t*>(target), size);
#ifdef _WIN32
    if (kind == ZIP_FILENAME) return zip->unzipToFile(index, static_cast<const wchar_t*>(target));
    if (kind == ZIP_HANDLE) {
        DWORD rc = zip->unzipToHandle(index, static_cast<HANDLE>(target));
        return rc;
    }
#endif
    return ZR_ARGS;
}

DWORD ZipClose(HZIP zip)
{
    if (!zip) return ZR_ARGS;
    delete zip;
    return ZR_OK;
}

}  // namespace SkinUI
