#pragma once
// Texts of the string table, loaded by id into a path-sized buffer.
#include "base/PlatformLimits.h"

#include <windows.h>

namespace tolltone {

struct ResourceText {
    wchar_t text[PathUnits];
};

inline ResourceText LoadResourceText(HINSTANCE instance, UINT id) {
    ResourceText out{};
    ::LoadStringW(instance, id, out.text, PathUnits);
    return out;
}

} // namespace tolltone
