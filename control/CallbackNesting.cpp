#include "CallbackNesting.h"

namespace Plexhost {
namespace {

thread_local int deliveries = 0;

}  // namespace

int CallbackNesting::depth()
{
    return deliveries;
}

CallbackNesting::Delivery::Delivery()
{
    ++deliveries;
}

CallbackNesting::Delivery::~Delivery()
{
    --deliveries;
}

}  // namespace Plexhost
