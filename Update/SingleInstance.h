// One updater at a time. The first instance owns a named mutex that every
// user may open; a later one raises the first instance's window and ends.
//
// Threading: the UI thread of wWinMain.
#pragma once

#include <windows.h>

constexpr UINT WM_SHOW_INSTANCE = WM_USER + 9;

extern const wchar_t* const UPDATER_SINGLETON_MUTEX;

class CSingleInstanceMutex {
public:
    explicit CSingleInstanceMutex(const wchar_t* name = UPDATER_SINGLETON_MUTEX);
    ~CSingleInstanceMutex();
    CSingleInstanceMutex(const CSingleInstanceMutex&) = delete;
    CSingleInstanceMutex& operator=(const CSingleInstanceMutex&) = delete;

    // True unless the mutex existed before this object opened it.
    bool IsFirstInstance() const { return m_first; }
    // Releases and closes the handle (also done by the destructor).
    void Release();

private:
    HANDLE m_mutex = nullptr;
    bool m_first = false;
};

// Posts WM_SHOW_INSTANCE to the top-level window with this title; false when
// there is none.
bool ActivateRunningInstance(const wchar_t* title);
