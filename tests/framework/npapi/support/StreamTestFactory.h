// The process-wide plug-in factory of the NPAPI stream tests: plug-in cores
// that expose nothing to script and hand the test their host; a switch makes
// the core accept the streams the browser starts by itself. With it, the
// framework's NPAPI entry points, for a test browser driving the plug-in
// linked into the program:
//     browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown);
#pragma once

#include "BrowserStreamRequest.h"
#include "LinkedPlugin.h"
#include "NpapiInterface.h"
#include "PluginCore.h"

#include <functional>
#include <memory>

struct StreamTestControl {
    // Called for a stream the browser offers by itself; may accept it.
    std::function<void(FB::BrowserStreamRequest&)> unsolicited;
    std::weak_ptr<FB::PluginCore> lastCore;
};

// Reset by each test that uses it.
extern StreamTestControl streamTestControl;
