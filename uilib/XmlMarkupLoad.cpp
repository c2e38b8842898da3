// Loading a skin document from memory (UTF-8, ANSI or UTF-16 with a byte-order
// mark), from a file under the resource path, or from the skin zip archive.
#include "WindowManagerUI.h"
#include "XmlMarkup.h"

#include <cstdlib>
#include <vector>

namespace SkinUI {

namespace {

wchar_t* convert(UINT codePage, const uint8_t* bytes, size_t size, size_t* length)
{
    if (size > 0x7FFFFFFF) return nullptr;
    int n = size == 0
        ? 0
        : MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), nullptr, 0);
    if (size != 0 && n <= 0) return nullptr;
    wchar_t* text = static_cast<wchar_t*>(malloc((static_cast<size_t>(n) + 1) * sizeof(wchar_t)));
    if (!text) return nullptr;
    if (n > 0) MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), text, n);
    text[n] = 0;
    *length = static_cast<size_t>(n);
    return text;
}

}  // namespace

bool CXmlMarkup::LoadFromMem(const uint8_t* bytes, size_t size, int encoding)
{
    Release();
    if (!bytes && size) return fail(L"Error loading text", L"");
    wchar_t* text = nullptr;
    size_t length = 0;
    if (encoding == XMLFILE_ENCODING_UTF8) {
        if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes += 3;
            size -= 3;
        }
        text = convert(CP_UTF8, bytes, size, &length);
    } else if (encoding == XMLFILE_ENCODING_ANSI) {
        text = convert(CP_ACP, bytes, size, &length);
    } else if (encoding == XMLFILE_ENCODING_UNICODE) {
        bool little = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
        bool big = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
        if (!little && !big) return fail(L"Unknown encoding: a byte-order mark is needed", L"");
        length = (size - 2) / 2;
        text = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
        if (text) {
            for (size_t i = 0; i < length; ++i) {
                uint8_t a = bytes[2 + 2 * i], b = bytes[3 + 2 * i];
                text[i] = static_cast<wchar_t>(little ? (a | (b << 8)) : (b | (a << 8)));
            }
            text[length] = 0;
        }
    } else {
        return fail(L"Unknown encoding", L"");
    }
    if (!text) return fail(L"Could not convert text", L"");
    // A terminator inside the data ends the document there.
    length = wcslen(text);
    return adopt(text, length);
}

bool CXmlMarkup::LoadFromFile(const wchar_t* name, int encoding)
{
    Release();
    if (!name) return fail(L"Error opening file", L"");
    std::vector<uint8_t> bytes;
    if (CWindowManagerUI::GetResourceZip().IsEmpty()) {
        CUIString path = CWindowManagerUI::GetResourcePath() + name;
        HANDLE file =
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return fail(L"Error opening file", name);
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file, &size) || size.QuadPart == 0) {
            CloseHandle(file);
            return fail(L"File is empty", name);
        }
        if (size.QuadPart > kMaxFileSize) {
            CloseHandle(file);
            return fail(L"File too large", name);
        }
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        if (!read || got != bytes.size()) return fail(L"Could not read file", name);
        return LoadFromMem(bytes.data(), bytes.size(), encoding);
    }
    HZIP zip = CWindowManagerUI::GetZipArchive();
    bool own = false;
    if (!zip) {
        CUIString path = CWindowManagerUI::GetResourcePath() + CWindowManagerUI::GetResourceZip().GetData();
        zip = ZipOpen(path.GetData(), 0, ZIP_FILENAME);
        if (!zip) return fail(L"Error opening zip file", name);
        own = true;
    }
    int index = -1;
    ZipEntry entry{};
    bool ok = ZipFindItem(zip, name, true, &index, &entry) == ZR_OK;
    const wchar_t* error = L"Could not find ziped file";
    if (ok && entry.unzipSize <= 0) {
        ok = false;
        error = L"File is empty";
    }
    if (ok && entry.unzipSize > kMaxFileSize) {
        ok = false;
        error = L"File too large";
    }
    if (ok) {
        bytes.resize(static_cast<size_t>(entry.unzipSize));
        DWORD rc = ZipUnzipItem(zip, index, bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
        if (rc != ZR_OK && rc != ZR_MORE) {
            ok = false;
            error = L"Could not unzip file";
        }
    }
    if (own) ZipClose(zip);
    if (!ok) return fail(error, name);
    return LoadFromMem(bytes.data(), bytes.size(), encoding);
}

}  // namespace SkinUI
