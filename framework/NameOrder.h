// FB::detail::NameOrder: the byte order of member names (unsigned bytes, a
// prefix first), as std::less<std::string> orders them, for the tables that
// every script call searches; FB::detail::sameName, their equality.
//
//     std::map<std::string, Entry, FB::detail::NameOrder> table;
//     table.find(std::string_view("echo"));   // no temporary string
//
// The comparison is written out here rather than left to memcmp: member names
// are short and mostly differ in their first bytes, and a call into the C
// library costs more than the few bytes it would compare.
#pragma once

#include <cstddef>
#include <string_view>

namespace FB::detail {

struct NameOrder {
    using is_transparent = void;

    bool operator()(std::string_view left, std::string_view right) const noexcept
    {
        const std::size_t common = left.size() < right.size() ? left.size() : right.size();
        for (std::size_t i = 0; i < common; ++i) {
            const auto l = static_cast<unsigned char>(left[i]);
            const auto r = static_cast<unsigned char>(right[i]);
            if (l != r) return l < r;
        }
        return left.size() < right.size();
    }
};

// Equality of two names, written out for the same reason.
inline bool sameName(std::string_view left, std::string_view right) noexcept
{
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i]) return false;
    }
    return true;
}

}  // namespace FB::detail
