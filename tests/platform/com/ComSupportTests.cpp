// The COM support header: reference counts through every way a ComPtr is made,
// copied, moved and handed out; the string and VARIANT owners; and the guard.
#include "ComSupport.h"
#include "CountedUnknown.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An object that answers IUnknown and IPersist and shows its reference count.
class CountedObject : public CountedUnknown<IPersist> {
public:
    explicit CountedObject(bool* destroyed = nullptr) : destroyed_(destroyed) {}
    ~CountedObject() override
    {
        if (destroyed_) *destroyed_ = true;
    }

    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = CLSID_NULL;
        return S_OK;
    }

private:
    void* interfaceFor(REFIID iid) override
    {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPersist)) return nullptr;
        return static_cast<IPersist*>(this);
    }

    bool* destroyed_;
};

// An object made with one reference, held by the test until it adopts it.
CountedObject* madeWithOneReference(bool* destroyed = nullptr)
{
    auto* object = new CountedObject(destroyed);
    object->AddRef();
    return object;
}

TEST(ComPtrTest, CountsOneReferencePerHolderHoweverItIsMade)
{
    bool destroyed = false;
    auto* object = madeWithOneReference(&destroyed);
    {
        auto adopted = Com::ComPtr<IPersist>::Adopt(object);
        EXPECT_EQ(object->references(), 1u);

        Com::ComPtr<IPersist> fromRaw(object);
        EXPECT_EQ(object->references(), 2u);
        Com::ComPtr<IPersist> copied(fromRaw);
        EXPECT_EQ(object->references(), 3u);
        Com::ComPtr<IPersist> moved(std::move(copied));
        EXPECT_EQ(object->references(), 3u);
        EXPECT_FALSE(copied);
        Com::ComPtr<IUnknown> widened(moved);
        EXPECT_EQ(object->references(), 4u);
        Com::ComPtr<IUnknown> widenedByMove(std::move(moved));
        EXPECT_EQ(object->references(), 4u);

        Com::ComPtr<IPersist> assigned;
        assigned = fromRaw;
        EXPECT_EQ(object->references(), 5u);
        assigned = assigned;  // self-assignment keeps the one reference
        EXPECT_EQ(object->references(), 5u);
        auto& alias = assigned;
        assigned = std::move(alias);  // so does self-move
        EXPECT_EQ(object->references(), 5u);
        EXPECT_EQ(assigned, object);
        assigned = nullptr;
        EXPECT_EQ(object->references(), 4u);
        assigned = object;
        EXPECT_EQ(object->references(), 5u);
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(ComPtrTest, DetachHandsTheReferenceOutAndAttachTakesItBack)
{
    bool destroyed = false;
    auto held = Com::ComPtr<IPersist>::Adopt(madeWithOneReference(&destroyed));
    IPersist* raw = held.Detach();
    EXPECT_FALSE(held);
    EXPECT_FALSE(destroyed);
    held.Attach(raw);
    EXPECT_EQ(static_cast<CountedObject*>(raw)->references(), 1u);
    held.Reset();
    EXPECT_TRUE(destroyed);
}

TEST(ComPtrTest, PutReleasesTheOldInterfaceBeforeLendingTheSlot)
{
    bool firstDestroyed = false;
    auto held = Com::ComPtr<IPersist>::Adopt(madeWithOneReference(&firstDestroyed));
    IPersist** slot = held.Put();
    EXPECT_TRUE(firstDestroyed);
    EXPECT_EQ(*slot, nullptr);
    *slot = madeWithOneReference();
    EXPECT_EQ(static_cast<CountedObject*>(held.Get())->references(), 1u);
}

TEST(ComPtrTest, CopyToHandsOutANewReference)
{
    auto held = Com::ComPtr<IPersist>::Adopt(madeWithOneReference());
    IPersist* out = nullptr;
    ASSERT_EQ(held.CopyTo(&out), S_OK);
    EXPECT_EQ(out, held.Get());
    EXPECT_EQ(static_cast<CountedObject*>(out)->references(), 2u);
    out->Release();
    EXPECT_EQ(held.CopyTo(nullptr), E_POINTER);
    Com::ComPtr<IPersist> empty;
    out = held.Get();
    EXPECT_EQ(empty.CopyTo(&out), S_OK);
    EXPECT_EQ(out, nullptr);
}

TEST(ComPtrTest, AsAndQueryAskTheObjectForAnotherInterface)
{
    auto held = Com::ComPtr<IUnknown>::Adopt(madeWithOneReference());
    Com::ComPtr<IPersist> persist;
    EXPECT_EQ(held.As(persist), S_OK);
    EXPECT_TRUE(persist);
    EXPECT_EQ(static_cast<CountedObject*>(persist.Get())->references(), 2u);

    Com::ComPtr<IDispatch> dispatch;
    EXPECT_EQ(held.As(dispatch), E_NOINTERFACE);
    EXPECT_FALSE(dispatch);
    EXPECT_FALSE(held.Query<IStream>());
    EXPECT_EQ(held.Query<IPersist>(IID_IPersist), persist);

    Com::ComPtr<IUnknown> empty;
    EXPECT_EQ(empty.As(persist), E_POINTER);
    EXPECT_FALSE(persist);
}

TEST(ComPtrTest, SameObjectComparesIdentitiesNotPointers)
{
    auto first = Com::ComPtr<IPersist>::Adopt(madeWithOneReference());
    auto second = Com::ComPtr<IPersist>::Adopt(madeWithOneReference());
    EXPECT_TRUE(Com::sameObject(first.Get(), first.Query<IUnknown>().Get()));
    EXPECT_FALSE(Com::sameObject(first.Get(), second.Get()));
    EXPECT_FALSE(Com::sameObject(first.Get(), nullptr));
    EXPECT_TRUE(Com::sameObject(nullptr, nullptr));
}

TEST(BstrTest, OwnsItsTextAndKeepsNullApartFromEmpty)
{
    Com::Bstr none;
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_EQ(Com::Bstr(static_cast<const wchar_t*>(nullptr)).Get(), nullptr);
    Com::Bstr empty(L"");
    EXPECT_NE(empty.Get(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(none.View(), empty.View());

    const std::wstring withNull(L"a\0b", 3);
    Com::Bstr text(withNull);
    Com::Bstr copy(text);
    EXPECT_NE(copy.Get(), text.Get());
    EXPECT_EQ(copy.View(), withNull);
    Com::Bstr moved(std::move(copy));
    EXPECT_EQ(copy.Get(), nullptr);
    EXPECT_EQ(moved.View(), withNull);
    copy = moved;
    EXPECT_EQ(copy.View(), withNull);
}

TEST(BstrTest, AdoptDetachAndPutPassOwnershipAcrossTheBoundary)
{
    auto adopted = Com::Bstr::Adopt(SysAllocString(L"camera"));
    EXPECT_EQ(adopted.View(), L"camera");
    BSTR out = adopted.Detach();
    EXPECT_EQ(adopted.Get(), nullptr);
    SysFreeString(out);

    Com::Bstr filled(L"old");
    *filled.Put() = SysAllocString(L"new");
    EXPECT_EQ(filled.View(), L"new");
}

TEST(VariantTest, HoldsNumbersTextsAndObjectsAndCopiesDeeply)
{
    EXPECT_EQ(Com::Variant().Type(), VT_EMPTY);
    Com::Variant number(42L);
    EXPECT_EQ(number.Type(), VT_I4);
    EXPECT_EQ(V_I4(&number.Get()), 42);

    Com::Variant text(std::wstring_view(L"level"));
    Com::Variant textCopy(text);
    EXPECT_EQ(textCopy.Type(), VT_BSTR);
    EXPECT_NE(V_BSTR(&textCopy.Get()), V_BSTR(&text.Get()));
    EXPECT_STREQ(V_BSTR(&textCopy.Get()), L"level");

    auto* object = madeWithOneReference();
    {
        Com::Variant holding(static_cast<IDispatch*>(nullptr));
        EXPECT_EQ(holding.Type(), VT_DISPATCH);
        VARIANT raw;
        VariantInit(&raw);
        V_VT(&raw) = VT_UNKNOWN;
        V_UNKNOWN(&raw) = object;
        Com::Variant copy(raw);  // the caller keeps raw
        EXPECT_EQ(object->references(), 2u);
        Com::Variant moved(std::move(copy));
        EXPECT_EQ(copy.Type(), VT_EMPTY);
        EXPECT_EQ(object->references(), 2u);
        Com::Variant adopted = Com::Variant::Adopt(raw);
        EXPECT_EQ(V_VT(&raw), VT_EMPTY);
        EXPECT_EQ(object->references(), 2u);
        moved.Put();
        EXPECT_EQ(object->references(), 1u);
        adopted.Detach(&raw);
        EXPECT_EQ(adopted.Type(), VT_EMPTY);
        VariantClear(&raw);
    }
}

TEST(VariantTest, ARunOfVariantsIsAVariantArray)
{
    std::vector<Com::Variant> arguments;
    arguments.emplace_back(1L);
    arguments.emplace_back(std::wstring_view(L"two"));
    VARIANT* array = Com::variantArray(arguments.data());
    EXPECT_EQ(V_I4(&array[0]), 1);
    EXPECT_STREQ(V_BSTR(&array[1]), L"two");
}

TEST(GuardedTest, TurnsWhateverEscapesIntoAnHresult)
{
    EXPECT_EQ(Com::guarded([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(Com::guarded([] {}), S_OK);
    EXPECT_EQ(Com::guarded([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(Com::guarded([]() -> HRESULT { throw Com::Error(DISP_E_TYPEMISMATCH); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Com::guarded([] { Com::check(E_ACCESSDENIED); }), E_ACCESSDENIED);
    EXPECT_EQ(Com::guarded([]() -> HRESULT { throw std::runtime_error("x"); }), E_UNEXPECTED);
    EXPECT_EQ(Com::guarded([]() -> HRESULT { throw 7; }), E_UNEXPECTED);
    EXPECT_EQ(Com::check(S_FALSE), S_FALSE);
}

}  // namespace
