// Both enumerators keep their own reference count and a snapshot vector; Clone
// copies the snapshot and the position.
#include "Enumerators.h"

#include "BaseFilter.h"
#include "BasePin.h"

#include <atomic>

namespace DShow {
namespace {

// The COM plumbing both enumerators share over a snapshot of items. Derived
// supplies copyOut (an item handed to the caller, null when that fails) and
// discard (takes back a handed-out item).
template <class Derived, class Interface, const IID& InterfaceId, class Item, class Out>
class SnapshotEnumerator : public Interface {
public:
    SnapshotEnumerator(std::vector<Item> items, size_t position) : items_(std::move(items)), position_(position) {}
    virtual ~SnapshotEnumerator() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != InterfaceId) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }

    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        while (done < count && position_ < items_.size()) {
            out[done] = Derived::copyOut(items_[position_]);
            if (!out[done]) {
                for (ULONG i = 0; i < done; ++i) Derived::discard(out[i]);
                position_ -= done;
                if (fetched) *fetched = 0;
                return E_OUTOFMEMORY;
            }
            ++position_;
            ++done;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        if (count > items_.size() - position_) {
            position_ = items_.size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override
    {
        if (!out) return E_POINTER;
        return Com::guarded([&] {
            *out = new Derived(items_, position_);
            return S_OK;
        });
    }

protected:
    std::vector<Item> items_;

private:
    std::atomic<ULONG> refs_{1};
    size_t position_;
};

class PinEnumerator : public SnapshotEnumerator<PinEnumerator, IEnumPins, IID_IEnumPins, IPin*, IPin*> {
public:
    explicit PinEnumerator(std::vector<IPin*> pins, size_t position = 0) : SnapshotEnumerator(std::move(pins), position)
    {
        for (IPin* pin : items_) pin->AddRef();
    }
    ~PinEnumerator() override
    {
        for (IPin* pin : items_) pin->Release();
    }

    static IPin* copyOut(IPin* pin)
    {
        pin->AddRef();
        return pin;
    }
    static void discard(IPin* pin) { pin->Release(); }
};

class MediaTypeEnumerator
    : public SnapshotEnumerator<MediaTypeEnumerator, IEnumMediaTypes, IID_IEnumMediaTypes, MediaType, AM_MEDIA_TYPE*> {
public:
    explicit MediaTypeEnumerator(std::vector<MediaType> types, size_t position = 0)
        : SnapshotEnumerator(std::move(types), position)
    {
    }

    static AM_MEDIA_TYPE* copyOut(const MediaType& type) { return CreateMediaType(type.Get()); }
    static void discard(AM_MEDIA_TYPE* type) { DeleteMediaType(type); }
};

}  // namespace

HRESULT CreatePinEnumerator(BaseFilter& filter, IEnumPins** out)
{
    return Com::guarded([&] {
        std::vector<IPin*> pins;
        for (int i = 0; i < filter.PinCount(); ++i) pins.push_back(filter.PinAt(i));
        *out = new PinEnumerator(std::move(pins));
        return S_OK;
    });
}

HRESULT CreateMediaTypeEnumerator(BasePin& pin, IEnumMediaTypes** out)
{
    return Com::guarded([&] {
        std::vector<MediaType> types;
        {
            Lock lock(pin.Filter().FilterLock());
            for (int i = 0;; ++i) {
                MediaType type;
                if (pin.GetMediaType(i, type) != S_OK) break;
                types.push_back(std::move(type));
            }
        }
        *out = new MediaTypeEnumerator(std::move(types));
        return S_OK;
    });
}

HRESULT CreateMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out)
{
    return Com::guarded([&] {
        *out = new MediaTypeEnumerator(std::move(types));
        return S_OK;
    });
}

}  // namespace DShow
