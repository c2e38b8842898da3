// Deletes the media engine of a control that goes, so that the page's thread
// never waits for a thread that may be waiting for it.
//
// DeleteStrevo waits for the engine's threads, and an engine thread may be inside
// a volume report: a call into the page's apartment that only the page's thread
// can serve. So the engine is deleted on a thread of its own. The page's thread
// waits for that only while it lets COM deliver calls, and not at all when the
// control goes from inside a report (that report cannot return before the page's
// thread does): the engine is then deleted once the report has returned.
//
// The observer the engine reports to is kept until the engine is gone.
#pragma once

#include "Strevo.h"

#include <memory>

namespace Plexhost {

void shutDownEngine(IStrevo* engine, std::shared_ptr<Strevo::IStrevoObersver> observer, bool waitForIt);

}  // namespace Plexhost
