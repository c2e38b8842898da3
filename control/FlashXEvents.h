// Plexhost::CProxy_IFlashXEvents: the connection point of FlashX's event
// interface _IFlashXEvents. The interface has no methods and the control never
// fires it; page script may still connect a sink, which is kept until it
// disconnects or the control goes.
#pragma once

#include "ConnectionPoints.h"
#include "Plexhost.h"

namespace Plexhost {

class CProxy_IFlashXEvents : public Atl::ConnectionPoint {
public:
    explicit CProxy_IFlashXEvents(IConnectionPointContainer& owner) : ConnectionPoint(owner, DIID__IFlashXEvents) {}
};

}  // namespace Plexhost
