// FB::TypeIDMap: a two-way table between numeric member ids and the values
// (member names) they stand for. Pairs are entered with setIdForValue; a value
// looked up without an id gets the next free one and keeps it.
//
//     FB::TypeIDMap<long> table(100);
//     table.setIdForValue(-525, FB::variant("readystate"));
//     long id = table.idForValue(FB::variant(L"echo"));   // 100, then 100 again
//
// Values compare by FB::variant's order, so a narrow and a wide text with the
// same characters are two different values.
//
// Threading: every operation takes the table's lock; one table may serve the
// plug-in's objects on any number of threads.
#pragma once

#include "variant.h"

#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace FB {

template <class Id>
class TypeIDMap {
public:
    explicit TypeIDMap(Id firstFreeId) : nextId_(firstFreeId) {}
    virtual ~TypeIDMap()
    {
        std::lock_guard<std::mutex> guard(lock_);
        idToValue_.clear();
        valueToId_.clear();
    }
    TypeIDMap(const TypeIDMap&) = delete;
    TypeIDMap& operator=(const TypeIDMap&) = delete;

    // Enters one pair; an id or value already present throws std::runtime_error
    // "ID or value already defined" and leaves both directions unchanged.
    void setIdForValue(Id id, const variant& value)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (idToValue_.count(id) || valueToId_.count(value)) throw std::runtime_error("ID or value already defined");
        enterPair(id, value);
    }

    // The value's id; a new value takes the next free id.
    Id idForValue(const variant& value)
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = valueToId_.find(value);
        if (found != valueToId_.end()) return found->second;
        const Id id = nextId_;
        enterPair(id, value);
        ++nextId_;
        return id;
    }

    bool hasId(Id id) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return idToValue_.count(id) != 0;
    }

    // A copy of the id's value; nothing when the id is unknown.
    std::optional<variant> valueForId(Id id) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = idToValue_.find(id);
        if (found == idToValue_.end()) return std::nullopt;
        return found->second;
    }

    size_t size() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return idToValue_.size();
    }

private:
    // Enters a new pair in both directions, or in neither when one throws.
    void enterPair(Id id, const variant& value)
    {
        idToValue_.emplace(id, value);
        try {
            valueToId_.emplace(value, id);
        } catch (...) {
            idToValue_.erase(id);
            throw;
        }
    }

    mutable std::mutex lock_;
    std::map<Id, variant> idToValue_;
    std::map<variant, Id> valueToId_;
    Id nextId_;
};

}  // namespace FB
