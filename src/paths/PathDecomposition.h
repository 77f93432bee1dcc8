#pragma once
// Taking a path apart by its text: file name, extension, the path without it,
// the four parts at once, the drive's text and number. Every copy is whole or
// nothing (CopyOut); nothing touches the file system.
#include "base/PlatformLimits.h"
#include "paths/PathRules.h"
#include "strings/StringRules.h"

namespace tolltone {

inline constexpr int SplitDriveUnits = 3;
inline constexpr int SplitPartUnits = PathUnits;

// What one scan of a path finds: its length and the last positions (-1 for
// none) of a backslash, of a backslash or colon, and of a dot after the last
// backslash (a dot in a directory name starts no extension). Scanned under the
// double-byte rule.
struct PathMarks {
    int length = 0;
    int lastBackslash = -1;
    int lastSeparator = -1;
    int extensionDot = -1;
};

template <class Unit, class DoubleByte>
PathMarks ScanPath(const Unit* path, const DoubleByte& isDoubleByteStart) {
    PathMarks marks;
    int lastDot = -1;
    int i = 0;
    for (; path[i] != Unit(0); ++i) {
        if (isDoubleByteStart(path + i)) {
            ++i;
            continue;
        }
        const Unit unit = path[i];
        if (unit == Unit('\\')) marks.lastBackslash = marks.lastSeparator = i;
        else if (unit == Unit(':')) marks.lastSeparator = i;
        else if (unit == Unit('.')) lastDot = i;
    }
    marks.length = i;
    marks.extensionDot = lastDot > marks.lastBackslash ? lastDot : -1;
    return marks;
}

// Without a double-byte rule every unit stands for itself, so the marks can be
// read from the end: after the length, a backward scan that stops at the last
// backslash (the last separator and the extension's dot, if any, come after
// it). A path's name is short, so this is little more than the length.
template <class Unit>
PathMarks ScanPath(const Unit* path, const NoDoubleByte&) {
    PathMarks marks;
    marks.length = TextLength(path);
    for (int i = marks.length - 1; i >= 0; --i) {
        const Unit unit = path[i];
        if (unit == Unit('\\')) {
            marks.lastBackslash = i;
            if (marks.lastSeparator < 0) marks.lastSeparator = i;
            break;
        }
        if (unit == Unit(':')) {
            if (marks.lastSeparator < 0) marks.lastSeparator = i;
        } else if (unit == Unit('.') && marks.extensionDot < 0) {
            marks.extensionDot = i;
        }
    }
    return marks;
}

// Everything after the last backslash or colon; a path with neither is a name.
template <class Unit, class DoubleByte>
int FileName(const Unit* path, Unit* output, int capacity, const DoubleByte& rule) {
    if (capacity >= 1) output[0] = Unit(0);
    const PathMarks marks = ScanPath(path, rule);
    return CopyOut(path + marks.lastSeparator + 1, marks.length - marks.lastSeparator - 1, output, capacity);
}

template <class Unit, class DoubleByte>
int FileExtension(const Unit* path, Unit* output, int capacity, const DoubleByte& rule) {
    if (capacity >= 1) output[0] = Unit(0);
    const PathMarks marks = ScanPath(path, rule);
    if (marks.extensionDot < 0) return 0;
    return CopyOut(path + marks.extensionDot + 1, marks.length - marks.extensionDot - 1, output, capacity);
}

template <class Unit, class DoubleByte>
int PathWithoutExtension(const Unit* path, Unit* output, int capacity, const DoubleByte& rule) {
    if (capacity >= 1) output[0] = Unit(0);
    const PathMarks marks = ScanPath(path, rule);
    return CopyOut(path, marks.extensionDot < 0 ? marks.length : marks.extensionDot, output, capacity);
}

// Drive (3 units), directory, name and extension (SplitPartUnits each). 0 when the
// extension fitted. Without a backslash at position 2 or later the directory is
// empty and the name starts at the beginning.
template <class Unit, class DoubleByte>
int SplitPath(const Unit* path, Unit* drive, Unit* directory, Unit* name, Unit* extension, const DoubleByte& rule) {
    const PathMarks marks = ScanPath(path, rule);
    const int n = marks.length;
    CopyOut(path, n < 2 ? n : 2, drive, SplitDriveUnits);

    const int slash = marks.lastBackslash;
    const int nameStart = slash >= 2 ? slash + 1 : 0;
    CopyOut(path + 2, slash >= 2 ? slash - 2 : 0, directory, SplitPartUnits);

    const int dot = marks.extensionDot;
    const int nameEnd = dot >= nameStart ? dot : n;
    CopyOut(path + nameStart, nameEnd - nameStart, name, SplitPartUnits);

    if (dot < nameStart) {
        extension[0] = Unit(0);
        return 0;
    }
    const int extensionLength = n - dot - 1;
    CopyOut(path + dot + 1, extensionLength, extension, SplitPartUnits);
    return extensionLength + 1 > SplitPartUnits ? 1 : 0;
}

// The text before the first colon outside quotes; -1 without any colon. A text
// that does not fit the capacity gives the empty output and 0.
template <class Unit, class DoubleByte>
int DriveName(const Unit* path, Unit* output, int capacity, const DoubleByte& rule) {
    if (capacity < 1) return CodeCount(path, Unit(':'), rule) == 0 ? -1 : 0;
    output[0] = Unit(0);
    if (CodeCount(path, Unit(':'), rule) == 0) return -1;
    const int length = ScanUntil(path, Unit(':'), capacity, true, rule, [](Unit) {});
    if (length + 1 > capacity) return 0;
    return CopyUntil(path, Unit(':'), output, capacity, true, rule);
}

// 1 for A to 26 for Z when the second unit is a colon, else -1. upper is the
// platform's upper-casing of one character; the first unit is not checked.
template <class Unit, class Upper>
int DriveNumber(const Unit* path, Upper upper) {
    if (path[0] == Unit(0) || path[1] != Unit(':')) return -1;
    return static_cast<int>(upper(path[0])) - 64;
}

} // namespace tolltone
