#include "strings/AnsiCodePage.h"

#include <windows.h>

namespace tolltone {
namespace {

DoubleByteTable Table;  // 8 KB, zero until built

BOOL CALLBACK BuildTable(INIT_ONCE*, void*, void**) {
    DoubleByteTable& table = Table;
    const UINT codePage = ::GetACP();
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        if (!::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(lead))) continue;
        for (unsigned trail = 1; trail <= 0xFF; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t converted[2];
            if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, pair, 2, converted, 2) == 1)
                table.Set(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
        }
    }
    return TRUE;
}

} // namespace

const DoubleByteTable& ActiveCodePageDoubleBytes() {
    // The platform's one-time initialisation: the module has no runtime that
    // would guard a local static, and the 8-bit forms may be called from any
    // thread at once.
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    ::InitOnceExecuteOnce(&once, BuildTable, nullptr, nullptr);
    return Table;
}

} // namespace tolltone
