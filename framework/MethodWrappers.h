// Wrappers that turn typed member functions of a scriptable object into the
// callables that FB::JSAPIAuto stores:
//
//     addMethod("Cap", FB::bindMethod(this, &MyAPI::Cap));       // long Cap(std::wstring, FB::JSObjectPtr)
//     addProperty("version", FB::bindPropertyReadOnly(this, &MyAPI::getVersion));
//
// A method wrapper checks the argument count, converts every argument to its
// parameter's type (FB::variant parameters take the value as it is and are the
// only optional ones) and turns the result into a variant (nothing gives the
// empty value). The checks run before the member and throw
// FB::invalid_arguments with the text page script sees; exceptions of the
// member itself pass through unchanged. Members without parameters ignore
// their arguments.
//
// The object is held by plain pointer: the callables live in the object's own tables.
#pragma once

#include "ScriptErrors.h"
#include "variant.h"

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace FB {

using CallMethodFunctor = std::function<variant(const VariantVector& args)>;
using GetPropertyFunctor = std::function<variant()>;
using SetPropertyFunctor = std::function<void(const variant& value)>;
struct PropertyFunctors {
    GetPropertyFunctor get;
    SetPropertyFunctor set;
};

namespace detail {

// Not for direct use: the steps of the wrappers.

template <class T>
using Parameter = std::remove_cvref_t<T>;

template <std::size_t Index, class Slots>
void convertArgument(const VariantVector& args, Slots& slots)
{
    using Wanted = typename std::tuple_element_t<Index, Slots>::value_type;
    const auto position = [] { return std::to_string(Index + 1); };  // for the error texts only
    if (args.size() <= Index) {
        if constexpr (std::is_same_v<Wanted, variant>) {
            std::get<Index>(slots).emplace();
            return;
        } else {
            throw invalid_arguments("Error: Argument " + position() + "is not optional.");
        }
    }
    try {
        std::get<Index>(slots).emplace(args[Index].convert_cast<Wanted>());
    } catch (const bad_variant_cast& e) {
        throw invalid_arguments(
            "Invalid argument conversion from " + e.from() + " to " + e.to() + " at index " + position());
    }
}

// Converts the arguments from the last parameter to the first, so that a call
// with too few arguments reports the highest missing position.
template <class... Params, std::size_t... Index>
std::tuple<std::optional<Params>...> convertArguments(const VariantVector& args, std::index_sequence<Index...>)
{
    std::tuple<std::optional<Params>...> slots;
    constexpr std::size_t count = sizeof...(Params);
    (convertArgument<count - 1 - Index>(args, slots), ...);
    return slots;
}

template <class Result, class Call>
variant resultOf(Call&& call)
{
    if constexpr (std::is_void_v<Result>) {
        call();
        return variant();
    } else {
        return variant(call());
    }
}

template <class Object, class Method, class Result, class... Args>
CallMethodFunctor makeMethod(Object* object, Method method)
{
    return [object, method](const VariantVector& args) -> variant {
        constexpr std::size_t count = sizeof...(Args);
        if constexpr (count == 0) {
            return resultOf<Result>([&] { return (object->*method)(); });
        } else {
            if (args.size() > count)
                throw invalid_arguments("Too many arguments, expected " + std::to_string(count) + ".");
            auto slots = convertArguments<Parameter<Args>...>(args, std::make_index_sequence<count>());
            return resultOf<Result>([&] {
                return std::apply([&](auto&... slot) { return (object->*method)(std::move(*slot)...); }, slots);
            });
        }
    };
}

template <class Object, class Setter, class Value>
SetPropertyFunctor makeSetter(Object* object, Setter setter)
{
    return [object, setter](const variant& value) {
        std::optional<Parameter<Value>> converted;
        try {
            converted.emplace(value.convert_cast<Parameter<Value>>());
        } catch (const bad_variant_cast& e) {
            throw invalid_arguments("Invalid argument conversion from " + e.from() + " to " + e.to());
        }
        (object->*setter)(std::move(*converted));
    };
}

template <class Object, class Getter, class Result>
GetPropertyFunctor makeGetter(Object* object, Getter getter)
{
    return [object, getter]() -> variant { return variant((object->*getter)()); };
}

}  // namespace detail

template <class Object, class Base, class Result, class... Args>
CallMethodFunctor bindMethod(Object* object, Result (Base::*method)(Args...))
{
    return detail::makeMethod<Object, decltype(method), Result, Args...>(object, method);
}

template <class Object, class Base, class Result, class... Args>
CallMethodFunctor bindMethod(Object* object, Result (Base::*method)(Args...) const)
{
    return detail::makeMethod<Object, decltype(method), Result, Args...>(object, method);
}

// The shapes of the plug-in's scripting object, one maker per member signature
// ("integer" is long, "script object" a page object, texts are wide).

// value (value)
template <class Object, class Base>
CallMethodFunctor bindMethodVariantOfVariant(Object* object, variant (Base::*method)(const variant&))
{
    return bindMethod(object, method);
}

// nothing (): the arguments are not looked at
template <class Object, class Base>
CallMethodFunctor bindMethodVoid(Object* object, void (Base::*method)())
{
    return bindMethod(object, method);
}

// integer (text, text, text, text, script object)
template <class Object, class Base>
CallMethodFunctor bindMethodLongOf5(Object* object,
    long (Base::*method)(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
        const JSObjectPtr&))
{
    return bindMethod(object, method);
}

// integer (integer)
template <class Object, class Base>
CallMethodFunctor bindMethodLongOfLong(Object* object, long (Base::*method)(long))
{
    return bindMethod(object, method);
}

// integer (text, script object)
template <class Object, class Base>
CallMethodFunctor bindMethodLongOfWStringObject(
    Object* object, long (Base::*method)(const std::wstring&, const JSObjectPtr&))
{
    return bindMethod(object, method);
}

// integer (script object)
template <class Object, class Base>
CallMethodFunctor bindMethodLongOfObject(Object* object, long (Base::*method)(const JSObjectPtr&))
{
    return bindMethod(object, method);
}

template <class Object, class GetBase, class Result, class SetBase, class Value>
PropertyFunctors bindPropertyReadWrite(
    Object* object, Result (GetBase::*getter)() const, void (SetBase::*setter)(Value))
{
    return {detail::makeGetter<Object, decltype(getter), Result>(object, getter),
        detail::makeSetter<Object, decltype(setter), Value>(object, setter)};
}

template <class Object, class GetBase, class Result, class SetBase, class Value>
PropertyFunctors bindPropertyReadWrite(Object* object, Result (GetBase::*getter)(), void (SetBase::*setter)(Value))
{
    return {detail::makeGetter<Object, decltype(getter), Result>(object, getter),
        detail::makeSetter<Object, decltype(setter), Value>(object, setter)};
}

// A property whose setter accepts any value and does nothing.
template <class Object, class GetBase, class Result>
PropertyFunctors bindPropertyReadOnly(Object* object, Result (GetBase::*getter)() const)
{
    return {detail::makeGetter<Object, decltype(getter), Result>(object, getter), [](const variant&) {}};
}

template <class Object, class GetBase, class Result>
PropertyFunctors bindPropertyReadOnly(Object* object, Result (GetBase::*getter)())
{
    return {detail::makeGetter<Object, decltype(getter), Result>(object, getter), [](const variant&) {}};
}

}  // namespace FB
