#include "dialog/SettingDialog.h"

#include "dialog/AdvancedDialog.h"
#include "dialog/HelpViewer.h"
#include "dialog/IntervalLists.h"
#include "dialog/PastedName.h"
#include "dialog/SoundFileBrowser.h"
#include "resources/ResourceIds.h"
#include "sound/ScaledSound.h"

#include <initializer_list>

namespace tolltone {
namespace {

enum ControlId : int {
    ModuleFrame = 100, UseModule = 101, DoNotUseModule = 102, SoundingFrame = 103, OncePerInterval = 104,
    StrikeHour = 105, ClockFrame = 106, TwelveHour = 107, TwentyFourHour = 108, SoundFrame = 109,
    IntervalLabel = 110, IntervalCombo = 111, MinutesLabel = 112, WaveLabel = 113, WaveEdit = 114,
    BrowseButton = 115, TestButton = 116, HelpButton = 117, AdvancedButton = 118,
};

// One run of the dialog. Choice holds what the controls and 詳細設定 have
// chosen so far; the caller's settings change only on OK.
struct SettingDialogParam {
    const SettingDialogHost* Host;
    ChimeSettings* Settings;
    ChimeSettings Choice;
};

// The open dialog, if any. Its parameter lives with its window (DWLP_USER), not
// here: a second Setting call only brings this one to the front.
HWND OpenDialog = nullptr;

SettingDialogParam* ParamOf(HWND dialog) {
    return reinterpret_cast<SettingDialogParam*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

void Enable(HWND dialog, int id, bool enabled) { ::EnableWindow(::GetDlgItem(dialog, id), enabled); }
bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void EnableTimeTypeControls(HWND dialog) {
    if (!IsChecked(dialog, StrikeHour)) return;
    for (int id : {ClockFrame, TwelveHour, TwentyFourHour}) Enable(dialog, id, true);
}

void EnableModuleControls(HWND dialog) {
    for (int id : {SoundingFrame, OncePerInterval, StrikeHour}) Enable(dialog, id, true);
    EnableTimeTypeControls(dialog);
    for (int id = SoundFrame; id <= BrowseButton; ++id) Enable(dialog, id, true);
}

void DisableModuleControls(HWND dialog) {
    for (int id = SoundingFrame; id <= BrowseButton; ++id) Enable(dialog, id, false);
}

void UpdateTestButton(HWND dialog) {
    wchar_t text[PathUnits];
    Enable(dialog, TestButton, ::GetDlgItemTextW(dialog, WaveEdit, text, PathUnits) > 0);
}

void FillIntervalList(HWND dialog, const IntervalChoice* list, int32_t seconds) {
    const HWND combo = ::GetDlgItem(dialog, IntervalCombo);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const int rows = IntervalRowCount(list);
    for (int row = 0; row < rows; ++row)
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list[row].label));
    const int selected = IntervalRowOf(list, seconds);
    if (selected >= 0) ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

const IntervalChoice* ListOf(bool strike) { return strike ? IntervalListStrike : IntervalListOnce; }

void ApplyControls(HWND dialog, ChimeSettings& settings) {
    settings.Enable = IsChecked(dialog, UseModule) ? 1 : 0;
    settings.SignalType = IsChecked(dialog, StrikeHour) ? 1 : 0;
    settings.TimeType = IsChecked(dialog, TwentyFourHour) ? 1 : 0;
    // No selection (the stored interval matched no row) keeps the interval.
    const IntervalChoice* list = ListOf(settings.SignalType != 0);
    const LRESULT row = ::SendDlgItemMessageW(dialog, IntervalCombo, CB_GETCURSEL, 0, 0);
    if (row >= 0 && row < IntervalRowCount(list)) settings.Interval = list[row].seconds;
    ::GetDlgItemTextW(dialog, WaveEdit, settings.WaveName, PathUnits);
    TakeOffPastedQuotes(settings.WaveName);
}

// At the volume 詳細設定 chose, else at the one the file holds now.
void PlayTestSound(HWND dialog, SettingDialogParam& param) {
    wchar_t name[PathUnits] = {};
    ::GetDlgItemTextW(dialog, WaveEdit, name, PathUnits);
    TakeOffPastedQuotes(name);
    const SettingDialogHost& host = *param.Host;
    const bool chosen = param.Choice.Sounds.Volume != param.Settings->Sounds.Volume;
    PlayTestChime(name, chosen ? param.Choice.Sounds.Volume : host.CurrentVolume(host.Context));
}

// 詳細設定 over this dialog; its OK keeps its values here until this one's OK.
void OpenAdvancedDialog(HWND dialog, SettingDialogParam& param) {
    wchar_t waveName[PathUnits] = {};
    ::GetDlgItemTextW(dialog, WaveEdit, waveName, PathUnits);
    TakeOffPastedQuotes(waveName);
    RunAdvancedDialog(param.Host->Instance, dialog, param.Choice.Quiet, param.Choice.Sounds, waveName);
}

INT_PTR OnInitDialog(HWND dialog, SettingDialogParam* param) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(param));
    OpenDialog = dialog;
    const ChimeSettings& shown = param->Choice;
    AddCaptionHelpButton(dialog);
    ::CheckRadioButton(dialog, UseModule, DoNotUseModule, shown.Enable != 0 ? UseModule : DoNotUseModule);
    ::CheckRadioButton(dialog, OncePerInterval, StrikeHour, shown.SignalType != 0 ? StrikeHour : OncePerInterval);
    ::CheckRadioButton(dialog, TwelveHour, TwentyFourHour, shown.TimeType != 0 ? TwentyFourHour : TwelveHour);
    FillIntervalList(dialog, ListOf(shown.SignalType != 0), shown.Interval);
    // The limit counts no terminator; the field's text is read with one.
    ::SendDlgItemMessageW(dialog, WaveEdit, EM_LIMITTEXT, PathUnits - 1, 0);
    ::SetDlgItemTextW(dialog, WaveEdit, shown.WaveName);  // its change notification sets the Test button
    if (shown.Enable != 0) EnableModuleControls(dialog);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, SettingDialogParam& param, int id) {
    switch (id) {
    case IDOK:
        ApplyControls(dialog, param.Choice);
        *param.Settings = param.Choice;
        ::EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL: ::EndDialog(dialog, 0); return TRUE;
    case UseModule: EnableModuleControls(dialog); return TRUE;
    case DoNotUseModule: DisableModuleControls(dialog); return TRUE;
    case OncePerInterval:
        if (IsChecked(dialog, OncePerInterval))
            for (int clock : {ClockFrame, TwelveHour, TwentyFourHour}) Enable(dialog, clock, false);
        FillIntervalList(dialog, IntervalListOnce, NoChime);
        return TRUE;
    case StrikeHour:
        EnableTimeTypeControls(dialog);
        FillIntervalList(dialog, IntervalListStrike, NoChime);
        return TRUE;
    case WaveEdit: UpdateTestButton(dialog); return TRUE;
    case BrowseButton: BrowseSoundFile(dialog, WaveEdit, param.Host->Instance); return TRUE;
    case TestButton: PlayTestSound(dialog, param); return TRUE;
    case HelpButton: return ShowHelpFile(dialog, param.Host->Instance);
    case AdvancedButton: OpenAdvancedDialog(dialog, param); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK SettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, reinterpret_cast<SettingDialogParam*>(lParam));
    SettingDialogParam* param = ParamOf(dialog);
    if (param == nullptr) return FALSE;
    switch (message) {
    case WM_HELP: return ShowContextHelp(dialog, param->Host->Instance, reinterpret_cast<const HELPINFO*>(lParam));
    case WM_COMMAND: return OnCommand(dialog, *param, LOWORD(wParam));
    case WM_NCDESTROY:
        if (OpenDialog == dialog) OpenDialog = nullptr;
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        ::EndDialog(dialog, 0);
        return TRUE;
    default: return FALSE;
    }
}

// The module's manifest (resource 2) active for the dialog's lifetime, so its
// controls are those of common controls 6.
class ManifestActivation {
public:
    explicit ManifestActivation(HINSTANCE instance) {
        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = instance;
        context.lpResourceName = MAKEINTRESOURCEW(2);
        context_ = ::CreateActCtxW(&context);
        if (context_ != INVALID_HANDLE_VALUE && !::ActivateActCtx(context_, &cookie_)) cookie_ = 0;
    }
    ~ManifestActivation() {
        if (cookie_ != 0) ::DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
    }
    ManifestActivation(const ManifestActivation&) = delete;
    ManifestActivation& operator=(const ManifestActivation&) = delete;

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

} // namespace

bool BringSettingDialogToFront() {
    if (OpenDialog == nullptr || !::IsWindow(OpenDialog)) return false;
    ::SetForegroundWindow(OpenDialog);
    return true;
}

INT_PTR RunSettingDialog(const SettingDialogHost& host, ChimeSettings& settings) {
    SettingDialogParam param{&host, &settings, settings};
    const ManifestActivation manifest(host.Instance);
    return ::DialogBoxParamW(host.Instance, MAKEINTRESOURCEW(IDD_SETTINGS), host.Owner, SettingDialogProc,
                             reinterpret_cast<LPARAM>(&param));
}

} // namespace tolltone
