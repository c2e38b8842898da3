#include "MediaType.h"

#include <cstring>
#include <new>
#include <utility>

namespace DShow {

void FreeMediaType(AM_MEDIA_TYPE& type)
{
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source)
{
    target = source;
    target.pbFormat = nullptr;
    target.cbFormat = 0;
    if (source.cbFormat && source.pbFormat) {
        target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (!target.pbFormat) {
            std::memset(&target, 0, sizeof target);
            return E_OUTOFMEMORY;
        }
        std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
        target.cbFormat = source.cbFormat;
    }
    if (target.pUnk) target.pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source)
{
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) return nullptr;
    if (FAILED(CopyMediaType(*type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
{
    if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) return false;
    if (a.cbFormat != b.cbFormat) return false;
    if (!a.cbFormat) return true;
    if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MatchesPartialType(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE* partial)
{
    if (!partial) return true;
    if (partial->majortype != GUID_NULL && partial->majortype != candidate.majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != candidate.subtype) return false;
    if (partial->formattype != GUID_NULL) {
        if (partial->formattype != candidate.formattype) return false;
        if (partial->cbFormat && partial->pbFormat && !MediaTypesEqual(*partial, candidate)) return false;
    }
    return true;
}

const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type)
{
    if (type.formattype != FORMAT_VideoInfo || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

MediaType::MediaType() : type_{} {}

MediaType::MediaType(const AM_MEDIA_TYPE& source) : type_{}
{
    if (FAILED(CopyMediaType(type_, source))) throw std::bad_alloc();
}

MediaType::MediaType(const MediaType& other) : MediaType(other.type_) {}

MediaType::MediaType(MediaType&& other) noexcept : type_(other.type_)
{
    std::memset(&other.type_, 0, sizeof other.type_);
}

MediaType& MediaType::operator=(const MediaType& other)
{
    if (this != &other) {
        MediaType copy(other);
        *this = std::move(copy);
    }
    return *this;
}

MediaType& MediaType::operator=(MediaType&& other) noexcept
{
    if (this != &other) {
        FreeMediaType(type_);
        type_ = other.type_;
        std::memset(&other.type_, 0, sizeof other.type_);
    }
    return *this;
}

MediaType::~MediaType()
{
    FreeMediaType(type_);
}

HRESULT MediaType::Set(const AM_MEDIA_TYPE& source)
{
    if (&source == &type_) return S_OK;
    AM_MEDIA_TYPE copy{};
    HRESULT hr = CopyMediaType(copy, source);
    if (FAILED(hr)) return hr;
    FreeMediaType(type_);
    type_ = copy;
    return S_OK;
}

void MediaType::Adopt(AM_MEDIA_TYPE& source)
{
    FreeMediaType(type_);
    type_ = source;
    std::memset(&source, 0, sizeof source);
}

void MediaType::Reset()
{
    FreeMediaType(type_);
    std::memset(&type_, 0, sizeof type_);
}

BYTE* MediaType::AllocFormat(ULONG size)
{
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!block) return nullptr;
    std::memset(block, 0, size);
    if (type_.pbFormat) CoTaskMemFree(type_.pbFormat);
    type_.pbFormat = block;
    type_.cbFormat = size;
    return block;
}

}  // namespace DShow
