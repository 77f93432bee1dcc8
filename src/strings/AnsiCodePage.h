#pragma once
// The double-byte rule of the 8-bit forms, taken from the active ANSI code page.
#include "strings/DoubleByteRule.h"

namespace tolltone {

// Built once per load on first use (thread-safe) from the code page's own
// conversion tables: a pair is legal when it converts to exactly one character.
const DoubleByteTable& ActiveCodePageDoubleBytes();

} // namespace tolltone
