// Script values between COM's VARIANT and FB::variant.
//
// Towards native code only the type code decides: by-reference values are read
// through, arrays and types without a reading arrive empty, and a value that
// does not convert to its target type arrives empty too. Towards COM the held
// type selects a builder from a table made on first use; lists and maps become
// page arrays and objects when the page has a window, SAFEARRAYs otherwise.
#include "ActiveXBrowserHost.h"

#include "COMJavascriptObject.h"
#include "FactoryBase.h"
#include "FastDynamicCast.h"
#include "HeldTypeTable.h"
#include "IDispatchAPI.h"
#include "ScriptErrors.h"
#include "dom/Window.h"
#include "utf8_tools.h"

#include <functional>
#include <vector>

namespace FB::ActiveX {

namespace {

// The value changed to `type`, or nothing when it does not convert.
bool changedTo(const VARIANT& value, VARTYPE type, Com::Variant& out)
{
    return SUCCEEDED(VariantChangeType(out.Put(), const_cast<VARIANT*>(&value), 0, type));
}

using Builder = std::function<void(ActiveXBrowserHost&, VARIANT&, const variant&)>;

void setDispatch(VARIANT& out, IDispatch* object)
{
    if (!object) {
        V_VT(&out) = VT_NULL;
        return;
    }
    V_VT(&out) = VT_DISPATCH;
    V_DISPATCH(&out) = object;
}

void setText(VARIANT& out, const std::wstring& text)
{
    V_BSTR(&out) = Com::Bstr(text).Detach();
    V_VT(&out) = VT_BSTR;
}

// The wrapped IDispatch of a page object, AddRef'd (null when it is gone).
IDispatch* pageObjectDispatch(const IDispatchAPI& object)
{
    IDispatch* dispatch = object.getIDispatch();
    if (dispatch) dispatch->AddRef();
    return dispatch;
}

void fromApi(ActiveXBrowserHost& host, VARIANT& out, const JSAPIPtr& api, bool autoRelease)
{
    if (!api) return setDispatch(out, nullptr);
    if (auto page = fastDynamicPointerCast<IDispatchAPI>(api)) return setDispatch(out, pageObjectDispatch(*page));
    setDispatch(out, host.getJSAPIWrapper(api, autoRelease));
}

void fromObject(ActiveXBrowserHost& host, VARIANT& out, const JSObjectPtr& object)
{
    if (!object) return setDispatch(out, nullptr);
    if (auto page = fastDynamicPointerCast<IDispatchAPI>(object)) return setDispatch(out, pageObjectDispatch(*page));
    // A native script object that is not a page object: a new wrapper, not cached.
    FactoryBasePtr factory = getFactoryInstance();
    auto self = std::static_pointer_cast<ActiveXBrowserHost>(host.shared_from_this());
    setDispatch(out, factory ? factory->makeComScriptObject(object, self, true) : nullptr);
}

template <class T, class Set>
Builder scalar(VARTYPE type, Set set)
{
    return [type, set](ActiveXBrowserHost&, VARIANT& out, const variant& value) {
        set(out, value.cast<T>());
        V_VT(&out) = type;
    };
}

bool build(ActiveXBrowserHost& host, VARIANT& out, const variant& value);

// A page object made by the window for a list or a map, as a page object.
std::shared_ptr<IDispatchAPI> pageContainer(const JSObjectPtr& made, const char* kind)
{
    auto object = std::dynamic_pointer_cast<IDispatchAPI>(made);
    if (!object || !object->getIDispatch()) throw script_error(std::string("Could not create ") + kind);
    return object;
}

// A SAFEARRAY of VARIANT holding the values (moved in).
SAFEARRAY* safeArrayOf(std::vector<Com::Variant>& values)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        HRESULT hr = SafeArrayPutElement(array, &i, &values[i].Get());
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            Com::check(hr);
        }
    }
    return array;
}

void fromList(ActiveXBrowserHost& host, VARIANT& out, const variant& value)
{
    const VariantVector& list = value.cast<VariantVector>();
    if (std::shared_ptr<DOM::Window> window = host.windowObject()) {
        auto array = pageContainer(window->createArray(), "Array");
        for (const variant& element : list) array->invoke("push", VariantVector{element});
        return setDispatch(out, pageObjectDispatch(*array));
    }
    std::vector<Com::Variant> values;
    values.reserve(list.size());
    for (const variant& element : list) {
        Com::Variant converted;
        if (build(host, converted.Get(), element)) values.push_back(std::move(converted));
    }
    V_ARRAY(&out) = safeArrayOf(values);
    V_VT(&out) = VT_ARRAY | VT_VARIANT;
}

void fromMap(ActiveXBrowserHost& host, VARIANT& out, const variant& value)
{
    const VariantDict& map = value.cast<VariantDict>();
    if (std::shared_ptr<DOM::Window> window = host.windowObject()) {
        auto object = pageContainer(window->createMap(), "Object");
        for (const auto& [key, element] : map) object->setProperty(key, element);
        return setDispatch(out, pageObjectDispatch(*object));
    }
    std::vector<Com::Variant> pairs;
    for (const auto& [key, element] : map) {
        std::vector<Com::Variant> pair(2);
        if (!build(host, pair[1].Get(), element)) continue;
        setText(pair[0].Get(), utf8ToWide(key));
        Com::Variant entry;
        V_ARRAY(&entry.Get()) = safeArrayOf(pair);
        V_VT(&entry.Get()) = VT_ARRAY | VT_VARIANT;
        pairs.push_back(std::move(entry));
    }
    V_ARRAY(&out) = safeArrayOf(pairs);
    V_VT(&out) = VT_ARRAY | VT_VARIANT;
}

const HeldTypeTable<Builder>& builders()
{
    static const HeldTypeTable<Builder> table = {
        {typeid(bool),
            scalar<bool>(VT_BOOL, [](VARIANT& v, bool b) { V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE; })},
        {typeid(char), scalar<char>(VT_I1, [](VARIANT& v, char c) { V_I1(&v) = c; })},
        {typeid(unsigned char), scalar<unsigned char>(VT_UI1, [](VARIANT& v, unsigned char c) { V_UI1(&v) = c; })},
        {typeid(short), scalar<short>(VT_I2, [](VARIANT& v, short n) { V_I2(&v) = n; })},
        {typeid(unsigned short), scalar<unsigned short>(VT_UI2, [](VARIANT& v, unsigned short n) { V_UI2(&v) = n; })},
        {typeid(int), scalar<int>(VT_I4, [](VARIANT& v, int n) { V_I4(&v) = n; })},
        {typeid(long), scalar<long>(VT_I4, [](VARIANT& v, long n) { V_I4(&v) = static_cast<LONG>(n); })},
        {typeid(unsigned int), scalar<unsigned int>(VT_UI4, [](VARIANT& v, unsigned int n) { V_UI4(&v) = n; })},
        {typeid(unsigned long),
            scalar<unsigned long>(VT_UI4, [](VARIANT& v, unsigned long n) { V_UI4(&v) = static_cast<ULONG>(n); })},
        {typeid(long long), scalar<long long>(VT_I8, [](VARIANT& v, long long n) { V_I8(&v) = n; })},
        {typeid(unsigned long long),
            scalar<unsigned long long>(VT_UI8, [](VARIANT& v, unsigned long long n) { V_UI8(&v) = n; })},
        {typeid(float), scalar<float>(VT_R4, [](VARIANT& v, float n) { V_R4(&v) = n; })},
        {typeid(double), scalar<double>(VT_R8, [](VARIANT& v, double n) { V_R8(&v) = n; })},
        {typeid(std::string),
            [](ActiveXBrowserHost&, VARIANT& out, const variant& value) {
                setText(out, utf8ToWide(value.cast<std::string>()));
            }},
        {typeid(std::wstring),
            [](ActiveXBrowserHost&, VARIANT& out, const variant& value) { setText(out, value.cast<std::wstring>()); }},
        {typeid(VariantVector), fromList},
        {typeid(VariantDict), fromMap},
        {typeid(JSAPIPtr),
            [](ActiveXBrowserHost& host, VARIANT& out, const variant& value) {
                fromApi(host, out, value.cast<JSAPIPtr>(), true);
            }},
        {typeid(JSAPIWeakPtr),
            [](ActiveXBrowserHost& host, VARIANT& out, const variant& value) {
                fromApi(host, out, value.cast<JSAPIWeakPtr>().lock(), false);
            }},
        {typeid(JSObjectPtr),
            [](ActiveXBrowserHost& host, VARIANT& out, const variant& value) {
                fromObject(host, out, value.cast<JSObjectPtr>());
            }},
        {typeid(variant_detail::empty), [](ActiveXBrowserHost&, VARIANT&, const variant&) {}},
        {typeid(variant_detail::null), [](ActiveXBrowserHost&, VARIANT& out, const variant&) { V_VT(&out) = VT_NULL; }},
    };
    return table;
}

// Builds into an empty VARIANT; false when the held type has no builder.
bool build(ActiveXBrowserHost& host, VARIANT& out, const variant& value)
{
    const Builder* builder = builders().find(value.getType());
    if (!builder) return false;
    (*builder)(host, out, value);
    return true;
}

}  // namespace

void ActiveXBrowserHost::getComVariant(VARIANT* out, const variant& value)
{
    if (!out) return;
    VariantClear(out);
    Com::Variant built;
    if (!build(*this, built.Get(), value)) return;
    built.Detach(out);
}

namespace {

// Whether a by-reference value points somewhere, through a referenced VARIANT
// too: a container may pass VT_BYREF with a null pointer.
bool readableThroughReference(const VARIANT* value)
{
    if (!(V_VT(value) & VT_BYREF)) return true;
    if (!V_BYREF(value)) return false;
    if (V_VT(value) != (VT_VARIANT | VT_BYREF)) return true;
    const VARIANT* referenced = V_VARIANTREF(value);
    return !(V_VT(referenced) & VT_BYREF) || V_BYREF(referenced);
}

// A page object needs the host that will own it; without one it arrives empty.
variant fromCom(const VARIANT* value, ActiveXBrowserHost* host)
{
    if (!value || !readableThroughReference(value)) return variant();
    Com::Variant held;
    if (FAILED(VariantCopyInd(held.Put(), const_cast<VARIANT*>(value)))) return variant();
    const VARIANT& v = held.Get();
    Com::Variant changed;
    switch (V_VT(&v)) {
    case VT_NULL: return variant::makeNull();
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_UI2:
    case VT_INT:
        if (!changedTo(v, VT_I4, changed)) return variant();
        return variant(static_cast<long>(V_I4(&changed.Get())));
    case VT_R4:
    case VT_R8:
    case VT_DECIMAL:
        if (!changedTo(v, VT_R8, changed)) return variant();
        return variant(V_R8(&changed.Get()));
    case VT_ERROR:
    case VT_BOOL:
        // A missing optional argument (VT_ERROR) does not convert: it arrives empty.
        if (!changedTo(v, VT_BOOL, changed)) return variant();
        return variant(V_BOOL(&changed.Get()) == VARIANT_TRUE);
    case VT_UI4:
    case VT_UINT:
        if (!changedTo(v, VT_UI4, changed)) return variant();
        return variant(static_cast<unsigned long>(V_UI4(&changed.Get())));
    case VT_I8: return variant(static_cast<long long>(V_I8(&v)));
    case VT_UI8: return variant(static_cast<unsigned long long>(V_UI8(&v)));
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR:
    case VT_CLSID: {
        if (!changedTo(v, VT_BSTR, changed)) return variant();
        BSTR text = V_BSTR(&changed.Get());
        return variant(wideToUtf8(std::wstring_view(text ? text : L"", SysStringLen(text))));
    }
    case VT_DISPATCH: {
        IDispatch* object = V_DISPATCH(&v);
        if (!object) return variant::makeNull();
        if (!host) return variant();
        auto self = std::static_pointer_cast<ActiveXBrowserHost>(host->shared_from_this());
        return variant(JSObjectPtr(IDispatchAPI::create(object, self)));
    }
    default: return variant();  // VT_EMPTY, arrays and every type without a reading
    }
}

}  // namespace

variant ActiveXBrowserHost::getVariant(const VARIANT* value)
{
    return fromCom(value, this);
}

variant ActiveXBrowserHost::getPlainVariant(const VARIANT* value)
{
    return fromCom(value, nullptr);
}

}  // namespace FB::ActiveX
