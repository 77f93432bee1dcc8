#include "strings/AnsiCodePage.h"

#include <windows.h>

namespace tolltone {
namespace {

DoubleByteTable BuildTable() {
    DoubleByteTable table;
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
    return table;
}

} // namespace

const DoubleByteTable& ActiveCodePageDoubleBytes() {
    static const DoubleByteTable table = BuildTable();
    return table;
}

} // namespace tolltone
