#include "dialog/SoundFileBrowser.h"

#include "paths/PathJoin.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"

#include <commdlg.h>
#include <shlobj.h>

namespace tolltone {

void BrowseSoundFile(HWND dialog, int editId, HINSTANCE instance) {
    wchar_t title[81] = {};
    ::LoadStringW(instance, IDS_BROWSE_TITLE, title, 81);

    wchar_t initialDirectory[PathUnits] = {};
    wchar_t appData[PathUnits] = {};
    if (SUCCEEDED(::SHGetFolderPathW(dialog, CSIDL_APPDATA, nullptr, 0, appData))) {
        const ResourceText maker = LoadResourceText(instance, IDS_MAKER_FOLDER);
        const ResourceText host = LoadResourceText(instance, IDS_HOST_FOLDER);
        JoinPath<wchar_t>(initialDirectory, PathUnits, {appData, maker.text, host.text});  // empty if too long
    }

    wchar_t file[PathUnits] = {};
    ::GetDlgItemTextW(dialog, editId, file, PathUnits);

    static const wchar_t filter[] = L"Waveサウンド (*.wav)\0*.wav\0";
    OPENFILENAMEW browse{};
    browse.lStructSize = sizeof browse;
    browse.hwndOwner = dialog;
    browse.lpstrFilter = filter;
    browse.nFilterIndex = 1;
    browse.lpstrFile = file;
    browse.nMaxFile = PathUnits;
    browse.lpstrInitialDir = initialDirectory;
    browse.lpstrTitle = title;
    browse.Flags = OFN_READONLY | OFN_HIDEREADONLY;
    if (::GetOpenFileNameW(&browse)) ::SetDlgItemTextW(dialog, editId, file);
}

} // namespace tolltone
