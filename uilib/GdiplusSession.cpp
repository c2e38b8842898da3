// Implementation details: one count and one start-up token for the process,
// under a lock. A start-up that fails is tried again by the next session.
#include "GdiplusSession.h"

// The library is built lean: GDI+ needs the OLE property types first.
#include <objidl.h>

#include <gdiplus.h>

#include <mutex>

namespace SkinUI {

namespace {

std::mutex g_lock;
int g_users = 0;
ULONG_PTR g_token = 0;

}  // namespace

CGdiplusSession::CGdiplusSession()
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_users == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&g_token, &input, nullptr) != Gdiplus::Ok) return;
    }
    ++g_users;
    m_ready = true;
}

CGdiplusSession::~CGdiplusSession()
{
    if (!m_ready) return;
    std::lock_guard<std::mutex> hold(g_lock);
    if (--g_users == 0) Gdiplus::GdiplusShutdown(g_token);
}

int CGdiplusSession::GetUserCount()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_users;
}

}  // namespace SkinUI
