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
    explicit TypeIDMap(Id firstFreeId) : nextId(firstFreeId) {}
    virtual ~TypeIDMap()
    {
        std::lock_guard<std::mutex> guard(lock);
        idToValue.clear();
        valueToId.clear();
    }
    TypeIDMap(const TypeIDMap&) = delete;
    TypeIDMap& operator=(const TypeIDMap&) = delete;

    // Enters one pair; an id or value already present throws std::runtime_error
    // "ID or value already defined" and leaves both directions unchanged.
    void setIdForValue(Id id, const variant& value)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (idToValue.count(id) || valueToId.count(value)) throw std::runtime_error("ID or value already defined");
        valueToId.emplace(value, id);
        try {
            idToValue.emplace(id, value);
        } catch (...) {
            valueToId.erase(value);
            throw;
        }
    }

    // The value's id; a new value takes the next free id.
    Id idForValue(const variant& value)
    {
        std::lock_guard<std::mutex> guard(lock);
        auto found = valueToId.find(value);
        if (found != valueToId.end()) return found->second;
        const Id id = nextId;
        idToValue.emplace(id, value);
        try {
            valueToId.emplace(value, id);
        } catch (...) {
            idToValue.erase(id);
            throw;
        }
        ++nextId;
        return id;
    }

    bool hasId(Id id) const
    {
        std::lock_guard<std::mutex> guard(lock);
        return idToValue.count(id) != 0;
    }

    // A copy of the id's value; nothing when the id is unknown.
    std::optional<variant> valueForId(Id id) const
    {
        std::lock_guard<std::mutex> guard(lock);
        auto found = idToValue.find(id);
        if (found == idToValue.end()) return std::nullopt;
        return found->second;
    }

    size_t size() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return idToValue.size();
    }

private:
    mutable std::mutex lock;
    std::map<Id, variant> idToValue;
    std::map<variant, Id> valueToId;
    Id nextId;
};

}  // namespace FB
