#pragma once
// Whether bytes are UTF-8 as the platform's strict decoder takes it: no
// overlong form, no surrogate, nothing past U+10FFFF, no sequence cut short.
// Decided here rather than from a failed conversion's last error, which a
// conversion that failed for another reason may leave the same.
#include <cstddef>

namespace tolltone {

inline bool IsUtf8(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t more = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) more = 1;
        else if (lead == 0xE0) more = 2, low = 0xA0;
        else if (lead == 0xED) more = 2, high = 0x9F;
        else if (lead >= 0xE1 && lead <= 0xEF) more = 2;
        else if (lead == 0xF0) more = 3, low = 0x90;
        else if (lead == 0xF4) more = 3, high = 0x8F;
        else if (lead >= 0xF1 && lead <= 0xF3) more = 3;
        else return false;
        if (size - i <= more) return false;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
        for (size_t k = 2; k <= more; ++k)
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return false;
        i += more + 1;
    }
    return true;
}

} // namespace tolltone
