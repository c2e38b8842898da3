// FB::variant_detail::Holder: the type-erased holder of one variant's value.
// Not for direct use: FB::variant is its only user.
//
// It does what std::any does (a copy per copy, the held type's identity, a
// typed read), with room inside for a text object: the values that script
// calls carry (numbers, the empty and null tags, shared and weak pointers to
// script objects, narrow and wide texts, lists) are held without a heap block
// of their own; a short text needs none at all. Larger values (maps) live on
// the heap.
//
// Type identity: the same type made in another module (another copy of the
// framework) is the same type, as std::type_info compares them; within one
// module the test is a comparison of two addresses.
//
// Threading: none of its own; one thread at a time, as the variant.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace FB::variant_detail {

// strcmp of two type names, written out: names of different types mostly
// differ within a few bytes, and a library call costs more than that.
inline int compareTypeNames(const char* left, const char* right) noexcept
{
    while (*left && *left == *right) {
        ++left;
        ++right;
    }
    return static_cast<int>(static_cast<unsigned char>(*left)) - static_cast<int>(static_cast<unsigned char>(*right));
}

// Type identity as std::type_info compares it, the names written out first.
inline bool sameType(const std::type_info& left, const std::type_info& right) noexcept
{
    return &left == &right || (compareTypeNames(left.name(), right.name()) == 0 && left == right);
}

class Holder {
public:
    Holder() noexcept = default;
    Holder(const Holder& other) { copyFrom(other); }
    Holder(Holder&& other) noexcept { take(other); }
    // The copy is made before the old value goes: a failed copy changes nothing.
    Holder& operator=(const Holder& other)
    {
        if (this != &other) *this = Holder(other);
        return *this;
    }
    Holder& operator=(Holder&& other) noexcept
    {
        if (this == &other) return *this;
        reset();
        take(other);
        return *this;
    }
    ~Holder() { reset(); }

    // Holds a copy of value in place of the old one; a failure changes nothing.
    template <class T>
    void assign(T&& value)
    {
        using Held = std::decay_t<T>;
        if constexpr (kInside<Held> && std::is_nothrow_constructible_v<Held, T&&>) {
            // Nothing can fail: straight into place.
            reset();
            construct<Held>(std::forward<T>(value));
        } else {
            Holder made;
            made.construct<Held>(std::forward<T>(value));
            *this = std::move(made);
        }
    }

    // Holds a copy of other's value; this holds none.
    void copyFrom(const Holder& other)
    {
        if (other.manager_) other.manager_(Op::Copy, const_cast<Holder&>(other), this);
    }

    void reset() noexcept
    {
        if (!manager_) return;
        manager_(Op::Destroy, *this, nullptr);
        manager_ = nullptr;
    }

    bool has_value() const noexcept { return manager_ != nullptr; }

    const std::type_info& type() const noexcept
    {
        return manager_ ? *manager_(Op::Type, const_cast<Holder&>(*this), nullptr) : typeid(void);
    }

    template <class T>
    bool holds() const noexcept
    {
        if (manager_ == &manage<T>) return true;
        return manager_ && sameType(type(), typeid(T));
    }

    // The held value when it is exactly a T, else null.
    template <class T>
    const T* get() const noexcept
    {
        if (!holds<T>()) return nullptr;
        if constexpr (kInside<T>)
            return std::launder(reinterpret_cast<const T*>(storage_.inside));
        else
            return static_cast<const T*>(storage_.outside);
    }

private:
    enum class Op { Copy, Move, Destroy, Type };
    using Manager = const std::type_info* (*)(Op op, Holder& self, Holder* other);

    union Storage {
        void* outside;
        alignas(double) alignas(
            void*) unsigned char inside[sizeof(std::string) > sizeof(std::wstring) ? sizeof(std::string)
                                                                                   : sizeof(std::wstring)];
    };

    template <class T>
    static constexpr bool kInside = sizeof(T) <= sizeof(Storage) &&
        alignof(Storage) % alignof(T) == 0 && std::is_nothrow_move_constructible_v<T>;

    template <class T, class... Args>
    void construct(Args&&... args)
    {
        if constexpr (kInside<T>)
            ::new (static_cast<void*>(storage_.inside)) T(std::forward<Args>(args)...);
        else
            storage_.outside = new T(std::forward<Args>(args)...);
        manager_ = &manage<T>;
    }

    // Moves other's value here (this holds none) and leaves other without one.
    void take(Holder& other) noexcept
    {
        if (!other.manager_) return;
        other.manager_(Op::Move, other, this);
        other.manager_ = nullptr;
    }

    template <class T>
    static const std::type_info* manage(Op op, Holder& self, Holder* other)
    {
        T* held;
        if constexpr (kInside<T>)
            held = std::launder(reinterpret_cast<T*>(self.storage_.inside));
        else
            held = static_cast<T*>(self.storage_.outside);
        switch (op) {
        case Op::Copy: other->construct<T>(*held); break;
        case Op::Move:
            if constexpr (kInside<T>) {
                ::new (static_cast<void*>(other->storage_.inside)) T(std::move(*held));
                held->~T();
            } else {
                other->storage_.outside = held;
            }
            other->manager_ = &manage<T>;
            break;
        case Op::Destroy:
            if constexpr (kInside<T>)
                held->~T();
            else
                delete held;
            break;
        case Op::Type: break;
        }
        return &typeid(T);
    }

    Storage storage_;
    Manager manager_ = nullptr;
};

}  // namespace FB::variant_detail
