// System chores of the updater: finding and ending the processes that hold
// the plug-in libraries, registering a COM server DLL, and clearing the
// installation folder in a way that survives locked files. Every outcome is
// written to the log with the method's name first.
//
// Processes are always ended by id, never by a name that other programs may
// share, and never the updater itself. Folder clearing stays inside its
// folder: links (junctions, symbolic links) are removed, never followed.
//
// Threading: called from the setup thread; no shared state.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace basetool {

// One running process: its id and the file name of its program.
struct ProcessEntry {
    DWORD id = 0;
    std::wstring exeName;
};

// Sees a file's path relative to the folder being cleared; true keeps it.
using DeleteFilterCallback = std::function<bool(const std::wstring& relativePath)>;

// Removes a junction or symbolic link itself (never what it points to),
// given its path in the form the file functions take.
bool RemoveLink(const std::wstring& apiPath);

class CMisc {
public:
    // Ends each listed process (by id, after checking that the id still names
    // the same program) and waits briefly for it to go. False when the running
    // processes could not be listed or any of them could not be ended.
    static bool KillAllProcess(const std::vector<ProcessEntry>& processes);

    // The processes (other than this one) that have loaded a module whose file
    // name equals one of the given names, ignoring case. Each process once.
    static std::vector<ProcessEntry> FindProcessesWithModule(const std::vector<std::wstring>& moduleNames);

    // The processes (other than this one) whose program file name equals one of
    // the given names, ignoring case.
    static std::vector<ProcessEntry> FindProcessesByName(const std::vector<std::wstring>& exeNames);

    // Loads the DLL with its folder current and calls DllRegisterServer. True
    // only when it was found and reported success; the current directory is
    // the same afterwards.
    static bool RegDll(const std::wstring& path);

    // Deletes everything inside the folder except the files the filter keeps;
    // the folder itself stays. A file that cannot be deleted is renamed to
    // name + ".error" and scheduled for deletion at restart. False when the
    // folder is missing or something could neither be deleted nor moved aside.
    static bool DeleteFolder(const std::wstring& path, const DeleteFilterCallback& filter);
};

}  // namespace basetool
