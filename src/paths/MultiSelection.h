#pragma once
// The result buffer of a multi-selection open-file dialog: one full path then
// two NULs, or a directory, NUL, each name and NUL, then one more NUL. Any
// number of names is supported; the joined paths are packed at their lengths
// in the list's one block.
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
// backslash always inserted, in one block measured by a first walk. The number
// stored; 0 for an empty buffer; -1 when memory ran out (the list is then
// empty).
template <class Unit, class Allocator>
int SelectionFiles(const Unit* buffer, int bufferLength, StrList<Unit>& list, const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    const size_t headLength = buffer[0] == Unit(0) ? 0 : static_cast<size_t>(TextLength(buffer));
    const auto pathLength = [&](const Unit* name, int nameLength) {
        return headLength + (name != nullptr ? 1u + static_cast<size_t>(nameLength) : 0u);
    };
    size_t units = 0;
    const int count = VisitSelection(buffer, bufferLength, [&](const Unit* name, int nameLength) {
        units += pathLength(name, nameLength) + 1;
        return true;
    });
    if (count <= 0) return 0;
    Unit* room = AllocateList(list, static_cast<size_t>(count), units, allocator);
    if (room == nullptr) return -1;
    VisitSelection(buffer, bufferLength, [&](const Unit* name, int nameLength) {
        const size_t total = pathLength(name, nameLength);
        std::memcpy(room, buffer, sizeof(Unit) * headLength);
        if (name != nullptr) {
            room[headLength] = Unit('\\');
            std::memcpy(room + headLength + 1, name, sizeof(Unit) * static_cast<size_t>(nameLength));
        }
        room[total] = Unit(0);
        list.Items[list.Count++] = room;
        room += total + 1;
        return true;
    });
    return list.Count;
}

} // namespace tolltone
