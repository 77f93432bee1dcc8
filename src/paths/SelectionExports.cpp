// QM_ multi-selection lists of the open-file dialog, A and W forms.
#include "paths/MultiSelection.h"
#include "paths/QmPaths.h"
#include "strings/ListHeap.h"

using namespace tolltone;

namespace {

template <class Unit>
int Selection(const Unit* buffer, int length, StrList<Unit>& list) {
    const int stored = SelectionFiles(buffer, length, list, ListHeap::ForNewList());
    CountHeldList(list.Items);
    return stored;
}

} // namespace

extern "C" {

int WINAPI QM_GetComnSelectFileCountA(const char* buffer) { return SelectionCount(buffer); }
int WINAPI QM_GetComnSelectFileCountW(const wchar_t* buffer) { return SelectionCount(buffer); }

int WINAPI QM_GetComnSelectFilesA(const char* buffer, int length, StrListA* list) {
    return Selection(buffer, length, *reinterpret_cast<StrList<char>*>(list));
}
int WINAPI QM_GetComnSelectFilesW(const wchar_t* buffer, int length, StrListW* list) {
    return Selection(buffer, length, *reinterpret_cast<StrList<wchar_t>*>(list));
}

} // extern "C"
