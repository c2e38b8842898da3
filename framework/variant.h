// FB::variant: the value of every call between page script and native code.
//
// A variant holds one copyable value of any type together with the less-than
// function of that type, so that variants can key ordered maps and sets.
// Values of different held types never compare equal: they order by the names
// of their types. The types the framework itself creates are listed by the
// constructors below; fromValue() makes a variant holding any other type.
//
// Each constructor has a named maker (fromBool, fromCString, fromJSAPI, ...);
// the assign* family replaces the held value with one of the named type.
//
// Exact reads (cast<T>, getIf<T>, getChar, ...) accept only the held type itself; the
// convertTo* family converts between held types with range checks. Every
// failure of either is FB::bad_variant_cast naming the held and the wanted type.
//
//     FB::variant v = 42;            // holds int
//     v.cast<long>();                // throws: int is not long
//     v.convertToLong();             // 42
//     FB::variant("yes").convertToBool();   // true
//
// Threading: a variant has no lock; it is used by one thread at a time and
// copied when it crosses threads. Copying a held shared pointer shares the
// object it points to.
#pragma once

#include "ScriptErrors.h"
#include "VariantHolder.h"

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace FB {

class JSAPI;
class JSObject;
class variant;

using VariantVector = std::vector<variant>;
using VariantDict = std::map<std::string, variant>;
using JSAPIPtr = std::shared_ptr<JSAPI>;
using JSAPIWeakPtr = std::weak_ptr<JSAPI>;
using JSObjectPtr = std::shared_ptr<JSObject>;
using ScriptErrorPtr = std::shared_ptr<script_error>;
using JSObjectList = std::vector<JSObjectPtr>;

namespace variant_detail {
// Script "undefined": what a default-constructed variant holds.
struct empty {};
// Script null.
struct null {};

template <class T>
struct is_shared_ptr : std::false_type {
};
template <class T>
struct is_shared_ptr<std::shared_ptr<T>> : std::true_type {
};
}  // namespace variant_detail

class variant {
public:
    variant() : variant(variant_detail::empty{}) {}
    variant(variant_detail::empty v) { hold(v); }
    variant(variant_detail::null v) { hold(v); }
    variant(bool v) { hold(v); }
    variant(int v) { hold(v); }
    variant(unsigned int v) { hold(v); }
    variant(long v) { hold(v); }
    variant(unsigned long v) { hold(v); }
    variant(long long v) { hold(v); }
    variant(unsigned long long v) { hold(v); }
    variant(double v) { hold(v); }
    variant(const std::string& v) { hold(v); }
    variant(std::string&& v) { hold(std::move(v)); }
    variant(const char* v) { hold(std::string(v ? v : "")); }
    variant(const std::wstring& v) { hold(v); }
    variant(std::wstring&& v) { hold(std::move(v)); }
    variant(const wchar_t* v) { hold(std::wstring(v ? v : L"")); }
    variant(const VariantVector& v) { hold(v); }
    variant(const VariantDict& v) { hold(v); }

    // Scriptable objects are held as JSAPIPtr, page objects as JSObjectPtr,
    // carried errors as ScriptErrorPtr, whatever class the pointer names.
    template <class T>
    variant(const std::shared_ptr<T>& ptr)
    {
        if constexpr (std::is_same_v<T, JSAPI> || std::is_same_v<T, JSObject> || std::is_same_v<T, script_error>) {
            hold(ptr);
        } else if constexpr (std::is_base_of_v<JSObject, T>) {
            hold(JSObjectPtr(ptr));
        } else if constexpr (std::is_base_of_v<script_error, T>) {
            hold(ScriptErrorPtr(ptr));
        } else {
            static_assert(std::is_base_of_v<JSAPI, T>, "a variant holds pointers to script objects only");
            hold(JSAPIPtr(ptr));
        }
    }

    // A variant holding exactly a T (for types no constructor above makes).
    template <class T>
    static variant fromValue(T value)
    {
        variant v;
        v.hold(std::move(value));
        return v;
    }
    static variant makeEmpty() { return variant(); }
    static variant makeNull() { return variant(variant_detail::null{}); }
    static variant fromBool(bool v) { return variant(v); }
    static variant fromInt(int v) { return variant(v); }
    static variant fromUInt(unsigned int v) { return variant(v); }
    static variant fromLong(long v) { return variant(v); }
    static variant fromString(const std::string& v) { return variant(v); }
    // The text is copied; a null pointer gives the empty text.
    static variant fromCString(const char* v) { return variant(v); }
    static variant makeFromCString(const char* v) { return fromCString(v); }
    static variant fromWString(const std::wstring& v) { return variant(v); }
    static variant fromWideCString(const wchar_t* v) { return variant(v); }
    // Held as JSAPIPtr, also when the object is a page object.
    static variant fromJSAPI(const JSAPIPtr& v) { return variant(v); }
    // Held as JSObjectPtr, whatever page-object class the pointer names.
    template <class T>
    static variant fromObjectPointer(const std::shared_ptr<T>& v)
    {
        static_assert(std::is_base_of_v<JSObject, T>, "a page object");
        return variant(JSObjectPtr(v));
    }
    static variant fromScriptErrorPointer(const ScriptErrorPtr& v) { return variant(v); }

    variant(const variant& other) { copyConstruct(other); }
    variant& operator=(const variant& other)
    {
        assignFrom(other);
        return *this;
    }
    // A moved-from variant has no holder: its type is void and it counts as empty.
    variant(variant&& other) noexcept : value_(std::move(other.value_)), lessthan_(other.lessthan_)
    {
        other.value_.reset();
    }
    variant& operator=(variant&& other) noexcept
    {
        if (this == &other) return *this;
        value_ = std::move(other.value_);
        lessthan_ = other.lessthan_;
        other.value_.reset();
        return *this;
    }

    // A copy of other's value and order in place of this one's. The copy is made
    // before the old value goes: assigning a value to itself keeps it, and a
    // failed copy changes nothing.
    void assignFrom(const variant& other)
    {
        value_ = other.value_;
        lessthan_ = other.lessthan_;
    }

    // The held value replaced by one of the named type; a failure changes nothing.
    void reset() { hold(variant_detail::empty{}); }
    void assignNull() { hold(variant_detail::null{}); }
    void assignBool(bool v) { hold(v); }
    void assignInt(int v) { hold(v); }
    void assignLong(long v) { hold(v); }
    void assignDouble(double v) { hold(v); }
    void assignString(const std::string& v) { hold(v); }
    void assignCString(const char* v) { hold(std::string(v ? v : "")); }
    void assignJSAPI(const JSAPIPtr& v) { hold(v); }
    void assignJSObject(const JSObjectPtr& v) { hold(v); }
    template <class T>
    void assignObjectPointer(const std::shared_ptr<T>& v)
    {
        static_assert(std::is_base_of_v<JSObject, T>, "a page object");
        hold(JSObjectPtr(v));
    }

    // The held type; void for a variant whose value was moved away.
    const std::type_info& getType() const noexcept { return value_.type(); }
    bool isNull() const noexcept { return value_.holds<variant_detail::null>(); }
    bool isEmpty() const noexcept { return !value_.has_value() || value_.holds<variant_detail::empty>(); }
    template <class T>
    bool is_of_type() const noexcept
    {
        if constexpr (std::is_void_v<T>)
            return !value_.has_value();
        else
            return value_.holds<T>();
    }

    // The held value when it is exactly a T, else null. Never throws.
    template <class T>
    const T* getIf() const noexcept
    {
        return value_.get<T>();
    }

    // The held value when it is exactly a T, else bad_variant_cast.
    template <class T>
    const T& cast() const
    {
        if (const T* held = getIf<T>()) return *held;
        throw bad_variant_cast(getType(), typeid(T));
    }

    char getChar() const { return cast<char>(); }
    unsigned char getUChar() const { return cast<unsigned char>(); }
    const VariantVector& getVariantVector() const { return cast<VariantVector>(); }
    const VariantDict& getVariantDict() const { return cast<VariantDict>(); }
    JSObjectPtr getJSObject() const { return cast<JSObjectPtr>(); }
    JSAPIPtr getJSAPI() const { return cast<JSAPIPtr>(); }
    JSAPIWeakPtr getJSAPIWeak() const { return cast<JSAPIWeakPtr>(); }
    ScriptErrorPtr getScriptErrorPointer() const { return cast<ScriptErrorPtr>(); }
    // A copy of a carried error, whether held by value, by shared or by plain pointer.
    script_error getScriptError() const;

    std::string convertToString() const;
    std::wstring convertToWString() const;
    bool convertToBool() const;
    short convertToShort() const;
    unsigned short convertToUShort() const;
    int convertToInt() const;
    unsigned int convertToUInt() const;
    long convertToLong() const;
    unsigned long convertToULong() const;
    long long convertToInt64() const;
    unsigned long long convertToUInt64() const;
    float convertToFloat() const;
    double convertToDouble() const;

    // Script objects; an empty or null value gives an empty pointer.
    JSObjectPtr convertToJSObject() const;
    JSAPIPtr convertToJSAPI() const;
    bool canConvertToJSObject() const noexcept;
    // A page array of page objects, element by element.
    JSObjectList convertToObjectList() const;
    // A held list or map as it is; a page array or object read member by member.
    VariantVector convertToVariantVector() const;
    VariantDict convertToVariantDict() const;

    // The conversion that fits T: one of the above, the variant itself, a
    // page-object subclass, or the exact cast for any other type.
    template <class T>
    T convert_cast() const;

    // Strict weak order over all values (see the file comment).
    bool operator<(const variant& right) const;

private:
    using LessThan = bool (*)(const variant&, const variant&);

    // Only for the copy constructor: this holds nothing yet.
    void copyConstruct(const variant& other)
    {
        value_.copyFrom(other.value_);
        lessthan_ = other.lessthan_;
    }

    template <class T>
    void hold(T&& value)
    {
        using Held = std::decay_t<T>;
        value_.assign(std::forward<T>(value));
        lessthan_ = &lessOf<Held>;
    }
    template <class T>
    static bool lessOf(const variant& left, const variant& right);

    variant_detail::Holder value_;
    LessThan lessthan_ = nullptr;
};

namespace variant_detail {
// Less-than of two held values of one type. Not for direct use.
template <class T>
bool lessOfHeld(const T& left, const T& right);
}  // namespace variant_detail

template <class T>
bool variant::lessOf(const variant& left, const variant& right)
{
    return variant_detail::lessOfHeld<T>(*left.getIf<T>(), *right.getIf<T>());
}

namespace variant_detail {

template <class T>
struct is_weak_ptr : std::false_type {
};
template <class T>
struct is_weak_ptr<std::weak_ptr<T>> : std::true_type {
};

bool lessOfNumbers(double left, double right) noexcept;
bool lessOfLists(const VariantVector& left, const VariantVector& right);
bool lessOfDicts(const VariantDict& left, const VariantDict& right);

template <class T>
bool lessOfHeld(const T& left, const T& right)
{
    if constexpr (std::is_same_v<T, empty> || std::is_same_v<T, null>) {
        return false;
    } else if constexpr (std::is_floating_point_v<T>) {
        return lessOfNumbers(left, right);
    } else if constexpr (is_shared_ptr<T>::value || is_weak_ptr<T>::value) {
        return left.owner_before(right);
    } else if constexpr (std::is_same_v<T, VariantVector>) {
        return lessOfLists(left, right);
    } else if constexpr (std::is_same_v<T, VariantDict>) {
        return lessOfDicts(left, right);
    } else if constexpr (std::is_base_of_v<std::exception, T>) {
        return std::string(left.what()) < right.what();
    } else if constexpr (std::is_pointer_v<T>) {
        return std::less<T>()(left, right);
    } else if constexpr (requires { bool(left < right); }) {
        return left < right;
    } else {
        return false;  // no order of its own: all values of T are equivalent
    }
}

}  // namespace variant_detail

template <class T>
T variant::convert_cast() const
{
    static_assert(!std::is_reference_v<T>, "conversions give new values, not references");
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, variant>)
        return *this;
    else if constexpr (std::is_same_v<U, std::string>)
        return convertToString();
    else if constexpr (std::is_same_v<U, std::wstring>)
        return convertToWString();
    else if constexpr (std::is_same_v<U, bool>)
        return convertToBool();
    else if constexpr (std::is_same_v<U, short>)
        return convertToShort();
    else if constexpr (std::is_same_v<U, unsigned short>)
        return convertToUShort();
    else if constexpr (std::is_same_v<U, int>)
        return convertToInt();
    else if constexpr (std::is_same_v<U, unsigned int>)
        return convertToUInt();
    else if constexpr (std::is_same_v<U, long>)
        return convertToLong();
    else if constexpr (std::is_same_v<U, unsigned long>)
        return convertToULong();
    else if constexpr (std::is_same_v<U, long long>)
        return convertToInt64();
    else if constexpr (std::is_same_v<U, unsigned long long>)
        return convertToUInt64();
    else if constexpr (std::is_same_v<U, float>)
        return convertToFloat();
    else if constexpr (std::is_same_v<U, double>)
        return convertToDouble();
    else if constexpr (std::is_same_v<U, VariantVector>)
        return convertToVariantVector();
    else if constexpr (std::is_same_v<U, VariantDict>)
        return convertToVariantDict();
    else if constexpr (std::is_same_v<U, JSObjectList>)
        return convertToObjectList();
    else if constexpr (std::is_same_v<U, JSObjectPtr>)
        return convertToJSObject();
    else if constexpr (std::is_same_v<U, JSAPIPtr>)
        return convertToJSAPI();
    else if constexpr (variant_detail::is_shared_ptr<U>::value &&
        std::is_base_of_v<JSObject, typename U::element_type>) {
        JSObjectPtr object = convertToJSObject();
        if (!object) return U();
        if (U derived = std::dynamic_pointer_cast<typename U::element_type>(object)) return derived;
        throw bad_variant_cast(getType(), typeid(U));
    } else {
        return cast<U>();
    }
}

}  // namespace FB
