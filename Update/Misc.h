// System chores of the updater: finding and ending the processes that hold
// the plug-in libraries, registering a COM server DLL, and clearing the
// installation folder in a way that survives locked files. Every outcome is
// written to the log with the method's name first.
//
// Processes are ended by their program's file name, every process of that
// name, but never the updater itself. Folder clearing stays inside its
// folder: links (junctions, symbolic links) are removed, never followed.
//
// Threading: called from the setup thread; no shared state.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Sees a file's path relative to the folder being cleared; true keeps it.
using DeleteFilterCallback = std::function<bool(const std::wstring& relativePath)>;

namespace basetool {

// Removes a junction or symbolic link itself (never what it points to),
// given its path in the form the file functions take.
bool RemoveLink(const std::wstring& apiPath);

class CMisc {
public:
    // Ends every process (other than this one) whose program file name equals
    // a listed name, ignoring case, and waits briefly for each to go. False
    // only when the running processes could not be listed.
    static bool KillAllProcess(const std::vector<std::wstring>& exeNames);

    // The program file names of the processes (other than this one) that have
    // loaded a module whose path contains one of the texts, ignoring case:
    // one name per such module, so a process holding two is listed twice.
    static std::vector<std::wstring> FindProcessesWithModule(const std::vector<std::wstring>& moduleTexts);

    // Loads the DLL with its folder current and calls DllRegisterServer. True
    // only when it was found and reported success; the current directory is
    // the same afterwards.
    static bool RegDll(const std::wstring& path);

    // Deletes everything inside the folder except the files the filter keeps,
    // then the folder itself when nothing is left in it. A file that cannot be
    // deleted is renamed to name + ".error" and scheduled for deletion at
    // restart; one that cannot even be renamed stays, logged. False only when
    // the path is missing or not a folder.
    static bool DeleteFolder(const std::wstring& path, const DeleteFilterCallback& filter);
};

}  // namespace basetool
