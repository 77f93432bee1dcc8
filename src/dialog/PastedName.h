#pragma once
// A sound name as a user pastes it: Explorer's "copy as path" puts double quotes
// around it, and a Windows file name never holds one.
#include <cwchar>

namespace tolltone {

// Takes one pair of double quotes around the whole name off in place, with the
// blanks around them; a name with a quote anywhere else is kept as typed.
inline void TakeOffPastedQuotes(wchar_t* name) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    size_t first = 0, end = std::wcslen(name);
    while (first < end && blank(name[first])) ++first;
    while (end > first && blank(name[end - 1])) --end;
    if (end - first < 2 || name[first] != L'"' || name[end - 1] != L'"') return;
    if (std::wmemchr(name + first + 1, L'"', end - first - 2) != nullptr) return;
    const size_t inner = end - first - 2;
    std::wmemmove(name, name + first + 1, inner);
    name[inner] = L'\0';
}

} // namespace tolltone
