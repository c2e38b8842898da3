// FB::HeldTypeTable: handlers chosen by the type a variant holds, for the
// value conversions of the browser roads (one table per road, made once).
//
//     static const FB::HeldTypeTable<Converter> table = {
//         {typeid(bool), toBool},
//         {typeid(std::string), toText},
//     };
//     if (const Converter* convert = table.find(value.getType())) (*convert)(out, value);
//
// Every returned value of a script call passes through such a table, so the
// lookup compares type identities by address first: a type made in this
// module is the very object in the table. Only a type the table does not hold
// at that address (one made by another module) is compared by name.
//
// Threading: read-only after construction; any thread.
#pragma once

#include <initializer_list>
#include <typeinfo>
#include <utility>
#include <vector>

namespace FB {

template <class Handler>
class HeldTypeTable {
public:
    struct Row {
        const std::type_info& type;
        Handler handler;
    };

    HeldTypeTable(std::initializer_list<Row> rows)
    {
        rows_.reserve(rows.size());
        for (const Row& row : rows) rows_.push_back({&row.type, row.handler});
    }

    // The handler of the type, or null when the table has none.
    const Handler* find(const std::type_info& type) const
    {
        for (const Entry& entry : rows_) {
            if (entry.type == &type) return &entry.handler;
        }
        for (const Entry& entry : rows_) {
            if (*entry.type == type) return &entry.handler;
        }
        return nullptr;
    }

private:
    struct Entry {
        const std::type_info* type;
        Handler handler;
    };
    std::vector<Entry> rows_;
};

}  // namespace FB
