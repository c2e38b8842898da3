// The project's COM support in one include: Com::ComPtr (an owned interface
// reference), Com::Bstr and Com::Variant (owned system strings and VARIANTs) and
// Com::guarded (the boundary that turns exceptions into HRESULTs).
#pragma once

#include "ComBstr.h"
#include "ComGuard.h"
#include "ComPtr.h"
#include "ComVariant.h"
