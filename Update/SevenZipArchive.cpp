#include "SevenZipArchive.h"

#include "BlockDecoder.h"
#include "FileLogger.h"
#include "OrderedWorker.h"
#include "PathText.h"

extern "C" {
#include <7z.h>
#include <7zCrc.h>
#include <7zFile.h>
}

#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

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
constexpr uint32_t kNoBlock = 0xFFFFFFFF;
// How far a block is decoded before the files it completes are handed to
// the writer.
constexpr size_t kDecodeStep = size_t(1) << 20;
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
        path = AppendPath(path, relative.substr(start, end - start));
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
    uint32_t blockIndex = kNoBlock;
    Byte* outBuffer = nullptr;  // the decoder's one-block cache
    size_t outBufferSize = 0;
    // The block being decoded step by step into the cache; blockIndex names
    // it once it is whole.
    CBlockDecoder streamed;
    uint32_t streamedBlock = kNoBlock;

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

    // Empties the cache, which may hold half a block.
    void ResetCache()
    {
        if (outBuffer) ISzAlloc_Free(&kAllocator, outBuffer);
        outBuffer = nullptr;
        outBufferSize = 0;
        blockIndex = kNoBlock;
        streamedBlock = kNoBlock;
    }

    // The SDK's whole-block extraction of one file into the cache, with the
    // file's CRC checked.
    SRes Extract(uint32_t index, size_t& offset, size_t& processed)
    {
        if (db.FileToFolder[index] != blockIndex) streamedBlock = kNoBlock;  // the cache is replaced
        offset = processed = 0;
        return SzArEx_Extract(&db, &look.vt, index, &blockIndex, &outBuffer, &outBufferSize, &offset, &processed,
            &kAllocator, &kAllocator);
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
    if (sdk.db.FileToFolder[index] == kNoBlock) return true;  // an empty file has no data
    // Decodes the file's block once into the cache and checks the file's CRC.
    size_t offset = 0, processed = 0;
    SRes result = sdk.Extract(index, offset, processed);
    if (result != SZ_OK) {
        sdk.ResetCache();
        SetFailure(result, m_entries[index].name + L" " + ResultText(result));
        return false;
    }
    data = sdk.outBuffer ? sdk.outBuffer + offset : nullptr;
    size = processed;
    return true;
}

int CSevenZipArchive::DecodeForWriting(uint32_t index, const uint8_t*& data, size_t& size, bool& crcLeft)
{
    Sdk& sdk = *m_sdk;
    data = nullptr;
    size = 0;
    crcLeft = false;
    uint32_t block = sdk.db.FileToFolder[index];
    if (block == kNoBlock) return SZ_OK;
    if (sdk.streamedBlock != block && sdk.blockIndex != block && CBlockDecoder::CanDecode(sdk.db, block)) {
        UInt64 unpacked = SzAr_GetFolderUnpackSize(&sdk.db.db, block);
        if (unpacked != 0 && unpacked == static_cast<size_t>(unpacked)) {
            sdk.ResetCache();
            sdk.outBuffer = static_cast<Byte*>(ISzAlloc_Alloc(&kAllocator, static_cast<size_t>(unpacked)));
            if (!sdk.outBuffer) return SZ_ERROR_MEM;
            sdk.outBufferSize = static_cast<size_t>(unpacked);
            SRes result =
                sdk.streamed.Start(sdk.db, &sdk.look.vt, block, sdk.outBuffer, sdk.outBufferSize, &kAllocator);
            if (result != SZ_OK) return result;
            sdk.streamedBlock = block;
        }
    }
    if (sdk.streamedBlock != block) {
        size_t offset = 0, processed = 0;
        SRes result = sdk.Extract(index, offset, processed);
        if (result == SZ_OK && sdk.outBuffer) {
            data = sdk.outBuffer + offset;
            size = processed;
        }
        return result;
    }
    // As the SDK places a file in its block; its CRC is checked by the writer.
    UInt64 start = sdk.db.UnpackPositions[index] - sdk.db.UnpackPositions[sdk.db.FolderToFile[block]];
    UInt64 length = SzArEx_GetFileSize(&sdk.db, index);
    if (start > sdk.outBufferSize || length > sdk.outBufferSize - start) return SZ_ERROR_FAIL;
    while (sdk.streamed.Ready() < start + length)
        if (SRes result = sdk.streamed.Step(kDecodeStep); result != SZ_OK) return result;
    if (sdk.streamed.Finished()) sdk.blockIndex = block;
    data = sdk.outBuffer + start;
    size = static_cast<size_t>(length);
    crcLeft = SzBitWithVals_Check(&sdk.db.CRCs, index);
    return SZ_OK;
}

// A block decoded step by step is decoded to its end, even past its last
// file, so that a fault anywhere in it fails the unpack as the SDK's
// whole-block decoder would.
int CSevenZipArchive::FinishStreamedBlock()
{
    Sdk& sdk = *m_sdk;
    if (sdk.streamedBlock == kNoBlock) return SZ_OK;
    while (!sdk.streamed.Finished())
        if (SRes result = sdk.streamed.Step(kDecodeStep); result != SZ_OK) return result;
    sdk.blockIndex = sdk.streamedBlock;
    return SZ_OK;
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
    const std::wstring& shown = reported.empty() ? target : reported;
    Sdk& sdk = *m_sdk;
    // The entries are written in archive order by the writer, each as soon as
    // its data is decoded, while this thread decodes on. A fault found here
    // is reported once the writer has stopped: a write that failed before it
    // comes first, as it did in order.
    SRes fault = SZ_OK;
    std::wstring faultText;
    const char* faultPrefix = " ";
    auto decodeFault = [&](SRes result, const std::wstring& name) {
        fault = result;
        faultText = name + L" " + ResultText(result);
    };
    COrderedWorker writer;
    uint32_t lastBlock = kNoBlock;
    for (uint32_t i = 0; i < m_entries.size(); ++i) {
        const ArchiveEntry& entry = m_entries[i];
        if (!basetool::IsSafeRelativePath(entry.name)) {
            fault = SZ_ERROR_ARCHIVE;
            faultText = L"不安全的文件名 \"" + entry.name + L"\"";
            faultPrefix = " 拒绝";
            break;
        }
        const uint8_t* data = nullptr;
        size_t size = 0;
        bool crcLeft = false;
        if (!entry.isFolder) {
            uint32_t block = sdk.db.FileToFolder[i];
            if (block != kNoBlock && block != lastBlock) {
                if (lastBlock != kNoBlock) {
                    if (SRes result = FinishStreamedBlock(); result != SZ_OK) {
                        decodeFault(result, m_entries[sdk.db.FolderToFile[lastBlock]].name);
                        break;
                    }
                    // The writer may still be writing files of the last block
                    // while the next one is decoded: the cache goes to it, to be
                    // freed after them.
                    std::shared_ptr<Byte> retired(
                        sdk.outBuffer, [](Byte* buffer) { ISzAlloc_Free(&kAllocator, buffer); });
                    sdk.outBuffer = nullptr;
                    sdk.ResetCache();
                    if (!writer.Add([retired]() mutable {
                            retired.reset();
                            return true;
                        }))
                        break;
                }
                lastBlock = block;
            }
            if (SRes result = DecodeForWriting(i, data, size, crcLeft); result != SZ_OK) {
                decodeFault(result, entry.name);
                break;
            }
        }
        UInt32 crc = crcLeft ? sdk.db.CRCs.Vals[i] : 0;
        bool added = writer.Add([this, &target, &shown, &entry, data, size, i, crcLeft, crc] {
            if (crcLeft && CrcCalc(data, size) != crc) {
                SetFailure(SZ_ERROR_CRC, entry.name + L" " + ResultText(SZ_ERROR_CRC));
                LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", m_lastError);
                return false;
            }
            return WriteEntry(target, shown, entry, data, size, i);
        });
        if (!added) break;
    }
    if (fault == SZ_OK && lastBlock != kNoBlock && !writer.Failed())
        if (SRes result = FinishStreamedBlock(); result != SZ_OK)
            decodeFault(result, m_entries[sdk.db.FolderToFile[lastBlock]].name);
    bool written = writer.Finish();
    if (!written && m_lastResult == 0) SetFailure(SZ_ERROR_FAIL, L"内部错误");
    if (written && fault != SZ_OK) {
        SetFailure(fault, faultText);
        LogLine(LogLevel::Error, "CUpdate::Unzip7z", faultPrefix, m_lastError);
    }
    if (!written || fault != SZ_OK) sdk.ResetCache();
    return written && fault == SZ_OK;
}

bool CSevenZipArchive::WriteEntry(const std::wstring& target, const std::wstring& reported, const ArchiveEntry& entry,
    const uint8_t* data, size_t size, uint32_t index)
{
    std::wstring relative = NativeName(entry.name);
    std::wstring path = AppendPath(target, relative);
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
    if (!MakeFolders(target, RemoveFileSpec(relative))) return failed(L"无法创建文件夹");

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
    // The time and the attributes in one call through the open handle: the
    // file is not looked up and opened again by its path for its attributes.
    // Zero leaves a field as it is.
    const CSzArEx& db = m_sdk->db;
    FILE_BASIC_INFO basic = {};
    if (SzBitWithVals_Check(&db.MTime, index)) {
        basic.LastWriteTime.LowPart = db.MTime.Vals[index].Low;
        basic.LastWriteTime.HighPart = static_cast<LONG>(db.MTime.Vals[index].High);
    }
    if (entry.hasAttributes) basic.FileAttributes = entry.attributes & kFileAttributeMask;
    if (basic.LastWriteTime.QuadPart != 0 || basic.FileAttributes != 0)
        SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(file);
    LogLine(LogLevel::Info, "CUpdate::Unzip7z", " ", AppendPath(reported, relative), " 释放成功");
    return true;
}
