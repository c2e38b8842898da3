// CGdiplusSession: the process's one GDI+ start-up. GDI+ is started when the
// first user acquires a session and shut down when the last one goes, so no
// GDI+ image, font or brush outlives it as long as each owner holds a session
// for as long as it keeps GDI+ objects. A control that draws with GDI+ holds a
// session as a member; a failed start-up leaves the session not ready and the
// control draws without GDI+.
//
//     CGdiplusSession m_gdiplus;                 // a member of the control
//     if (m_gdiplus.IsReady()) { /* GDI+ calls */ }
//
// Threading: sessions may be made and destroyed on any thread (a lock guards
// the count); GDI+ itself is used on the thread that paints.
#pragma once

#include "UICommon.h"

namespace SkinUI {

class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;

    bool IsReady() const { return m_ready; }
    // How many sessions hold GDI+ started now (for tests).
    static int GetUserCount();

private:
    bool m_ready = false;
};

}  // namespace SkinUI
