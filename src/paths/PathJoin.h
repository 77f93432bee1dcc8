#pragma once
// Joins path parts with single backslashes into a fixed buffer. Unlike a bare
// "%s\%s" format it never writes past the buffer: a result that does not fit
// leaves the output empty and gives false.
#include <initializer_list>

namespace tolltone {

namespace join_detail {

// separator 0: the parts are written one after the other.
template <class Unit>
bool Join(Unit* output, int capacity, std::initializer_list<const Unit*> parts, Unit separator) {
    if (capacity < 1) return false;
    int length = 0;
    auto append = [&](Unit unit) {
        if (length + 1 >= capacity) return false;
        output[length++] = unit;
        return true;
    };
    bool first = true;
    for (const Unit* part : parts) {
        if (!first && separator != Unit(0) && !append(separator)) {
            output[0] = Unit(0);
            return false;
        }
        first = false;
        for (; *part != Unit(0); ++part) {
            if (!append(*part)) {
                output[0] = Unit(0);
                return false;
            }
        }
    }
    output[length] = Unit(0);
    return true;
}

} // namespace join_detail

template <class Unit>
bool JoinPath(Unit* output, int capacity, std::initializer_list<const Unit*> parts) {
    return join_detail::Join(output, capacity, parts, Unit('\\'));
}

// The parts one after the other, with the same all-or-nothing rule.
template <class Unit>
bool ConcatText(Unit* output, int capacity, std::initializer_list<const Unit*> parts) {
    return join_detail::Join(output, capacity, parts, Unit(0));
}

} // namespace tolltone
