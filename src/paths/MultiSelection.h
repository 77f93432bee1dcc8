#pragma once
// The result buffer of a multi-selection open-file dialog: one full path then
// two NULs, or a directory, NUL, each name and NUL, then one more NUL. Any
// number of names is supported; each joined path is allocated at its length.
#include "strings/StringList.h"

#include <cstring>

namespace tolltone {

// Number of selected files: up to the closing double NUL.
template <class Unit>
int SelectionCount(const Unit* buffer) {
    if (buffer[0] == Unit(0)) return 0;
    int i = TextLength(buffer) + 1;
    if (buffer[i] == Unit(0)) return 1;
    int count = 0;
    for (;;) {
        i += TextLength(buffer + i) + 1;
        ++count;
        if (buffer[i] == Unit(0)) return count;
    }
}

// Length of the text at from, never reading at or past bufferLength; equal to
// bufferLength - from when no terminator lies inside.
template <class Unit>
int BoundedLength(const Unit* buffer, int from, int bufferLength) {
    int i = from;
    while (i < bufferLength && buffer[i] != Unit(0)) ++i;
    return i - from;
}

// Visits the names of the selection: visit(name, length), or visit(nullptr, 0)
// once for a single full path. The first text and the unit after it, which
// tells the layouts apart, are read as the dialog wrote them whatever the
// length: for a single path the length is not consulted (a caller may pass the
// path's own length). The names of a multiple selection count only when they
// begin and end inside bufferLength, and nothing at or past it is read for
// them, so a buffer that is exactly full and lacks its closing NUL still gives
// the names that fit.
template <class Unit, class Visit>
int VisitSelection(const Unit* buffer, int bufferLength, Visit&& visit) {
    if (buffer[0] == Unit(0)) return 0;
    int i = TextLength(buffer) + 1;
    if (buffer[i] == Unit(0)) return visit(nullptr, 0) ? 1 : -1;
    int count = 0;
    while (i < bufferLength && buffer[i] != Unit(0)) {
        const int nameLength = BoundedLength(buffer, i, bufferLength);
        if (i + nameLength >= bufferLength) break;  // cut by the buffer's end
        if (!visit(buffer + i, nameLength)) return -1;
        ++count;
        i += nameLength + 1;
    }
    return count;
}

// Fills list with the full paths of the selection: "directory\name", one
// backslash always inserted. The number stored; 0 for an empty buffer or when
// memory ran out (the list is then empty); -1 when the array could not be
// allocated.
template <class Unit, class Allocator>
int SelectionFiles(const Unit* buffer, int bufferLength, StrList<Unit>& list, const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    const int count = VisitSelection(buffer, bufferLength, [](const Unit*, int) { return true; });
    if (count <= 0) return 0;
    Unit** items = static_cast<Unit**>(allocator.AllocateArray(sizeof(Unit*) * static_cast<size_t>(count)));
    if (items == nullptr) return -1;
    list.Items = items;

    const int headLength = TextLength(buffer);
    const int stored = VisitSelection(buffer, bufferLength, [&](const Unit* name, int nameLength) {
        const bool joined = name != nullptr;
        const size_t total = static_cast<size_t>(headLength) + (joined ? 1u + nameLength : 0u);
        Unit* path = static_cast<Unit*>(allocator.Allocate(sizeof(Unit) * (total + 1)));
        if (path == nullptr) return false;
        std::memcpy(path, buffer, sizeof(Unit) * static_cast<size_t>(headLength));
        if (joined) {
            path[headLength] = Unit('\\');
            std::memcpy(path + headLength + 1, name, sizeof(Unit) * static_cast<size_t>(nameLength));
        }
        path[total] = Unit(0);
        items[list.Count++] = path;
        return true;
    });
    if (stored < 0) {
        DeleteList(list, allocator);
        return 0;
    }
    return list.Count;
}

} // namespace tolltone
