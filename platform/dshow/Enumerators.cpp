// Both enumerators keep their own reference count and a snapshot vector; Clone
// copies the snapshot and the position.
#include "Enumerators.h"

#include "BaseFilter.h"
#include "BasePin.h"

#include <atomic>

namespace DShow {
namespace {

class PinEnumerator : public IEnumPins {
public:
    explicit PinEnumerator(std::vector<IPin*> pins, size_t position = 0) : pins_(std::move(pins)), position_(position)
    {
        for (IPin* pin : pins_)
            pin->AddRef();
    }
    virtual ~PinEnumerator()
    {
        for (IPin* pin : pins_)
            pin->Release();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IEnumPins)
            return E_NOINTERFACE;
        *out = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }

    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override
    {
        if (!pins || (count > 1 && !fetched))
            return E_POINTER;
        ULONG done = 0;
        while (done < count && position_ < pins_.size()) {
            pins[done] = pins_[position_++];
            pins[done]->AddRef();
            ++done;
        }
        if (fetched)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        if (count > pins_.size() - position_) {
            position_ = pins_.size();
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
    STDMETHODIMP Clone(IEnumPins** out) override
    {
        if (!out)
            return E_POINTER;
        return Guarded([&] {
            *out = new PinEnumerator(pins_, position_);
            return S_OK;
        });
    }

private:
    std::atomic<ULONG> refs_{1};
    std::vector<IPin*> pins_;
    size_t position_;
};

class MediaTypeEnumerator : public IEnumMediaTypes {
public:
    explicit MediaTypeEnumerator(std::vector<MediaType> types, size_t position = 0)
        : types_(std::move(types)), position_(position)
    {
    }
    virtual ~MediaTypeEnumerator() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IEnumMediaTypes)
            return E_NOINTERFACE;
        *out = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override
    {
        if (!types || (count > 1 && !fetched))
            return E_POINTER;
        ULONG done = 0;
        while (done < count && position_ < types_.size()) {
            types[done] = CreateMediaType(types_[position_].Get());
            if (!types[done]) {
                for (ULONG i = 0; i < done; ++i)
                    DeleteMediaType(types[i]);
                if (fetched)
                    *fetched = 0;
                return E_OUTOFMEMORY;
            }
            ++position_;
            ++done;
        }
        if (fetched)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        if (count > types_.size() - position_) {
            position_ = types_.size();
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
    STDMETHODIMP Clone(IEnumMediaTypes** out) override
    {
        if (!out)
            return E_POINTER;
        return Guarded([&] {
            *out = new MediaTypeEnumerator(types_, position_);
            return S_OK;
        });
    }

private:
    std::atomic<ULONG> refs_{1};
    std::vector<MediaType> types_;
    size_t position_;
};

}  // namespace

HRESULT CreatePinEnumerator(BaseFilter& filter, IEnumPins** out)
{
    return Guarded([&] {
        std::vector<IPin*> pins;
        for (int i = 0; i < filter.PinCount(); ++i)
            pins.push_back(filter.PinAt(i));
        *out = new PinEnumerator(std::move(pins));
        return S_OK;
    });
}

HRESULT CreateMediaTypeEnumerator(BasePin& pin, IEnumMediaTypes** out)
{
    return Guarded([&] {
        std::vector<MediaType> types;
        {
            Lock lock(pin.Filter().FilterLock());
            for (int i = 0;; ++i) {
                MediaType type;
                if (pin.GetMediaType(i, type) != S_OK)
                    break;
                types.push_back(std::move(type));
            }
        }
        *out = new MediaTypeEnumerator(std::move(types));
        return S_OK;
    });
}

HRESULT CreateMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out)
{
    return Guarded([&] {
        *out = new MediaTypeEnumerator(std::move(types));
        return S_OK;
    });
}

}  // namespace DShow
