#include "SingleInstance.h"

const wchar_t* const UPDATER_SINGLETON_MUTEX =
    L"Quorvan_SHOW_PLUGIN_UPDATE_SINGLETON_{4F5C0923-73C4-4b98-812C-89FACEB57031}";

CSingleInstanceMutex::CSingleInstanceMutex(const wchar_t* name)
{
    // A null DACL: an instance started by another user (or elevated) still
    // finds the mutex instead of being refused access to it.
    SECURITY_DESCRIPTOR descriptor{};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    m_mutex = CreateMutexW(&attributes, FALSE, name);
    DWORD error = GetLastError();
    // A mutex that exists but cannot be opened also means another instance.
    m_first = error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
}

CSingleInstanceMutex::~CSingleInstanceMutex()
{
    Release();
}

void CSingleInstanceMutex::Release()
{
    if (!m_mutex) return;
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
    m_mutex = nullptr;
}

bool ActivateRunningInstance(const wchar_t* title)
{
    HWND window = FindWindowExW(nullptr, nullptr, nullptr, title);
    if (!window || !IsWindow(window)) return false;
    return PostMessageW(window, WM_SHOW_INSTANCE, 0, 0) != FALSE;
}
