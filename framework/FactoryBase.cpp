#include "FactoryBase.h"

namespace FB {

FactoryBase::~FactoryBase() = default;

void FactoryBase::globalInit() {}

void FactoryBase::globalDeinit() {}

}  // namespace FB
