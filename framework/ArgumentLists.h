// FB::ArgumentLists: the argument lists of the script calls that the browser
// bridges hand to scriptable objects, kept from one call to the next.
//
//     ArgumentLists::Borrowed args = host.argumentLists().borrow();
//     for (...) args.list().push_back(value);
//     api.invoke(name, args.list());
//     // args goes: its list, emptied, waits for the next call
//
// Every script call needs a list, and a heap block costs more than the rest of
// a simple call's own work; an emptied list keeps its block. A call made while
// another call's list is out (a method calling back into the page, which calls
// the plug-in again) borrows another one; only a few lists are kept.
//
// Threading: one thread, the browser's main thread (the bridges' thread). A
// host lends only there; on any other thread a borrowed list is a new one.
#pragma once

#include "variant.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace FB {

class ArgumentLists {
public:
    class Borrowed {
    public:
        Borrowed(Borrowed&& other) noexcept : owner_(other.owner_), list_(std::move(other.list_))
        {
            other.owner_ = nullptr;
        }
        Borrowed(const Borrowed&) = delete;
        Borrowed& operator=(const Borrowed&) = delete;
        Borrowed& operator=(Borrowed&&) = delete;
        ~Borrowed()
        {
            if (owner_) owner_->giveBack(std::move(list_));
        }

        VariantVector& list() { return list_; }

    private:
        friend class ArgumentLists;
        Borrowed(ArgumentLists* owner, VariantVector list) : owner_(owner), list_(std::move(list)) {}

        ArgumentLists* owner_;  // null: the list is not given back
        VariantVector list_;
    };

    ArgumentLists() = default;
    ArgumentLists(const ArgumentLists&) = delete;
    ArgumentLists& operator=(const ArgumentLists&) = delete;

    // An empty list; kept ones first.
    Borrowed borrow()
    {
        if (spare_.empty()) return Borrowed(this, VariantVector());
        VariantVector list = std::move(spare_.back());
        spare_.pop_back();
        return Borrowed(this, std::move(list));
    }
    // An empty list that is not kept afterwards (for callers off the lending thread).
    static Borrowed unkept() { return Borrowed(nullptr, VariantVector()); }

private:
    static constexpr std::size_t kKept = 4;

    void giveBack(VariantVector&& list) noexcept
    {
        list.clear();
        if (spare_.size() >= kKept || list.capacity() == 0) return;
        try {
            spare_.push_back(std::move(list));
        } catch (...) {
            // Not kept: the next call makes its own.
        }
    }

    std::vector<VariantVector> spare_;
};

}  // namespace FB
