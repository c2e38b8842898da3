// Version comparison, URL escaping and the name checks that keep server and
// package names inside the installation folder.
#include "PathText.h"
#include "Update.h"

#include <gtest/gtest.h>

using namespace basetool;

TEST(VersionCompare, ComparesNumbersPartByPart)
{
    struct Case {
        const wchar_t* local;
        const wchar_t* server;
        bool older;
    } cases[] = {
        {L"1.0.0.9", L"1.0.0.10", true},      // numbers, not text
        {L"1.2", L"1.2.0.0", false},          // missing parts are 0
        {L"1.0.0.9", L"1.0.0.10beta", true},  // letters after the last number are ignored
        {L"2.0.0.0", L"1.9.9.9", false}, {L"1.0.0.1", L"1.0.0.1", false}, {L"1.0.1.0", L"1.0.0.99", false},
        {L"0.9", L"1", true}, {L"abc", L"0.0.0.1", true},  // what does not scan stays 0
        {L"1.0.0.0", L"", false},
        // Parts beyond the range of a signed, an unsigned or a 64-bit number.
        {L"2147483647.0.0.0", L"2147483648.0.0.0", true}, {L"2147483648.0.0.0", L"2147483647.0.0.0", false},
        {L"1.4294967295", L"1.4294967296", true}, {L"1.0.0.18446744073709551615", L"1.0.0.18446744073709551616", true},
        {L"1.0.0.99999999999999999999", L"1.0.0.100000000000000000000", true},
        {L"1.0.0.100000000000000000000", L"1.0.0.99999999999999999999", false},
        {L"1.02", L"1.2", false},  // leading zeros do not count
        {L"1.0.0.010", L"1.0.0.9", false},
        {L"1. 2", L"1.3", true},  // blanks before a number are skipped, as a scan does
    };
    for (const Case& c : cases)
        EXPECT_EQ(CUpdate::IsOlderVersion(c.local, c.server), c.older) << c.local << L" vs " << c.server;
}

TEST(EscapeUrl, EscapesAllButUnreservedCharactersPathAndQueryDelimiters)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* escaped;
    } cases[] = {
        {L"http://h:80/a/b.ini", L"http://h:80/a/b.ini"},
        {L"http://h/a b.7z", L"http://h/a%20b.7z"},
        {L"http://h/p.7z?v=1&t=2", L"http://h/p.7z?v=1&t=2"},
        {L"http://h/update [1.0.0.10].7z", L"http://h/update%20%5b1.0.0.10%5d.7z"},
        {L"http://u@h/a#b+c;d,e$f", L"http://u%40h/a%23b%2bc%3bd%2ce%24f"},
        {L"http://h/!'()*-._~", L"http://h/!'()*-._~"},
        {L"http://h/%e5%90%8d.7z", L"http://h/%e5%90%8d.7z"},  // already escaped: not twice
        {L"http://h/名.7z", L"http://h/%e5%90%8d.7z"},
        {L"http://h/\"<>\\^`{|}", L"http://h/%22%3c%3e%5c%5e%60%7b%7c%7d"},
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeUrl(c.url), c.escaped) << c.url;
}

TEST(UrlFileName, TakesTheLastElementBeforeQueryAndRefusesUnsafeNames)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* name;
    } cases[] = {
        {L"http://h/dl/update_1.0.7z", L"update_1.0.7z"},
        {L"http://h/dl/p.7z?sig=a/b", L"p.7z"},
        {L"http://h/dl/p.7z#part", L"p.7z#part"},  // "#" is sent escaped, as part of the name
        {L"http://h/dl/", L""},
        {L"no-slash", L""},
        {L"http://h/dl/..", L""},
        {L"http://h/dl/..\\..\\x.7z", L""},
        {L"http://h/dl/p.7z:stream", L""},
        {L"http://h/dl/CON", L""},
        {L"http://h/dl/p.7z.", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(GetUrlFileName(c.url), c.name) << c.url;
}

TEST(SafeRelativePath, AcceptsOnlyPathsThatStayBelowTheirFolder)
{
    struct Case {
        const wchar_t* path;
        bool safe;
    } cases[] = {
        {L"a.dll", true},
        {L"sub/深/b.txt", true},
        {L"sub\\b.txt", true},
        {L"..a/b..c", true},
        {L"", false},
        {L"/etc/passwd", false},
        {L"\\abs", false},
        {L"C:\\Windows\\x.dll", false},
        {L"C:x.dll", false},
        {L"a/../../b", false},
        {L"..", false},
        {L"a/./b", false},
        {L"a//b", false},
        {L"a/", false},
        {L"file.txt:stream", false},
        {L"a/b.", false},
        {L"a/NUL.txt", false},
        {L"NUL .txt_a", false},  // the system drops the blanks before the extension
        {L"sub/AUX  .inixx", false},
        {L"con", false},
        {L"COM¹", false},
        {L"LPT².txt", false},
        {L"com³", false},
        {L"LPT0", false},
        {L"CONIN$.txt", false},
        {L"conout$", false},
        {L"COM10", true},
        {L"NULL.txt", true},
        {L"COM¼", true},
        {L"a\xD800"
         L"b.txt",
            false},  // a lone surrogate
        {L"a\xDC00", false},
        {L"\xD83D\xDE00.txt", true},  // a pair is a character
        {L"a/b\x01c", false},
        {L"\\\\server\\share\\x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSafeRelativePath(c.path), c.safe) << c.path;
}

TEST(KeepFileFilter, KeepsTheUninstallerIconAndShortcutsAnywhereBelowTheFolder)
{
    struct Case {
        const wchar_t* relative;
        bool kept;
    } cases[] = {
        {L"show.ico", true},
        {L"UNINS000.EXE", true},
        {L"unins000.dat", true},
        {L"links\\Quorvan娱乐直播.lnk", true},
        {L"npparvelplugin.dll", false},
        {L"Update.exe", false},
    };
    for (const Case& c : cases) EXPECT_EQ(CUpdate::KeepFileFilter(c.relative), c.kept) << c.relative;
}

TEST(PathJoin, JoinsWithoutFixedBuffersAndNeverDropsTheBase)
{
    std::wstring base(300, L'a');
    base = L"C:\\" + base;
    std::wstring joined = AppendPath(base, L"b.txt");
    EXPECT_EQ(joined, base + L"\\b.txt");
    EXPECT_EQ(RemoveFileSpec(joined), base);
    EXPECT_EQ(LongPath(joined), L"\\\\?\\" + joined);
    EXPECT_EQ(RemoveFileSpec(L"C:\\a"), L"C:\\");
    EXPECT_EQ(AppendPath(L"C:\\", L"\\x"), L"C:\\x");
}

TEST(FormatPath, FillsAFormatWithinMaxPathCharacters)
{
    EXPECT_EQ(FormatPath(L"Dll%d", 3), L"Dll3");
    EXPECT_EQ(FormatPath(L"%ls\\*.*", L"C:\\install"), L"C:\\install\\*.*");
    std::wstring longer(400, L'x');
    EXPECT_EQ(FormatPath(L"%ls", longer.c_str()), std::wstring(MAX_PATH - 1, L'x'));
}
