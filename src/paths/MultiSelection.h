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

// Fills list with the full paths of the names that begin before bufferLength:
// "directory\name", one backslash always inserted. The number stored; 0 for an
// empty buffer or when memory ran out (the list is then empty); -1 when the
// array could not be allocated.
template <class Unit, class Allocator>
int SelectionFiles(const Unit* buffer, int bufferLength, StrList<Unit>& list, const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    const int count = SelectionCount(buffer);
    if (count == 0) return 0;
    Unit** items = static_cast<Unit**>(allocator.Allocate(sizeof(Unit*) * static_cast<size_t>(count)));
    if (items == nullptr) return -1;
    list.Items = items;

    auto store = [&](const Unit* head, int headLength, const Unit* name, int nameLength) {
        const bool joined = name != nullptr;
        const size_t total = static_cast<size_t>(headLength) + (joined ? 1u + nameLength : 0u);
        Unit* path = static_cast<Unit*>(allocator.Allocate(sizeof(Unit) * (total + 1)));
        if (path == nullptr) return false;
        std::memcpy(path, head, sizeof(Unit) * static_cast<size_t>(headLength));
        if (joined) {
            path[headLength] = Unit('\\');
            std::memcpy(path + headLength + 1, name, sizeof(Unit) * static_cast<size_t>(nameLength));
        }
        path[total] = Unit(0);
        items[list.Count++] = path;
        return true;
    };

    const int directoryLength = TextLength(buffer);
    if (count == 1) {
        if (!store(buffer, directoryLength, nullptr, 0)) {
            DeleteList(list, allocator);
            return 0;
        }
        return 1;
    }
    for (int i = directoryLength + 1; i < bufferLength && list.Count < count;) {
        const int nameLength = TextLength(buffer + i);
        if (!store(buffer, directoryLength, buffer + i, nameLength)) {
            DeleteList(list, allocator);
            return 0;
        }
        i += nameLength + 1;
        if (buffer[i] == Unit(0)) break;
    }
    return list.Count;
}

} // namespace tolltone
