#pragma once
// The exported QM_ string functions, for callers of Tolltone.dll. Every output
// capacity counts characters including the terminator; a result that does not
// fit is never truncated: the output is emptied and 0 (or -1) returned.
#include <windows.h>

extern "C" {

// A string list filled by the library: one block of the process heap, the array
// and then its strings. Release it with QM_DeleteStrListA / W, never with an
// allocator of your own; the items may be reordered and Count lowered, but no
// item freed, replaced or added. Empty: Count 0, Items null.
struct StrListA {
    int Count;
    char** Items;
};
struct StrListW {
    int Count;
    wchar_t** Items;
};

// Copies the text before the first stop character outside double quotes (quote
// handling on: the quotes are left out). At most `limit` characters are copied
// and no capacity is passed: OUTPUT MUST HOLD limit + 1 CHARACTERS.
int WINAPI QM_StringCopyExA(const char* text, char stop, char* output, int limit, int quotes);
int WINAPI QM_StringCopyExW(const wchar_t* text, wchar_t stop, wchar_t* output, int limit, int quotes);
// The text after the first stop character outside quotes; empty and 0 if none.
int WINAPI QM_StringCopyExAfterA(const char* text, char stop, char* output, int capacity, int quotes);
int WINAPI QM_StringCopyExAfterW(const wchar_t* text, wchar_t stop, wchar_t* output, int capacity, int quotes);

int WINAPI QM_StringTrimLeftA(const char* text, char* output, int capacity, char blank);
int WINAPI QM_StringTrimLeftW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank);
int WINAPI QM_StringTrimRightA(const char* text, char* output, int capacity, char blank);
int WINAPI QM_StringTrimRightW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank);
int WINAPI QM_StringTrimA(const char* text, char* output, int capacity, char blank);
int WINAPI QM_StringTrimW(const wchar_t* text, wchar_t* output, int capacity, wchar_t blank);
int WINAPI QM_StringZeroSuppressA(const char* text, char* output, int capacity);
int WINAPI QM_StringZeroSuppressW(const wchar_t* text, wchar_t* output, int capacity);
int WINAPI QM_IsNumericA(const char* text);
int WINAPI QM_IsNumericW(const wchar_t* text);
// Digit grouping; -1 when it does not fit, for a group below 1, and (A form) for
// a text that is not all digits.
int WINAPI QM_StringSetDelimiterA(const char* text, char* output, int capacity, char separator, int group);
int WINAPI QM_StringSetDelimiterW(const wchar_t* text, wchar_t* output, int capacity, wchar_t separator, int group);

int WINAPI QM_GetCodeLengthA(const char* text, char character);
int WINAPI QM_GetCodeLengthW(const wchar_t* text, wchar_t character);
int WINAPI QM_GetCodeCountA(const char* text, char character);
int WINAPI QM_GetCodeCountW(const wchar_t* text, wchar_t character);
// Fills list (whatever it held is not released); 1, or 0 for an empty text or no memory.
int WINAPI QM_StringSplitA(const char* text, char delimiter, StrListA* list);
int WINAPI QM_StringSplitW(const wchar_t* text, wchar_t delimiter, StrListW* list);
int WINAPI QM_StringCSVA(const char* text, StrListA* list);
int WINAPI QM_StringCSVW(const wchar_t* text, StrListW* list);
void WINAPI QM_DeleteStrListA(StrListA* list);
void WINAPI QM_DeleteStrListW(StrListW* list);

} // extern "C"
