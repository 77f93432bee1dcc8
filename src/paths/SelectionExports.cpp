// QM_ multi-selection lists of the open-file dialog, A and W forms.
#include "paths/MultiSelection.h"
#include "paths/QmPaths.h"
#include "strings/ListHeap.h"

using namespace tolltone;

extern "C" {

int WINAPI QM_GetComnSelectFileCountA(const char* buffer) { return SelectionCount(buffer); }
int WINAPI QM_GetComnSelectFileCountW(const wchar_t* buffer) { return SelectionCount(buffer); }

int WINAPI QM_GetComnSelectFilesA(const char* buffer, int length, StrListA* list) {
    return SelectionFiles(buffer, length, *reinterpret_cast<StrList<char>*>(list), ListHeap{});
}
int WINAPI QM_GetComnSelectFilesW(const wchar_t* buffer, int length, StrListW* list) {
    return SelectionFiles(buffer, length, *reinterpret_cast<StrList<wchar_t>*>(list), ListHeap{});
}

} // extern "C"
