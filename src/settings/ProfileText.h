#pragma once
// A value of a settings file's text, found as the platform's profile functions
// find it, so that the module reads the file itself and knows whether the read
// reached it. Lines end at CR or LF; blanks (and the DOS end-of-file mark)
// around a line, a name and a value do not count. A section runs from a line
// that begins with '[' to the next; its name is what stands between the '['
// and the line's last ']'. Lines before the first section
// belong to a section without a name. Names match in any case of ASCII
// letters. Only the first section of a name is searched, and in it the first
// key of the name; a key line without '=' has no value. A value in matching
// quotes (' or ") loses them when it fits the buffer. A NUL ends a name or a
// value.
#include <cstddef>

namespace tolltone {

namespace profile_text {

inline bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x1A;
}

inline wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

// Up to the first NUL, as the platform's strings end.
inline size_t CutAtNul(const wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (text[i] == L'\0') return i;
    return length;
}

// A stretch of the text.
struct Span {
    const wchar_t* text;
    size_t length;
};

inline Span Trim(const wchar_t* begin, const wchar_t* end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    return {begin, static_cast<size_t>(end - begin)};
}

inline bool SameSpan(Span name, Span wanted) {
    name.length = CutAtNul(name.text, name.length);
    if (name.length != wanted.length) return false;
    for (size_t i = 0; i < name.length; ++i)
        if (AsciiUpper(name.text[i]) != AsciiUpper(wanted.text[i])) return false;
    return true;
}

inline size_t Length(const wchar_t* text) {
    size_t n = 0;
    while (text[n] != L'\0') ++n;
    return n;
}

} // namespace profile_text

// Copies the value of key in section of text (length units) to out (units
// units, units > 0), cut to units - 1, and gives the units copied; a missing
// section or key, or a key without a value, gives "".
inline size_t FindProfileValue(const wchar_t* text, size_t length, const wchar_t* section, const wchar_t* key,
                               wchar_t* out, size_t units) {
    using namespace profile_text;
    out[0] = L'\0';
    const Span wantedSection = Trim(section, section + Length(section));
    const Span wantedKey = Trim(key, key + Length(key));
    const wchar_t* const end = text + length;
    bool inSection = wantedSection.length == 0;  // lines before the first section
    for (const wchar_t* next = text; next < end;) {
        const wchar_t* lineStart = next;
        while (next < end && *next != L'\n' && *next != L'\r') ++next;
        const wchar_t* lineEnd = next;
        while (next < end && (*next == L'\n' || *next == L'\r')) ++next;
        const Span line = Trim(lineStart, lineEnd);
        if (line.length == 0) continue;
        if (line.text[0] == L'[') {
            size_t close = line.length;
            while (close > 0 && line.text[close - 1] != L']') --close;
            if (close > 0) {  // without a ']' the line is a key
                if (inSection) return 0;  // only the first section of the name
                inSection = SameSpan(Trim(line.text + 1, line.text + close - 1), wantedSection);
                continue;
            }
        }
        if (!inSection) continue;
        const wchar_t* equals = line.text;
        const wchar_t* const stop = line.text + line.length;
        while (equals < stop && *equals != L'=') ++equals;
        if (!SameSpan(Trim(line.text, equals), wantedKey)) continue;
        if (equals == stop) return 0;  // a key without a value
        Span value = Trim(equals + 1, stop);
        value.length = CutAtNul(value.text, value.length);
        // Matching quotes around the value go, as long as the closing one fits.
        bool quoted = false;
        if (value.length >= 2 && (value.text[0] == L'"' || value.text[0] == L'\'') &&
            value.text[value.length - 1] == value.text[0]) {
            quoted = true;
            ++value.text;
            --value.length;
        }
        size_t copied = value.length < units - 1 ? value.length : units - 1;
        for (size_t i = 0; i < copied; ++i) out[i] = value.text[i];
        if (quoted && units > value.length && copied > 0) --copied;  // the closing quote was copied
        out[copied] = L'\0';
        return copied;
    }
    return 0;
}

} // namespace tolltone
