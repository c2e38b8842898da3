// Conversions between variants and script objects: finding the page object or
// the plug-in object a value refers to, and reading page arrays and objects
// member by member. A page decides the "length" it reports, so array reads are
// capped: a page cannot make native code loop or allocate without bound.
#include "JSObject.h"
#include "variant.h"

namespace FB {

namespace {

constexpr long kMaxArrayLength = 1048576;

// The object a value refers to, as the scriptable interface: a page object, a
// live weak plug-in object, or a plug-in object. Empty and null give none.
JSAPIPtr referencedObject(const variant& value, const std::type_info& wanted)
{
    if (const auto* object = value.getIf<JSObjectPtr>()) return *object;
    if (value.isEmpty() || value.isNull()) return JSAPIPtr();  // what a script passes for no callback
    if (const auto* weak = value.getIf<JSAPIWeakPtr>()) return weak->lock();
    if (const auto* api = value.getIf<JSAPIPtr>()) return *api;
    throw bad_variant_cast(value.getType(), wanted);
}

long checkedArrayLength(JSAPI& array)
{
    const long length = array.getProperty("length").convertToLong();
    if (length < 0 || length > kMaxArrayLength) throw script_error("Invalid array length " + std::to_string(length));
    return length;
}

}  // namespace

JSObjectPtr variant::convertToJSObject() const
{
    JSAPIPtr object = referencedObject(*this, typeid(JSObjectPtr));
    if (!object) return JSObjectPtr();
    auto pageObject = std::dynamic_pointer_cast<JSObject>(object);
    if (pageObject) {
        if (auto wrapped = std::dynamic_pointer_cast<JSObject>(pageObject->getWrappedJSAPI())) return wrapped;
        return pageObject;
    }
    throw bad_variant_cast(getType(), typeid(JSObjectPtr));
}

JSAPIPtr variant::convertToJSAPI() const
{
    JSAPIPtr object = referencedObject(*this, typeid(JSAPIPtr));
    if (!object) return JSAPIPtr();
    if (auto pageObject = std::dynamic_pointer_cast<JSObject>(object)) {
        if (JSAPIPtr wrapped = pageObject->getWrappedJSAPI()) return wrapped;
    }
    return object;
}

bool variant::canConvertToJSObject() const noexcept
{
    if (is_of_type<JSObjectPtr>()) return true;
    try {
        convertToJSObject();
        return true;
    } catch (...) {
        return false;
    }
}

JSObjectList variant::convertToObjectList() const
{
    if (const auto* list = getIf<JSObjectList>()) return *list;
    if (!canConvertToJSObject()) throw bad_variant_cast(getType(), typeid(JSObjectPtr));
    JSObjectPtr array = convertToJSObject();
    JSObjectList objects;
    if (!array) return objects;
    const long length = checkedArrayLength(*array);
    objects.reserve(static_cast<std::size_t>(length));
    for (long index = 0; index < length; ++index)
        objects.push_back(array->getPropertyIndex(static_cast<int>(index)).convertToJSObject());
    return objects;
}

VariantVector variant::convertToVariantVector() const
{
    if (const auto* list = getIf<VariantVector>()) return *list;
    const auto* array = getIf<JSObjectPtr>();
    if (!array || !*array) throw bad_variant_cast(getType(), typeid(VariantVector));
    const long length = checkedArrayLength(**array);
    VariantVector values;
    values.reserve(static_cast<std::size_t>(length));
    for (long index = 0; index < length; ++index) values.push_back((*array)->getPropertyIndex(static_cast<int>(index)));
    return values;
}

VariantDict variant::convertToVariantDict() const
{
    if (const auto* dict = getIf<VariantDict>()) return *dict;
    const auto* object = getIf<JSObjectPtr>();
    if (!object || !*object) throw bad_variant_cast(getType(), typeid(VariantDict));
    VariantDict members;
    for (const std::string& name : (*object)->listMemberNames()) members[name] = (*object)->getProperty(name);
    return members;
}

}  // namespace FB
