// QM_ string copying, trimming and tests, A and W forms side by side.
#include "strings/AnsiCodePage.h"
#include "strings/QmStrings.h"
#include "strings/StringRules.h"

using namespace tolltone;

namespace {
const DoubleByteTable& Ansi() { return ActiveCodePageDoubleBytes(); }
}

extern "C" {

int WINAPI QM_StringCopyExA(const char* text, char stop, char* output, int limit, int quotes) {
    return CopyUntil(text, stop, output, limit, quotes != 0, Ansi());
}
int WINAPI QM_StringCopyExW(const wchar_t* text, wchar_t stop, wchar_t* output, int limit, int quotes) {
    return CopyUntil(text, stop, output, limit, quotes != 0, NoDoubleByte{});
}

int WINAPI QM_StringCopyExAfterA(const char* text, char stop, char* output, int capacity, int quotes) {
    return CopyAfter(text, stop, output, capacity, quotes != 0, Ansi());
}
int WINAPI QM_StringCopyExAfterW(const wchar_t* text, wchar_t stop, wchar_t* output, int capacity, int quotes) {
    return CopyAfter(text, stop, output, capacity, quotes != 0, NoDoubleByte{});
}

int WINAPI QM_StringTrimLeftA(const char* text, char* output, int capacity, char blank) {
    return TrimLeft(text, output, capacity, blank, Ansi());
}
int WINAPI QM_StringTrimLeftW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank) {
    return TrimLeft(text, output, capacity, blank, NoDoubleByte{});
}

int WINAPI QM_StringTrimRightA(const char* text, char* output, int capacity, char blank) {
    return TrimRight(text, output, capacity, blank, Ansi());
}
int WINAPI QM_StringTrimRightW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank) {
    return TrimRight(text, output, capacity, blank, NoDoubleByte{});
}

int WINAPI QM_StringTrimA(const char* text, char* output, int capacity, char blank) {
    return Trim(text, output, capacity, blank, Ansi());
}
int WINAPI QM_StringTrimW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank) {
    return Trim(text, output, capacity, blank, NoDoubleByte{});
}

int WINAPI QM_StringZeroSuppressA(const char* text, char* output, int capacity) {
    return ZeroSuppress(text, output, capacity, Ansi());
}
int WINAPI QM_StringZeroSuppressW(const wchar_t* text, wchar_t* output, int capacity) {
    return ZeroSuppress(text, output, capacity, NoDoubleByte{});
}

int WINAPI QM_IsNumericA(const char* text) { return IsNumeric(text); }
int WINAPI QM_IsNumericW(const wchar_t* text) { return IsNumeric(text); }

int WINAPI QM_StringSetDelimiterA(const char* text, char* output, int capacity, char separator, int group) {
    return SetDelimiter(text, output, capacity, separator, group, true);
}
int WINAPI QM_StringSetDelimiterW(const wchar_t* text, wchar_t* output, int capacity, wchar_t separator, int group) {
    return SetDelimiter(text, output, capacity, separator, group, false);
}

} // extern "C"
