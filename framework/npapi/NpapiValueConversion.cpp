// Script values between the browser's NPVariant and FB::variant.
//
// Towards the browser the held type selects a converter from a table built on
// first use. Integers that an NPVariant's Int32 cannot carry for every value
// (unsigned 32-bit and all 64-bit types) go as their decimal text; lists and
// maps become page arrays and objects made by the window; scriptable objects
// become the instance's script objects.
#include "FastDynamicCast.h"
#include "HeldTypeTable.h"
#include "NPJavascriptObject.h"
#include "NPObjectAPI.h"
#include "NpapiBrowserHost.h"
#include "ScriptErrors.h"
#include "dom/Window.h"

#include <cstring>
#include <functional>

namespace FB {
namespace Npapi {

namespace {

using Converter = std::function<void(NpapiBrowserHost&, NPVariant*, const variant&)>;

void setNull(NPVariant* out)
{
    out->type = NPVariantType_Null;
    out->value.objectValue = nullptr;
}

void setObject(NPVariant* out, NPObject* object)
{
    if (!object) return setNull(out);
    out->type = NPVariantType_Object;
    out->value.objectValue = object;
}

void setString(NpapiBrowserHost& host, NPVariant* out, const std::string& text)
{
    auto* buffer = static_cast<char*>(host.MemAlloc(static_cast<uint32_t>(text.size() + 1)));
    if (!buffer) throw std::bad_alloc();
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    out->type = NPVariantType_String;
    out->value.stringValue.UTF8Characters = buffer;
    out->value.stringValue.UTF8Length = static_cast<uint32_t>(text.size());
}

template <class T>
Converter asInt32()
{
    return [](NpapiBrowserHost&, NPVariant* out, const variant& value) {
        out->type = NPVariantType_Int32;
        out->value.intValue = static_cast<int32_t>(value.cast<T>());
    };
}

template <class T>
Converter asText()
{
    return [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
        setString(host, out, std::to_string(value.cast<T>()));
    };
}

// A page object made by the window: "Array"() or "Object"(); its browser
// object, retained for the result.
NPObject* makePageObject(NpapiBrowserHost& host, const char* constructor, JSObjectPtr* made)
{
    auto window = std::dynamic_pointer_cast<NPObjectAPI>(host.windowObject()->getJSObject());
    if (!window) throw script_error("Cannot find HTML window");
    auto object = std::dynamic_pointer_cast<NPObjectAPI>(window->invoke(constructor, {}).convertToJSObject());
    if (!object) throw script_error(std::string("Could not create ") + constructor);
    *made = object;
    return host.RetainObject(object->getNPObject());
}

void fromList(NpapiBrowserHost& host, NPVariant* out, const variant& value)
{
    JSObjectPtr array;
    NPObject* object = makePageObject(host, "Array", &array);
    try {
        for (const variant& element : value.cast<VariantVector>()) array->invoke("push", {element});
    } catch (...) {
        host.ReleaseObject(object);
        throw;
    }
    setObject(out, object);
}

void fromMap(NpapiBrowserHost& host, NPVariant* out, const variant& value)
{
    JSObjectPtr map;
    NPObject* object = makePageObject(host, "Object", &map);
    try {
        for (const auto& [key, element] : value.cast<VariantDict>()) map->setProperty(key, element);
    } catch (...) {
        host.ReleaseObject(object);
        throw;
    }
    setObject(out, object);
}

void fromApi(NpapiBrowserHost& host, NPVariant* out, const JSAPIPtr& api, bool autoRelease)
{
    if (!api) return setNull(out);
    if (auto browserObject = fastDynamicPointerCast<NPObjectAPI>(api))
        return setObject(out, host.RetainObject(browserObject->getNPObject()));
    setObject(out, host.getJSAPIWrapper(api, autoRelease));
}

const HeldTypeTable<Converter>& converters()
{
    static const HeldTypeTable<Converter> table = {
        {typeid(bool),
            [](NpapiBrowserHost&, NPVariant* out, const variant& value) {
                out->type = NPVariantType_Bool;
                out->value.boolValue = value.cast<bool>();
            }},
        {typeid(char), asInt32<char>()},
        {typeid(unsigned char), asInt32<unsigned char>()},
        {typeid(short), asInt32<short>()},
        {typeid(unsigned short), asInt32<unsigned short>()},
        {typeid(int), asInt32<int>()},
        {typeid(long), asInt32<long>()},
        {typeid(unsigned int), asText<unsigned int>()},
        {typeid(unsigned long), asText<unsigned long>()},
        {typeid(long long), asText<long long>()},
        {typeid(unsigned long long), asText<unsigned long long>()},
        {typeid(float),
            [](NpapiBrowserHost&, NPVariant* out, const variant& value) {
                out->type = NPVariantType_Double;
                out->value.doubleValue = value.cast<float>();
            }},
        {typeid(double),
            [](NpapiBrowserHost&, NPVariant* out, const variant& value) {
                out->type = NPVariantType_Double;
                out->value.doubleValue = value.cast<double>();
            }},
        {typeid(std::string),
            [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
                setString(host, out, value.convertToString());
            }},
        {typeid(std::wstring),
            [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
                setString(host, out, value.convertToString());
            }},
        {typeid(variant_detail::null), [](NpapiBrowserHost&, NPVariant* out, const variant&) { setNull(out); }},
        {typeid(variant_detail::empty),
            [](NpapiBrowserHost&, NPVariant* out, const variant&) { out->type = NPVariantType_Void; }},
        {typeid(VariantVector), fromList},
        {typeid(VariantDict), fromMap},
        {typeid(JSAPIPtr),
            [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
                fromApi(host, out, value.cast<JSAPIPtr>(), true);
            }},
        {typeid(JSAPIWeakPtr),
            [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
                fromApi(host, out, value.cast<JSAPIWeakPtr>().lock(), false);
            }},
        {typeid(JSObjectPtr),
            [](NpapiBrowserHost& host, NPVariant* out, const variant& value) {
                JSObjectPtr object = value.cast<JSObjectPtr>();
                if (!object) return setNull(out);
                if (auto browserObject = fastDynamicPointerCast<NPObjectAPI>(object))
                    return setObject(out, host.RetainObject(browserObject->getNPObject()));
                auto self = std::static_pointer_cast<NpapiBrowserHost>(host.shared_from_this());
                setObject(out, NPJavascriptObject::newObject(object, self, true));  // not cached
            }},
    };
    return table;
}

}  // namespace

void NpapiBrowserHost::getNPVariant(NPVariant* out, const variant& value)
{
    const Converter* convert = converters().find(value.getType());
    if (!convert) return;  // a held type without a converter leaves the result untouched
    (*convert)(*this, out, value);
}

variant NpapiBrowserHost::getVariant(const NPVariant* value)
{
    if (!value) return variant();
    switch (value->type) {
    case NPVariantType_Void: return variant();
    case NPVariantType_Null: return variant::makeNull();
    case NPVariantType_Bool: return variant(value->value.boolValue);
    case NPVariantType_Int32: return variant(static_cast<int>(value->value.intValue));
    case NPVariantType_Double: return variant(value->value.doubleValue);
    case NPVariantType_String: {
        // A browser's string without characters is empty, whatever length it claims.
        const NPString& text = value->value.stringValue;
        if (!text.UTF8Characters) return variant(std::string());
        return variant(std::string(text.UTF8Characters, text.UTF8Length));
    }
    case NPVariantType_Object: {
        if (!value->value.objectValue) return variant::makeNull();
        auto self = std::static_pointer_cast<NpapiBrowserHost>(shared_from_this());
        return variant(JSObjectPtr(std::make_shared<NPObjectAPI>(value->value.objectValue, self)));
    }
    }
    return variant();
}

}  // namespace Npapi
}  // namespace FB
