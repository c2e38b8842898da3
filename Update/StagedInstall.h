// Puts a package into a folder without ever leaving it half old, half new.
//
// The package is unpacked into a staging folder beside the target (so on the
// same volume), decoding, writing and checking every CRC in one pass. Only
// when the staged tree is complete is it moved into the target, by renames:
// first what it replaces is moved out to a backup folder beside the target,
// then the staged entries are moved in. What was moved out is deleted only
// after every rename has succeeded; on any failure every rename is undone in
// reverse order, so the target is as it was, byte for byte. The staging and
// backup folders are removed either way.
//
// Replace mode (an installation) moves out every old entry except the files
// the keep filter keeps (a kept file the package also carries is replaced);
// merge mode (an unpack into a folder) moves out only what the package
// replaces.
//
// A replaced file that cannot be deleted afterwards because it is in use (a
// running program such as the updater itself, or a library of a process that
// could not be ended) is moved back beside its successor as name + ".error"
// (merge mode: ".old", as an unpack has always done) and scheduled for
// deletion at restart. A file that cannot even be renamed (open without delete
// sharing) fails the swap, which is then undone. Links in the target are moved
// or removed as links, never followed.
//
// The log names every file by its path in the target, not in the helper
// folders: each file as it is unpacked ("CUpdate::Unzip7z"), and in replace
// mode, under the folder clearing's name, each kept file as the swap passes
// it and each old file as it is deleted once the swap has succeeded.
//
// Threading: one thread at a time per object.
#pragma once

#include "Misc.h"
#include "PathText.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

class CSevenZipArchive;

class CStagedInstall {
public:
    enum class Mode { Replace, Merge };

    CStagedInstall(std::wstring target, Mode mode, DeleteFilterCallback keep = {});
    // Removes the staging folder and whatever is left of the backup folder.
    ~CStagedInstall();
    CStagedInstall(const CStagedInstall&) = delete;
    CStagedInstall& operator=(const CStagedInstall&) = delete;

    // Unpacks the archive, whose names have been checked, into a new staging
    // folder beside the target. False with LastError set; the staging folder
    // is gone again and the target untouched. PackageFault tells whether the
    // package itself was bad (rather than the disk).
    bool Unpack(CSevenZipArchive& archive);
    bool PackageFault() const { return m_packageFault; }

    // Moves the staged tree into the target. False, with the target restored,
    // when any rename failed.
    bool Swap();

    const std::wstring& LastError() const { return m_lastError; }
    const std::wstring& StagingFolder() const { return m_staging; }
    const std::wstring& BackupFolder() const { return m_backup; }

private:
    enum class Role { None, File, Folder };
    struct Step {
        enum Kind { Moved, MadeFolder, RemovedFolder } kind;
        std::wstring from, to;  // MadeFolder, RemovedFolder: the folder in "from"
        DWORD attributes = 0;
    };

    bool MakeSibling(const wchar_t* kind, std::wstring& folder);
    void CollectStaged(const std::wstring& relative);
    Role StagedRole(const std::wstring& relative) const;
    bool IsHelperFolder(const std::wstring& path) const;
    bool SwapTree();
    bool MoveOut(const std::wstring& relative);
    bool MoveIn(const std::wstring& relative);
    bool Move(const std::wstring& from, const std::wstring& to);
    bool MakeBackupFolder(const std::wstring& path);
    void RollBack();
    void DiscardBackup(const std::wstring& relative);
    void Fail(std::wstring text);

    std::wstring m_target;
    Mode m_mode;
    DeleteFilterCallback m_keep;
    std::wstring m_staging;
    std::wstring m_backup;
    std::set<std::wstring, basetool::NoCaseLess> m_stagedFiles, m_stagedFolders;
    std::vector<Step> m_journal;
    bool m_keepBackup = false;  // a failed rollback leaves the old files there
    bool m_packageFault = false;
    std::wstring m_lastError;
};
