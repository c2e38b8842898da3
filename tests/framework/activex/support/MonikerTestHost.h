// A browser host whose streams are URL-moniker streams (ActiveXStream), for
// the tests, the stream_fetch driver and the benchmark. Main-thread calls wait
// in the test host's queue until pumped.
//
// Threading: the thread that made it, which runs COM in a single-threaded
// apartment and pumps its messages (the moniker's notifications).
#pragma once

#include "ActiveXStream.h"
#include "BrowserStreamRequest.h"
#include "FbTestBrowserHost.h"

class MonikerTestHost : public fbtest::TestBrowserHost {
public:
    std::shared_ptr<FB::BrowserStream> openBrowserStream(const FB::BrowserStreamRequest& request) override
    {
        return FB::ActiveX::ActiveXStream::open(request);
    }
};
