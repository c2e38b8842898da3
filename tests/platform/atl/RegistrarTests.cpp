// The registry-script registrar against a scratch key that stands in for HKCR.
#include "Registrar.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t* const scratchPath = L"Software\\StagecastTests\\Registrar";

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());  // test texts are ASCII
}

// Every key and value below key, one sorted line each.
void dumpKey(HKEY key, const std::wstring& path, std::vector<std::string>& lines)
{
    lines.push_back(narrow(path) + "\\");
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        BYTE data[1024];
        size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string value;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            value = narrow(reinterpret_cast<const wchar_t*>(data));
        else if (type == REG_DWORD)
            value = std::to_string(*reinterpret_cast<const DWORD*>(data));
        else
            for (DWORD b = 0; b < size; ++b)
                value += "0123456789abcdef"[data[b] >> 4], value += "0123456789abcdef"[data[b] & 15];
        lines.push_back(narrow(path) + "[" + narrow(name) + "]" + std::to_string(type) + "=" + value);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            dumpKey(sub, path + L"\\" + name, lines);
            RegCloseKey(sub);
        }
    }
}

std::vector<std::string> sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

class RegistrarTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath);
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
            ERROR_SUCCESS);
        registrar.setClassesRoot(root);
        registrar.addReplacement(L"MODULE", L"C:\\it's 100% here\\Thing.dll");
        registrar.addReplacement(L"APPID", L"{2785B0E4-81E4-4759-8039-FA3AA191B2EF}");
    }
    void TearDown() override
    {
        RegCloseKey(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath);
    }

    std::vector<std::string> dump()
    {
        std::vector<std::string> lines;
        dumpKey(root, L"", lines);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    void put(const wchar_t* path, const wchar_t* valueName, const wchar_t* value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    HKEY root = nullptr;
    Atl::Registrar registrar;
};

const wchar_t* const classScript = LR"(
HKCR
{
    Thing.Class.1 = s 'Thing Class'
    {
        CLSID = s '{01234567-89AB-CDEF-0123-456789ABCDEF}'
    }
    NoRemove CLSID
    {
        ForceRemove {01234567-89AB-CDEF-0123-456789ABCDEF} = s 'Thing Class'
        {
            ForceRemove Programmable
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'Quoted Key' = e '%%SystemRoot%%\it''s'
            Numbers
            {
                val Decimal = d '42'
                val Hex = d 0x10
                val Bytes = b '00ff10'
            }
        }
    }
    NoRemove AppID
    {
        '%APPID%' = s 'Thing'
    }
}
)";

TEST_F(RegistrarTest, RegisterWritesEveryKeyAndValueWithReplacements)
{
    ASSERT_EQ(registrar.registerScript(classScript), S_OK) << narrow(registrar.lastError());
    const std::string clsid = "\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}";
    std::vector<std::string> expected = {
        "\\",
        "\\AppID\\",
        "\\AppID\\{2785B0E4-81E4-4759-8039-FA3AA191B2EF}\\",
        "\\AppID\\{2785B0E4-81E4-4759-8039-FA3AA191B2EF}[]1=Thing",
        "\\CLSID\\",
        clsid + "\\",
        clsid + "[]1=Thing Class",
        clsid + "\\InprocServer32\\",
        clsid + "\\InprocServer32[]1=C:\\it's 100% here\\Thing.dll",
        clsid + "\\InprocServer32[ThreadingModel]1=Apartment",
        clsid + "\\Numbers\\",
        clsid + "\\Numbers[Bytes]3=00ff10",
        clsid + "\\Numbers[Decimal]4=42",
        clsid + "\\Numbers[Hex]4=16",
        clsid + "\\Programmable\\",
        clsid + "\\Quoted Key\\",
        clsid + "\\Quoted Key[]2=%SystemRoot%\\it's",
        "\\Thing.Class.1\\",
        "\\Thing.Class.1[]1=Thing Class",
        "\\Thing.Class.1\\CLSID\\",
        "\\Thing.Class.1\\CLSID[]1={01234567-89AB-CDEF-0123-456789ABCDEF}",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dump(), expected);
}

TEST_F(RegistrarTest, UnregisterUndoesRegisterAndKeepsWhatOthersOwn)
{
    // Others' content: the shared AppID key, a class beside ours under the shared
    // CLSID key, a value of theirs in a plain key we also write, an unrelated key.
    put(L"AppID", nullptr, L"");
    put(L"CLSID\\{FFFFFFFF-0000-0000-0000-000000000000}", nullptr, L"Other Class");
    put(L"Thing.Class.1", L"Theirs", L"kept");
    put(L"Unrelated", nullptr, L"x");
    std::vector<std::string> before = dump();

    ASSERT_EQ(registrar.registerScript(classScript), S_OK);
    ASSERT_EQ(registrar.registerScript(classScript), S_OK);  // registering twice changes nothing more
    ASSERT_EQ(registrar.unregisterScript(classScript), S_OK);
    std::vector<std::string> after = dump();
    // Our default value of Thing.Class.1 is gone, their value stays: that is "before".
    EXPECT_EQ(after, before);
    ASSERT_EQ(registrar.unregisterScript(classScript), S_OK);  // and once more: nothing left to do
    EXPECT_EQ(dump(), before);
}

TEST_F(RegistrarTest, NoRemoveParentSurvivesEvenWhenEmpty)
{
    ASSERT_EQ(registrar.registerScript(classScript), S_OK);
    ASSERT_EQ(registrar.unregisterScript(classScript), S_OK);
    EXPECT_EQ(dump(), (std::vector<std::string>{"\\", "\\AppID\\", "\\CLSID\\"}));
}

TEST_F(RegistrarTest, ForceRemoveReplacesTheWholeKeyBothWays)
{
    put(L"CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}\\Stale", nullptr, L"old");
    ASSERT_EQ(registrar.registerScript(classScript), S_OK);
    std::vector<std::string> lines = dump();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                  [](const std::string& l) { return l.find("Stale") != std::string::npos; }),
        0);
    put(L"CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}\\AddedLater", nullptr, L"x");
    ASSERT_EQ(registrar.unregisterScript(classScript), S_OK);
    EXPECT_EQ(dump(), (std::vector<std::string>{"\\", "\\AppID\\", "\\CLSID\\"}));
}

TEST_F(RegistrarTest, DeleteRemovesOnRegisterOnly)
{
    const wchar_t* script = L"HKCR { NoRemove Old { Delete Gone } }";
    put(L"Old\\Gone\\Deep", nullptr, L"x");
    ASSERT_EQ(registrar.registerScript(script), S_OK);
    EXPECT_EQ(dump(), (std::vector<std::string>{"\\", "\\Old\\"}));
    put(L"Old\\Gone", nullptr, L"back");
    ASSERT_EQ(registrar.unregisterScript(script), S_OK);
    EXPECT_EQ(dump(), sorted({"\\", "\\Old\\", "\\Old\\Gone\\", "\\Old\\Gone[]1=back"}));
}

struct MalformedCase {
    const char* what;
    const wchar_t* script;
};

class MalformedScriptTest : public RegistrarTest, public testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedScriptTest, IsRefusedWithoutTouchingTheRegistry)
{
    put(L"Existing", nullptr, L"x");
    std::vector<std::string> before = dump();
    EXPECT_EQ(registrar.registerScript(GetParam().script), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_FALSE(registrar.lastError().empty());
    EXPECT_EQ(registrar.unregisterScript(GetParam().script), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(dump(), before);
}

INSTANTIATE_TEST_SUITE_P(Scripts, MalformedScriptTest,
    testing::Values(MalformedCase{"missing closing brace", L"HKCR { A = s 'x' { B } "},
        MalformedCase{"unterminated quote", L"HKCR { A = s 'x }"}, MalformedCase{"unknown root", L"HKXX { A }"},
        MalformedCase{"unknown value type", L"HKCR { A = q 'x' }"},
        MalformedCase{"value without type", L"HKCR { A = 'x' }"},
        MalformedCase{"missing replacement", L"HKCR { A = s '%NOPE%' }"},
        MalformedCase{"unterminated replacement", L"HKCR { A = s '%MODULE' }"},
        MalformedCase{"number too large", L"HKCR { A { val N = d '4294967296' } }"},
        MalformedCase{"negative number", L"HKCR { A { val N = d '-1' } }"},
        MalformedCase{"odd hex digits", L"HKCR { A { val B = b '0f0' } }"},
        MalformedCase{"val without equals", L"HKCR { A { val N s 'x' } }"},
        MalformedCase{"key name with backslash", L"HKCR { 'A\\B' }"},
        MalformedCase{"good key then bad one", L"HKCR { Good = s 'x' Bad = z 'y' }"},
        MalformedCase{"stray closing brace", L"HKCR { A } }"}),
    [](const testing::TestParamInfo<MalformedCase>& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST_F(RegistrarTest, FailureHalfWayTakesBackWhatWasWritten)
{
    put(L"Existing", nullptr, L"x");
    std::vector<std::string> before = dump();
    // Registry key names are limited to 255 characters.
    std::wstring script = L"HKCR { First = s 'x' { Inner } Second { " + std::wstring(300, L'k') + L" } }";
    EXPECT_TRUE(FAILED(registrar.registerScript(script)));
    EXPECT_EQ(dump(), before);
}

TEST(RegistryResource, MissingResourceIsAnError)
{
    Atl::Registrar registrar;
    EXPECT_EQ(
        registrar.registerResource(GetModuleHandleW(nullptr), 4242), HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
