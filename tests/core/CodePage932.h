#pragma once
// A double-byte table with the lead and trail ranges of code page 932, for the
// core's tests and fuzzers where no Windows code page is at hand.
#include "strings/DoubleByteRule.h"

namespace tolltone::fakes {

inline const DoubleByteTable& CodePage932() {
    static const DoubleByteTable table = [] {
        DoubleByteTable t;
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                if (trail != 0x7F) t.Set(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
        }
        return t;
    }();
    return table;
}

} // namespace tolltone::fakes
