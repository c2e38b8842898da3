// Skins that nest, include or tile without bound, and two windows that take
// their skins from resources of their own, opened in real windows by the
// probe program. The probes run side by side as child processes under one
// watchdog, so that a skin that never finishes ends the run rather than the
// test; what each probe printed and its exit code are then compared.
#include "ProgramPath.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class Probe {
public:
    explicit Probe(const std::wstring& arguments)
    {
        wchar_t folder[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"prb", 0, name);
        m_outputName = name;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE output = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        std::wstring command = L"\"" + test_support::besideThisProgram(L"uilib_skin_probe.exe") + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
        }
        CloseHandle(output);
    }
    ~Probe()
    {
        if (m_process) {
            TerminateProcess(m_process, 99);
            WaitForSingleObject(m_process, 10000);
            CloseHandle(m_process);
        }
        DeleteFileW(m_outputName.c_str());
    }
    // Waits until the deadline (a tick count); a probe still running then is ended.
    bool finish(DWORD deadline)
    {
        if (!m_process) return false;
        DWORD now = GetTickCount();
        DWORD left = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
        if (WaitForSingleObject(m_process, left) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(m_process, &m_code);
        return true;
    }
    DWORD code() const { return m_code; }
    std::string output() const
    {
        std::string text;
        HANDLE file = CreateFileW(
            m_outputName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        char buffer[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
            text.append(buffer, got);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        std::string lines;
        for (char c : text)
            if (c != '\r') lines += c;
        return lines;
    }

private:
    HANDLE m_process = nullptr;
    DWORD m_code = 0;
    std::wstring m_outputName;
};

}  // namespace

TEST(SkinLimits, SkinsWithoutBoundAreBuiltOrRefusedInBoundedRuns)
{
    struct Case {
        const wchar_t* arguments;
        DWORD code;
        const char* output;
    } cases[] = {
        // A child layout that loads its own file nests as deep as builders may.
        {L"fixtures limits.zip selfchild.xml", 0,
            "built 48 self self self self self self self self self self self self self self self self\ndone\n"},
        // Deep through includes, or growing with every include: refused as a whole.
        {L"fixtures limits.zip deep.xml", 3, "refused\ndone\n"},
        {L"fixtures limits.zip twice.xml", 3, "refused\ndone\n"},
        {L"fixtures limits.zip thrice.xml", 3, "refused\ndone\n"},
        {L"fixtures limits.zip crowd.xml", 3, "refused\ndone\n"},
        // A thousand includes are well within the limits.
        {L"fixtures limits.zip thousand.xml", 0, "built 1002 first\ndone\n"},
        // A one-pixel tile over a control 214,748,364 pixels wide paints.
        {L"fixtures limits.zip tiled.xml", 0, "built 2 tiled\ndone\n"},
        // Two windows, each from a resource of its own; the first paints again after the second.
        {L"--resource FIRST SECOND", 0, "built 402 first\nbuilt 3 second\ndone\n"},
    };
    std::vector<std::unique_ptr<Probe>> probes;
    for (const Case& c : cases) probes.push_back(std::make_unique<Probe>(c.arguments));
    DWORD deadline = GetTickCount() + 60000;
    for (size_t i = 0; i < probes.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << std::string(c.arguments, c.arguments + wcslen(c.arguments)));
        if (!probes[i]->finish(deadline)) {
            ADD_FAILURE() << "still running; so far: " << probes[i]->output();
            continue;
        }
        EXPECT_EQ(c.code, probes[i]->code());
        EXPECT_EQ(c.output, probes[i]->output());
    }
}
