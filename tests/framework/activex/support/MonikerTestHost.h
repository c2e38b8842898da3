// A browser host whose streams are URL-moniker streams (ActiveXStream), for
// the tests, the stream_fetch driver and the benchmark. Main-thread calls wait
// in the test host's queue until pumped.
//
// Threading: the thread that made it, which runs COM in a single-threaded
// apartment and pumps its messages (the moniker's notifications).
#pragma once

#include "ActiveXStream.h"
#include "BrowserStreamRequest.h"
#include "MessagePump.h"
#include "TestBrowserHost.h"

#include <windows.h>

#include <functional>

class MonikerTestHost : public fbtest::TestBrowserHost {
public:
    std::shared_ptr<FB::BrowserStream> openBrowserStream(const FB::BrowserStreamRequest& request) override
    {
        return FB::ActiveX::ActiveXStream::open(request);
    }

    // Runs the thread's messages (the moniker's notifications) and the host's
    // queued calls until done answers true or the time is up; answers done.
    bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
    {
        return test_support::pumpMessagesUntil(
            [&] {
                pump();
                return done();
            },
            timeoutMs);
    }
};
