#include "SevenZipArchive.h"

#include "FileLogger.h"
#include "PathText.h"

extern "C" {
#include <7z.h>
#include <7zCrc.h>
#include <7zFile.h>
}

#include <cstdlib>
#include <mutex>
#include <set>

using basetool::LogLevel;
using basetool::LogLine;

namespace {

void* SdkAlloc(ISzAllocPtr, size_t size)
{
    return size ? malloc(size) : nullptr;
}
void SdkFree(ISzAllocPtr, void* address)
{
    free(address);
}
const ISzAlloc kAllocator = {SdkAlloc, SdkFree};

constexpr size_t kLookBufferSize = size_t(1) << 18;
static_assert(CSevenZipArchive::kWriteError == SZ_ERROR_WRITE);

// Attribute bits a Windows file may carry from an archive; archives made on
// Unix keep their mode bits in the high half, which must not reach Windows.
constexpr DWORD kFileAttributeMask =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::wstring ResultText(int result)
{
    switch (result) {
    case SZ_ERROR_DATA: return L"数据错误";
    case SZ_ERROR_MEM: return L"内存不足";
    case SZ_ERROR_CRC: return L"CRC校验错误";
    case SZ_ERROR_UNSUPPORTED: return L"不支持的压缩方式";
    case SZ_ERROR_INPUT_EOF: return L"压缩包不完整";
    case SZ_ERROR_READ: return L"读取失败";
    case SZ_ERROR_ARCHIVE: return L"压缩包格式错误";
    case SZ_ERROR_NO_ARCHIVE: return L"不是7z压缩包";
    default: return L"错误 " + std::to_wstring(result);
    }
}

std::wstring NativeName(std::wstring name)
{
    for (auto& c : name)
        if (c == L'/') c = L'\\';
    return name;
}

bool IsLinkOrFile(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates root\relative folder by folder. An element that exists as a link or
// a file ends it: nothing is ever written through a link.
bool MakeFolders(const std::wstring& root, const std::wstring& relative)
{
    std::wstring path = root;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find(L'\\', start);
        if (end == std::wstring::npos) end = relative.size();
        path = basetool::AppendPath(path, relative.substr(start, end - start));
        std::wstring api = basetool::LongPath(path);
        DWORD attributes = GetFileAttributesW(api.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryW(api.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        } else if (IsLinkOrFile(attributes)) {
            SetLastError(ERROR_DIRECTORY);
            return false;
        }
        start = end + 1;
    }
    return true;
}

HANDLE CreateOutputFile(const std::wstring& path)
{
    return CreateFileW(
        basetool::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

struct CSevenZipArchive::Sdk {
    CFileInStream file;
    CLookToRead2 look;
    CSzArEx db;
    bool fileOpen = false;
    bool dbOpen = false;
    uint32_t blockIndex = 0xFFFFFFFF;
    Byte* outBuffer = nullptr;  // the decoder's one-block cache
    size_t outBufferSize = 0;

    Sdk()
    {
        File_Construct(&file.file);
        look.buf = nullptr;
        SzArEx_Init(&db);
    }
    ~Sdk()
    {
        if (outBuffer) ISzAlloc_Free(&kAllocator, outBuffer);
        if (dbOpen) SzArEx_Free(&db, &kAllocator);
        if (look.buf) ISzAlloc_Free(&kAllocator, look.buf);
        if (fileOpen) File_Close(&file.file);
    }
};

CSevenZipArchive::CSevenZipArchive() = default;
CSevenZipArchive::~CSevenZipArchive() = default;

void CSevenZipArchive::SetFailure(int result, std::wstring text)
{
    m_lastResult = result;
    m_lastError = std::move(text);
}

bool CSevenZipArchive::Open(const std::wstring& path)
{
    static std::once_flag crcTable;
    std::call_once(crcTable, [] { CrcGenerateTable(); });

    m_sdk = std::make_unique<Sdk>();
    m_entries.clear();
    m_lastResult = 0;
    m_lastError.clear();
    Sdk& sdk = *m_sdk;
    if (WRes error = InFile_OpenW(&sdk.file.file, basetool::LongPath(path).c_str()); error != 0) {
        SetFailure(SZ_ERROR_READ, L"无法打开 " + path + L" 错误码：" + std::to_wstring(error));
        return false;
    }
    sdk.fileOpen = true;
    FileInStream_CreateVTable(&sdk.file);
    sdk.file.wres = 0;
    LookToRead2_CreateVTable(&sdk.look, False);
    sdk.look.buf = static_cast<Byte*>(ISzAlloc_Alloc(&kAllocator, kLookBufferSize));
    if (!sdk.look.buf) {
        SetFailure(SZ_ERROR_MEM, ResultText(SZ_ERROR_MEM));
        return false;
    }
    sdk.look.bufSize = kLookBufferSize;
    sdk.look.realStream = &sdk.file.vt;
    LookToRead2_INIT(&sdk.look);

    SRes result = SzArEx_Open(&sdk.db, &sdk.look.vt, &kAllocator, &kAllocator);
    sdk.dbOpen = true;  // SzArEx_Free is safe on a half-read database
    if (result != SZ_OK) {
        SetFailure(result, ResultText(result));
        return false;
    }

    // A header without the name property leaves the name table empty; the
    // decoder's own name functions would read through it.
    if (sdk.db.NumFiles > 0 && (!sdk.db.FileNameOffsets || !sdk.db.FileNames)) {
        SetFailure(SZ_ERROR_ARCHIVE, L"压缩包没有文件名");
        return false;
    }
    std::vector<UInt16> nameBuffer;
    for (uint32_t i = 0; i < sdk.db.NumFiles; ++i) {
        size_t length = SzArEx_GetFileNameUtf16(&sdk.db, i, nullptr);
        nameBuffer.assign(length ? length : 1, 0);
        SzArEx_GetFileNameUtf16(&sdk.db, i, nameBuffer.data());
        ArchiveEntry entry;
        entry.name.assign(reinterpret_cast<const wchar_t*>(nameBuffer.data()));
        entry.isFolder = SzArEx_IsDir(&sdk.db, i);
        entry.hasAttributes = SzBitWithVals_Check(&sdk.db.Attribs, i);
        entry.attributes = entry.hasAttributes ? sdk.db.Attribs.Vals[i] : 0;
        entry.size = SzArEx_GetFileSize(&sdk.db, i);
        m_entries.push_back(std::move(entry));
    }
    return true;
}

bool CSevenZipArchive::Decode(uint32_t index, const uint8_t*& data, size_t& size)
{
    Sdk& sdk = *m_sdk;
    data = nullptr;
    size = 0;
    if (sdk.db.FileToFolder[index] == 0xFFFFFFFF) return true;  // an empty file has no data
    // Decodes the file's block once into the cache and checks the file's CRC.
    size_t offset = 0, processed = 0;
    SRes result = SzArEx_Extract(&sdk.db, &sdk.look.vt, index, &sdk.blockIndex, &sdk.outBuffer, &sdk.outBufferSize,
        &offset, &processed, &kAllocator, &kAllocator);
    if (result != SZ_OK) {
        // The block cache may hold half a block now.
        if (sdk.outBuffer) ISzAlloc_Free(&kAllocator, sdk.outBuffer);
        sdk.outBuffer = nullptr;
        sdk.outBufferSize = 0;
        sdk.blockIndex = 0xFFFFFFFF;
        SetFailure(result, m_entries[index].name + L" " + ResultText(result));
        return false;
    }
    data = sdk.outBuffer ? sdk.outBuffer + offset : nullptr;
    size = processed;
    return true;
}

bool CSevenZipArchive::CheckNames()
{
    if (!m_sdk || !m_sdk->dbOpen || m_lastResult != 0) {
        if (m_lastError.empty()) SetFailure(SZ_ERROR_FAIL, L"压缩包未打开");
        return false;
    }
    if (m_entries.empty()) {
        SetFailure(SZ_ERROR_ARCHIVE, L"压缩包是空的");
        return false;
    }
    // Windows compares names without regard to case: "a.txt" and "A.TXT\x"
    // would be one file and one folder of the same name.
    std::set<std::wstring, basetool::NoCaseLess> files, folders;
    for (const ArchiveEntry& entry : m_entries) {
        if (!basetool::IsSafeRelativePath(entry.name)) {
            SetFailure(SZ_ERROR_ARCHIVE, L"不安全的文件名 \"" + entry.name + L"\"");
            return false;
        }
        std::wstring path = NativeName(entry.name);
        (entry.isFolder ? folders : files).insert(path);
        for (size_t cut = path.find(L'\\'); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
            folders.insert(path.substr(0, cut));
    }
    for (const std::wstring& file : files) {
        if (folders.count(file)) {
            SetFailure(SZ_ERROR_ARCHIVE, L"文件与文件夹同名 \"" + file + L"\"");
            return false;
        }
    }
    return true;
}

bool CSevenZipArchive::Prove()
{
    if (!CheckNames()) return false;
    for (uint32_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].isFolder) continue;
        const uint8_t* data = nullptr;
        size_t size = 0;
        if (!Decode(i, data, size)) return false;
    }
    return true;
}

bool CSevenZipArchive::ExtractTo(const std::wstring& target, const std::wstring& reported)
{
    if (!m_sdk || !m_sdk->dbOpen) {
        if (m_lastError.empty()) SetFailure(SZ_ERROR_FAIL, L"压缩包未打开");
        return false;
    }
    if (!basetool::MakeFolderPath(target)) {
        SetFailure(SZ_ERROR_WRITE, L"无法创建 " + target + L" 错误码：" + std::to_wstring(GetLastError()));
        LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", m_lastError);
        return false;
    }
    for (uint32_t i = 0; i < m_entries.size(); ++i) {
        const ArchiveEntry& entry = m_entries[i];
        if (!basetool::IsSafeRelativePath(entry.name)) {
            SetFailure(SZ_ERROR_ARCHIVE, L"不安全的文件名 \"" + entry.name + L"\"");
            LogLine(LogLevel::Error, "CUpdate::Unzip7z", " 拒绝", m_lastError);
            return false;
        }
        const uint8_t* data = nullptr;
        size_t size = 0;
        if (!entry.isFolder && !Decode(i, data, size)) {
            LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", m_lastError);
            return false;
        }
        if (!WriteEntry(target, reported.empty() ? target : reported, entry, data, size, i)) return false;
    }
    return true;
}

bool CSevenZipArchive::WriteEntry(const std::wstring& target, const std::wstring& reported, const ArchiveEntry& entry,
    const uint8_t* data, size_t size, uint32_t index)
{
    std::wstring relative = NativeName(entry.name);
    std::wstring path = basetool::AppendPath(target, relative);
    auto failed = [&](const wchar_t* what) {
        DWORD error = GetLastError();
        LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", path, " ", what, "，错误码：", error);
        SetFailure(SZ_ERROR_WRITE, path + L" " + what);
        return false;
    };
    if (entry.isFolder) {
        if (!MakeFolders(target, relative)) return failed(L"无法创建文件夹");
        return true;
    }
    if (!MakeFolders(target, basetool::RemoveFileSpec(relative))) return failed(L"无法创建文件夹");

    std::wstring api = basetool::LongPath(path);
    DWORD existing = GetFileAttributesW(api.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        // A link is replaced, never written through; a read-only file is overwritten.
        if (existing & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (!((existing & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(api.c_str()) : DeleteFileW(api.c_str())))
                return failed(L"无法删除链接");
        } else if (existing & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_DIRECTORY);
            return failed(L"已是文件夹");
        } else {
            SetFileAttributesW(api.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    }
    HANDLE file = CreateOutputFile(path);
    if (file == INVALID_HANDLE_VALUE) return failed(L"打开失败");
    size_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data + done, chunk, &written, nullptr) || written != chunk) {
            CloseHandle(file);
            DeleteFileW(api.c_str());  // never leave a short file behind as if it were whole
            return failed(L"写入失败");
        }
        done += written;
    }
    const CSzArEx& db = m_sdk->db;
    if (SzBitWithVals_Check(&db.MTime, index)) {
        FILETIME modified;
        modified.dwLowDateTime = db.MTime.Vals[index].Low;
        modified.dwHighDateTime = db.MTime.Vals[index].High;
        SetFileTime(file, nullptr, nullptr, &modified);
    }
    CloseHandle(file);
    if (entry.hasAttributes && (entry.attributes & kFileAttributeMask))
        SetFileAttributesW(api.c_str(), entry.attributes & kFileAttributeMask);
    LogLine(LogLevel::Info, "CUpdate::Unzip7z", " ", basetool::AppendPath(reported, relative), " 释放成功");
    return true;
}
