// Media type helpers: freeing, copying and matching AM_MEDIA_TYPE records, and
// MediaType, an owning value wrapper around one record.
//
// Format blocks are CoTaskMem memory and pUnk is reference counted, as every
// DirectShow component expects; records handed to other components are made with
// CreateMediaType and freed by them with DeleteMediaType.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace DShow {

// Frees the format block and the pUnk reference; the record itself stays.
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees the contents and the record (made with CoTaskMemAlloc). Null is allowed.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy into a zeroed or freed record; E_OUTOFMEMORY leaves target empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
// A CoTaskMem copy for handing out, or null when memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source);

// Full equality: types, subtypes, format types and format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// True when candidate fits a partial type: GUID_NULL fields of the partial type
// match anything, and a null partial type matches everything.
bool MatchesPartialType(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE* partial);
// The video-info header of a type, or null when the type carries none (or too short).
const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type);

class MediaType {
public:
    MediaType();
    // Throws std::bad_alloc when the format block cannot be copied.
    explicit MediaType(const AM_MEDIA_TYPE& source);
    MediaType(const MediaType& other);
    MediaType(MediaType&& other) noexcept;
    MediaType& operator=(const MediaType& other);
    MediaType& operator=(MediaType&& other) noexcept;
    ~MediaType();

    HRESULT Set(const AM_MEDIA_TYPE& source);
    // Takes the format block of a record made by someone else; source is left empty.
    void Adopt(AM_MEDIA_TYPE& source);
    void Reset();
    // Allocates a format block of size bytes (zeroed) and returns it, or null.
    BYTE* AllocFormat(ULONG size);

    bool Empty() const { return type_.majortype == GUID_NULL; }
    const AM_MEDIA_TYPE& Get() const { return type_; }
    AM_MEDIA_TYPE& Get() { return type_; }
    const VIDEOINFOHEADER* VideoInfo() const { return VideoInfoOf(type_); }

private:
    AM_MEDIA_TYPE type_;
};

}  // namespace DShow
