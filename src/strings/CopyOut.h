#pragma once
// The whole-or-nothing copy-out that every string and path result goes through.

namespace tolltone {

// Copies length units whole, or empties the output when they do not fit with the
// terminator. source may equal output (in-place use): the copy runs forwards.
template <class Unit>
int CopyOut(const Unit* source, int length, Unit* output, int capacity) {
    if (capacity < 1) return 0;
    if (length < 0 || length + 1 > capacity) {
        output[0] = Unit(0);
        return 0;
    }
    for (int i = 0; i < length; ++i) output[i] = source[i];
    output[length] = Unit(0);
    return length;
}

} // namespace tolltone
