// QM_ character search, counting, splitting and list release, A and W forms.
#include "strings/AnsiCodePage.h"
#include "strings/ListHeap.h"
#include "strings/QmStrings.h"
#include "strings/StringList.h"

using namespace tolltone;

namespace {

// The exported records and the core's template share one layout.
static_assert(sizeof(StrListA) == sizeof(StrList<char>) && offsetof(StrListA, Items) == offsetof(StrList<char>, Items));
static_assert(sizeof(StrListW) == sizeof(StrList<wchar_t>) && offsetof(StrListW, Items) == offsetof(StrList<wchar_t>, Items));

StrList<char>& Core(StrListA* list) { return *reinterpret_cast<StrList<char>*>(list); }
StrList<wchar_t>& Core(StrListW* list) { return *reinterpret_cast<StrList<wchar_t>*>(list); }

template <class Unit>
void Release(StrList<Unit>& list) {
    DeleteList(list, ListHeap{});
}

} // namespace

extern "C" {

int WINAPI QM_GetCodeLengthA(const char* text, char character) { return CodeLength(text, character); }
int WINAPI QM_GetCodeLengthW(const wchar_t* text, wchar_t character) { return CodeLength(text, character); }

int WINAPI QM_GetCodeCountA(const char* text, char character) {
    return CodeCount(text, character, ActiveCodePageDoubleBytes());
}
int WINAPI QM_GetCodeCountW(const wchar_t* text, wchar_t character) {
    return CodeCount(text, character, NoDoubleByte{});
}

int WINAPI QM_StringSplitA(const char* text, char delimiter, StrListA* list) {
    return SplitList(text, delimiter, Core(list), ActiveCodePageDoubleBytes(), ListHeap{});
}
int WINAPI QM_StringSplitW(const wchar_t* text, wchar_t delimiter, StrListW* list) {
    return SplitList(text, delimiter, Core(list), NoDoubleByte{}, ListHeap{});
}

int WINAPI QM_StringCSVA(const char* text, StrListA* list) { return QM_StringSplitA(text, ',', list); }
int WINAPI QM_StringCSVW(const wchar_t* text, StrListW* list) { return QM_StringSplitW(text, L',', list); }

void WINAPI QM_DeleteStrListA(StrListA* list) { Release(Core(list)); }
void WINAPI QM_DeleteStrListW(StrListW* list) { Release(Core(list)); }

} // extern "C"
