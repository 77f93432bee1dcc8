#pragma once
// What a "double-byte start" is to the core: a predicate on a position of a
// NUL-terminated text. The 8-bit forms get one backed by the active code page;
// the UTF-16 forms and tests of single-byte behaviour use NoDoubleByte.
#include <cstdint>

namespace tolltone {

struct NoDoubleByte {
    template <class Unit>
    constexpr bool operator()(const Unit*) const { return false; }
};

// A 64 K-bit table indexed by (lead << 8 | trail): which byte pairs are legal
// double-byte characters. Filled once by whoever knows the code page.
class DoubleByteTable {
public:
    void Set(uint8_t lead, uint8_t trail) {
        const unsigned code = (unsigned(lead) << 8) | trail;
        bits_[code >> 6] |= uint64_t(1) << (code & 63);
    }
    bool IsPair(uint8_t lead, uint8_t trail) const {
        const unsigned code = (unsigned(lead) << 8) | trail;
        return (bits_[code >> 6] >> (code & 63)) & 1;
    }
    // A position begins a double-byte character when the byte after it is not the
    // terminator and the two bytes form a legal pair.
    bool operator()(const char* position) const {
        const auto lead = static_cast<uint8_t>(position[0]);
        const auto trail = static_cast<uint8_t>(position[1]);
        return lead >= 0x80 && trail != 0 && IsPair(lead, trail);
    }

private:
    uint64_t bits_[65536 / 64] = {};
};

} // namespace tolltone
