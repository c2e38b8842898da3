// An update package: a 7z archive read with the LZMA SDK's decoder.
//
// CheckNames checks every entry name without reading any data: each must be
// a safe relative path and no name may be both a file and a folder. Prove
// also decodes every file and checks its CRC, writing nothing.
// ExtractTo decodes, checks and writes the entries in one pass below one
// folder, and only there: names are checked again, and an existing link
// inside the folder is never written through. Each file is written, in
// archive order, on a thread of its own as soon as its part of the block is
// decoded, once its CRC has been checked. The first failure ends it;
// what was written stays (installations and unpacks extract into a fresh
// staging folder, see CStagedInstall).
//
// Threading: one thread at a time per object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ArchiveEntry {
    std::wstring name;  // as stored, "/" or "\" separated
    bool isFolder = false;
    bool hasAttributes = false;
    DWORD attributes = 0;
    uint64_t size = 0;
};

class CSevenZipArchive {
public:
    static constexpr int kWriteError = 9;  // the decoder's result code for a failed write

    CSevenZipArchive();
    ~CSevenZipArchive();
    CSevenZipArchive(const CSevenZipArchive&) = delete;
    CSevenZipArchive& operator=(const CSevenZipArchive&) = delete;

    // Opens the archive and reads its database. False with LastError set.
    bool Open(const std::wstring& path);
    const std::vector<ArchiveEntry>& Entries() const { return m_entries; }

    // True when every name is a safe relative path and the names make one
    // tree: no name is both a file and a folder (ignoring case). Reads no data.
    bool CheckNames();
    // CheckNames, and every file decodes with a good CRC.
    bool Prove();
    // Writes all entries below the folder (created with its parents if
    // missing). True when every entry was written. Each written file is
    // logged below reportedFolder when one is given: the folder the files
    // are meant for, where they are written elsewhere first.
    bool ExtractTo(const std::wstring& targetFolder, const std::wstring& reportedFolder = {});

    // The SDK's result code of the last failure (0 when none) and its text.
    int LastResult() const { return m_lastResult; }
    bool IsWriteFailure() const { return m_lastResult == kWriteError; }
    const std::wstring& LastError() const { return m_lastError; }

private:
    struct Sdk;
    bool Decode(uint32_t index, const uint8_t*& data, size_t& size);
    // For ExtractTo, while the writer may be reading the cache: the file's
    // data, whole, and whether its CRC is still to be checked. The SDK's
    // result code; the failure is not recorded.
    int DecodeForWriting(uint32_t index, const uint8_t*& data, size_t& size, bool& crcLeft);
    int FinishStreamedBlock();
    bool WriteEntry(const std::wstring& target, const std::wstring& reported, const ArchiveEntry& entry,
        const uint8_t* data, size_t size, uint32_t index);
    void SetFailure(int result, std::wstring text);

    std::unique_ptr<Sdk> m_sdk;
    std::vector<ArchiveEntry> m_entries;
    int m_lastResult = 0;
    std::wstring m_lastError;
};
