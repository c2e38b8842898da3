// Enumerators of pins and media types over a snapshot taken at creation: the
// pins of our filters are fixed for their lifetime, and a pin's media types are
// copied so that the enumerator stays valid when the pin changes.
#pragma once

#include "MediaType.h"

#include <dshow.h>

#include <vector>

namespace DShow {

class BaseFilter;
class BasePin;

// Each returns a new enumerator with one reference in *out, or an error HRESULT.
HRESULT CreatePinEnumerator(BaseFilter& filter, IEnumPins** out);
HRESULT CreateMediaTypeEnumerator(BasePin& pin, IEnumMediaTypes** out);
HRESULT CreateMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out);

}  // namespace DShow
