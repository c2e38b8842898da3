#include "ZipArchive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

std::vector<uint8_t> readFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Unzips an entry into memory in one buffer of its size.
DWORD unzipWhole(HZIP zip, const char* name, std::string* out)
{
    int index = -1;
    ZipEntry entry{};
    DWORD rc = ZipFindItemA(zip, name, false, &index, &entry);
    if (rc != ZR_OK) return rc;
    out->assign(static_cast<size_t>(entry.unzipSize), '\0');
    return ZipUnzipItem(zip, index, out->data(), static_cast<unsigned int>(out->size() ? out->size() : 1), ZIP_MEMORY);
}

class ZipFixture : public ::testing::Test {
protected:
    void SetUp() override { bytes = readFile("fixtures/skin.zip"); }
    std::vector<uint8_t> bytes;
};

}  // namespace

TEST_F(ZipFixture, ListsAndFindsEntries)
{
    HZIP zip = ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
    ASSERT_NE(nullptr, zip);
    ZipEntry whole{};
    ASSERT_EQ(ZR_OK, ZipGetItem(zip, -1, &whole));
    EXPECT_EQ(11, whole.index);
    ZipEntry entry{};
    int index = -1;
    EXPECT_EQ(ZR_OK, ZipFindItem(zip, L"mainframe.xml", true, &index, &entry));
    EXPECT_EQ(0, index);
    EXPECT_STREQ("MainFrame.xml", entry.name);
    EXPECT_EQ(ZR_NOTFOUND, ZipFindItem(zip, L"mainframe.xml", false, &index, &entry));
    EXPECT_EQ(-1, index);
    EXPECT_STREQ("", entry.name);
    EXPECT_EQ(ZR_OK, ZipFindItem(zip, L"img/red.png", false, &index, &entry));
    EXPECT_EQ(ZR_OK, ZipFindItem(zip, L"sub/", false, &index, &entry));
    EXPECT_TRUE(entry.attr & 0x10);
    EXPECT_EQ(ZR_ARGS, ZipGetItem(zip, 11, &entry));
    EXPECT_EQ(ZR_ARGS, ZipGetItem(zip, -2, &entry));
    // The DOS time of the first entry: 2020-05-17 10:30:00.
    ASSERT_EQ(ZR_OK, ZipGetItem(zip, 0, &entry));
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(&entry.mtime, &st));
    EXPECT_EQ(2020, st.wYear);
    EXPECT_EQ(5, st.wMonth);
    EXPECT_EQ(17, st.wDay);
    EXPECT_EQ(10, st.wHour);
    EXPECT_EQ(30, st.wMinute);
    ZipClose(zip);
}

TEST_F(ZipFixture, UnpacksStoredAndDeflatedEntries)
{
    for (const char* source : {"memory", "file", "appended"}) {
        SCOPED_TRACE(source);
        std::vector<uint8_t> appended = readFile("fixtures/appended.zip");
        HZIP zip = std::string(source) == "memory"
            ? ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY)
            : std::string(source) == "file"
            ? ZipOpen(L"fixtures\\skin.zip", 0, ZIP_FILENAME)
            : ZipOpen(appended.data(), static_cast<unsigned int>(appended.size()), ZIP_MEMORY);
        ASSERT_NE(nullptr, zip);
        std::string text;
        EXPECT_EQ(ZR_OK, unzipWhole(zip, "stored.txt", &text));
        EXPECT_EQ("stored bytes", text);
        EXPECT_EQ(ZR_OK, unzipWhole(zip, "MainFrame.xml", &text));
        EXPECT_EQ(0u, text.find("<?xml"));
        EXPECT_EQ(ZR_OK, unzipWhole(zip, "empty.txt", &text));
        ZipClose(zip);
    }
}

TEST_F(ZipFixture, UnpacksPieceByPiece)
{
    HZIP zip = ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
    ASSERT_NE(nullptr, zip);
    int index = -1;
    ZipEntry entry{};
    ASSERT_EQ(ZR_OK, ZipFindItemA(zip, "big.bin", false, &index, &entry));
    ASSERT_EQ(40000, entry.unzipSize);
    std::vector<uint8_t> all, piece(16384);
    std::vector<DWORD> codes;
    for (int i = 0; i < 3; ++i) {
        std::fill(piece.begin(), piece.end(), 0);
        codes.push_back(ZipUnzipItem(zip, index, piece.data(), 16384, ZIP_MEMORY));
        size_t got = i < 2 ? 16384 : 40000 - 2 * 16384;
        all.insert(all.end(), piece.begin(), piece.begin() + got);
    }
    EXPECT_EQ((std::vector<DWORD>{ZR_MORE, ZR_MORE, ZR_OK}), codes);
    ASSERT_EQ(40000u, all.size());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(static_cast<uint8_t>((i * 7 + i / 256) & 0xFF), all[i]) << i;
    ZipClose(zip);
}

TEST(ZipArchive, RefusesMalformedArchives)
{
    struct Case {
        const char* file;
        DWORD openResult;  // 0: opens, then the entry below fails
        const char* entry;
        DWORD unzipResult;
    } cases[] = {
        {"fixtures/badcrc-stored.zip", ZR_OK, "stored.txt", ZR_FLATE},
        {"fixtures/badcrc-deflated.zip", ZR_OK, "MainFrame.xml", ZR_FLATE},
        {"fixtures/lying-size.zip", ZR_OK, "big.bin", ZR_CORRUPT},
        {"fixtures/lying-offset.zip", ZR_OK, "stored.txt", ZR_CORRUPT},
        {"fixtures/garbled.zip", ZR_OK, "big.bin", ZR_FLATE},
        {"fixtures/multidisk.zip", ZR_UNSUPPORTED, nullptr, 0},
        {"fixtures/countmismatch.zip", ZR_UNSUPPORTED, nullptr, 0},
        {"fixtures/cdbeyond.zip", ZR_UNSUPPORTED, nullptr, 0},
        {"fixtures/truncated.zip", ZR_NOEND, nullptr, 0},
        {"fixtures/notazip.zip", ZR_NOEND, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> bytes = readFile(c.file);
        ASSERT_FALSE(bytes.empty());
        HZIP zip = ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
        if (c.openResult != ZR_OK) {
            EXPECT_EQ(nullptr, zip);
            EXPECT_EQ(c.openResult, ZipLastResult());
            continue;
        }
        ASSERT_NE(nullptr, zip);
        std::string text;
        EXPECT_EQ(c.unzipResult, unzipWhole(zip, c.entry, &text));
        ZipClose(zip);
    }
}

TEST(ZipArchive, LyingNameLengthCutsTheListing)
{
    std::vector<uint8_t> bytes = readFile("fixtures/lying-namelength.zip");
    HZIP zip = ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
    ASSERT_NE(nullptr, zip);
    ZipEntry entry{};
    EXPECT_EQ(ZR_OK, ZipGetItem(zip, 0, &entry));
    EXPECT_EQ(ZR_CORRUPT, ZipGetItem(zip, 1, &entry));  // the entry with the lying length
    EXPECT_EQ(ZR_CORRUPT, ZipGetItem(zip, 5, &entry));
    ZipClose(zip);
}

TEST(ZipArchive, TinyAndEmptySources)
{
    const uint8_t endOnly[22] = {'P', 'K', 5, 6};
    HZIP zip = ZipOpen(endOnly, sizeof(endOnly), ZIP_MEMORY);
    ASSERT_NE(nullptr, zip);
    ZipEntry whole{};
    EXPECT_EQ(ZR_OK, ZipGetItem(zip, -1, &whole));
    EXPECT_EQ(0, whole.index);
    ZipClose(zip);
    EXPECT_EQ(nullptr, ZipOpen(endOnly, 21, ZIP_MEMORY));
    EXPECT_EQ(nullptr, ZipOpen(nullptr, 0, ZIP_MEMORY));
    EXPECT_EQ(nullptr, ZipOpen(L"fixtures\\missing.zip", 0, ZIP_FILENAME));
    EXPECT_EQ(ZR_NOFILE, ZipLastResult());
    EXPECT_EQ(nullptr, ZipOpen(endOnly, sizeof(endOnly), 7));
    EXPECT_EQ(ZR_ARGS, ZipLastResult());
}

TEST_F(ZipFixture, UnpacksIntoFilesInsideTheBaseFolder)
{
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring work = std::wstring(folder) + L"\\unzip-out";
    CreateDirectoryW(work.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    HZIP zip = ZipOpen(bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
    ASSERT_NE(nullptr, zip);
    int index = -1;
    ZipEntry entry{};
    ASSERT_EQ(ZR_OK, ZipFindItemA(zip, "big.bin", false, &index, &entry));
    EXPECT_EQ(ZR_OK, ZipUnzipItem(zip, index, const_cast<wchar_t*>(L"nested\\dir\\big.bin"), 0, ZIP_FILENAME));
    EXPECT_EQ(ZR_NOFILE, ZipUnzipItem(zip, index, const_cast<wchar_t*>(L"..\\escaped.bin"), 0, ZIP_FILENAME));
    EXPECT_EQ(ZR_NOFILE, ZipUnzipItem(zip, index, const_cast<wchar_t*>(L"a/../../escaped.bin"), 0, ZIP_FILENAME));
    ASSERT_EQ(ZR_OK, ZipFindItemA(zip, "sub/", false, &index, &entry));
    EXPECT_EQ(ZR_OK, ZipUnzipItem(zip, index, const_cast<wchar_t*>(L"ignored"), 0, ZIP_FILENAME));
    ZipClose(zip);
    SetCurrentDirectoryW(folder);
    std::ifstream out("unzip-out/nested/dir/big.bin", std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(out)), {});
    EXPECT_EQ(40000u, data.size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"escaped.bin"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"unzip-out\\sub"));
}
