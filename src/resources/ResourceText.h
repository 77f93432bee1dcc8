#pragma once
// Texts of the string table, loaded by id into a path-sized buffer.
#include "base/PlatformLimits.h"

#include <windows.h>

namespace tolltone {

// A text that could not be loaded is empty and not loaded: the step that needs
// it does nothing (an empty file name would name the folder itself).
struct ResourceText {
    wchar_t text[PathUnits];
    bool loaded;
};

inline ResourceText LoadResourceText(HINSTANCE instance, UINT id) {
    ResourceText out{};
    out.loaded = ::LoadStringW(instance, id, out.text, PathUnits) > 0;
    if (!out.loaded) out.text[0] = L'\0';
    return out;
}

} // namespace tolltone
