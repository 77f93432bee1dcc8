#include "dialog/AdvancedDialog.h"

#include "base/PlatformLimits.h"
#include "dialog/HelpViewer.h"
#include "dialog/PastedName.h"
#include "dialog/SoundFileBrowser.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "sound/ScaledSound.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace tolltone {
namespace {

enum ControlId : int {
    QuietHoursBox = 201, QuietStart = 202, QuietEnd = 203, FirstDay = 211, WhenBusy = 221, WhenLocked = 222,
    VolumeBar = 231, VolumeText = 232, FirstName = 241, FirstBrowse = 244, FirstTest = 247, OnTheSecondBox = 251,
    PreviewButton = 252, PreviewText = 253, HelpButton = 259, RefusalText = 260,
};
constexpr int MomentCount = 3;  // the hour, the half, the quarters

// The controls that have a popup; OK and Cancel have topics of their own, as
// their words differ from the settings dialog's.
constexpr int PopupIds[] = {IDOK, IDCANCEL, 201, 202, 203, 211, 212, 213, 214, 215, 216, 217, 221, 222, 231,
                            241, 242, 243, 244, 245, 246, 247, 248, 249, 251, 252, 259};
constexpr UINT OkTopic = 261, CancelTopic = 262;

struct AdvancedParam {
    HINSTANCE instance;
    QuietSettings* quiet;
    SoundSettings* sounds;
    const wchar_t* waveName;
};

AdvancedParam* ParamOf(HWND dialog) {
    return reinterpret_cast<AdvancedParam*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void Check(HWND dialog, int id, bool on) { ::CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

wchar_t* AppendTwoDigits(wchar_t* out, int value) {
    *out++ = static_cast<wchar_t>(L'0' + value / 10 % 10);
    *out++ = static_cast<wchar_t>(L'0' + value % 10);
    return out;
}

void SetClockTime(HWND dialog, int id, int minuteOfDay) {
    wchar_t text[6];
    wchar_t* end = AppendTwoDigits(text, minuteOfDay / 60);
    *end++ = L':';
    *AppendTwoDigits(end, minuteOfDay % 60) = L'\0';
    ::SetDlgItemTextW(dialog, id, text);
}

// "H:MM" or "HH:MM", blanks around it allowed; -1 for anything else.
int ReadClockTime(HWND dialog, int id) {
    wchar_t text[16] = {};
    ::GetDlgItemTextW(dialog, id, text, 16);
    const wchar_t* p = quiet_detail::SkipBlanks(text);
    int minute = 0;
    if (!quiet_detail::ParseClockTime(p, minute) || *quiet_detail::SkipBlanks(p) != L'\0') return -1;
    return minute;
}

int VolumeOf(HWND dialog) {
    return static_cast<int>(::SendDlgItemMessageW(dialog, VolumeBar, TBM_GETPOS, 0, 0));
}

void ShowVolume(HWND dialog) {
    wchar_t text[8];
    const int volume = VolumeOf(dialog);
    wchar_t* end = text;
    if (volume >= 100) *end++ = L'1';
    if (volume >= 10) end = AppendTwoDigits(end, volume);
    else *end++ = static_cast<wchar_t>(L'0' + volume);
    std::wcscpy(end, L" %");
    ::SetDlgItemTextW(dialog, VolumeText, text);
}

void EnableQuietTimes(HWND dialog) {
    const bool on = IsChecked(dialog, QuietHoursBox);
    for (int id : {QuietStart, QuietEnd}) ::EnableWindow(::GetDlgItem(dialog, id), on);
}

// The sound name of a moment's edit, or the settings dialog's when it is empty.
void MomentSound(HWND dialog, const AdvancedParam& param, int moment, wchar_t (&name)[PathUnits]) {
    ::GetDlgItemTextW(dialog, FirstName + moment, name, PathUnits);
    TakeOffPastedQuotes(name);
    if (name[0] == L'\0') std::wcscpy(name, param.waveName);
}

void Names(SoundSettings& sounds, wchar_t* (&names)[MomentCount]) {
    names[0] = sounds.HourWaveName;
    names[1] = sounds.HalfWaveName;
    names[2] = sounds.QuarterWaveName;
}

INT_PTR OnInitDialog(HWND dialog, AdvancedParam* param) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(param));
    AddCaptionHelpButton(dialog);
    const QuietSettings& quiet = *param->quiet;
    const bool quietHours = quiet.Hours.startMinute != quiet.Hours.endMinute;
    Check(dialog, QuietHoursBox, quietHours);
    // No quiet hours shows the docs' example, greyed until the box is ticked.
    SetClockTime(dialog, QuietStart, quietHours ? quiet.Hours.startMinute : 23 * 60);
    SetClockTime(dialog, QuietEnd, quietHours ? quiet.Hours.endMinute : 7 * 60);
    EnableQuietTimes(dialog);
    for (int day = 0; day < 7; ++day) Check(dialog, FirstDay + day, (quiet.Days & (1u << day)) != 0);
    Check(dialog, WhenBusy, quiet.WhenBusy != 0);
    Check(dialog, WhenLocked, quiet.WhenLocked != 0);

    SoundSettings& sounds = *param->sounds;
    ::SendDlgItemMessageW(dialog, VolumeBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, FullVolume));
    ::SendDlgItemMessageW(dialog, VolumeBar, TBM_SETTICFREQ, 10, 0);
    ::SendDlgItemMessageW(dialog, VolumeBar, TBM_SETPAGESIZE, 0, 10);
    ::SendDlgItemMessageW(dialog, VolumeBar, TBM_SETPOS, TRUE, sounds.Volume);
    ShowVolume(dialog);
    wchar_t* names[MomentCount];
    Names(sounds, names);
    for (int moment = 0; moment < MomentCount; ++moment) {
        // The limit counts no terminator; the field's text is read with one.
        ::SendDlgItemMessageW(dialog, FirstName + moment, EM_LIMITTEXT, PathUnits - 1, 0);
        ::SetDlgItemTextW(dialog, FirstName + moment, names[moment]);
    }
    Check(dialog, OnTheSecondBox, sounds.OnTheSecond);
    return TRUE;
}

// The reason in the dialog itself and a balloon on the edit, the focus in it;
// the dialog stays open. The balloon alone may never show: it needs common
// controls 6, and many PCs turn balloons off by policy.
void Refuse(HWND dialog, int id, UINT textId) {
    const HWND edit = ::GetDlgItem(dialog, id);
    const AdvancedParam& param = *ParamOf(dialog);
    const ResourceText title = LoadResourceText(param.instance, IDS_TIME_TITLE);
    const ResourceText text = LoadResourceText(param.instance, textId);
    EDITBALLOONTIP balloon{};
    balloon.cbStruct = sizeof balloon;
    balloon.pszTitle = title.text;
    balloon.pszText = text.text;
    balloon.ttiIcon = TTI_ERROR;
    ::SetDlgItemTextW(dialog, RefusalText, text.text);
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&balloon));
}

// The controls into the caller's values; false, and nothing changed, while a
// quiet time is no time of day or the two are equal.
bool ApplyControls(HWND dialog, const AdvancedParam& param) {
    QuietHours hours;
    if (IsChecked(dialog, QuietHoursBox)) {
        hours.startMinute = ReadClockTime(dialog, QuietStart);
        hours.endMinute = ReadClockTime(dialog, QuietEnd);
        const int refused = hours.startMinute < 0 ? QuietStart : hours.endMinute < 0 ? QuietEnd : 0;
        if (refused != 0 || hours.startMinute == hours.endMinute) {
            Refuse(dialog, refused != 0 ? refused : QuietEnd, refused != 0 ? IDS_TIME_FORM : IDS_SAME_TIMES);
            return false;
        }
    }
    QuietSettings& quiet = *param.quiet;
    quiet.Hours = hours;
    quiet.Days = 0;
    for (int day = 0; day < 7; ++day)
        if (IsChecked(dialog, FirstDay + day)) quiet.Days = static_cast<uint8_t>(quiet.Days | (1u << day));
    quiet.WhenBusy = IsChecked(dialog, WhenBusy) ? 1 : 0;
    quiet.WhenLocked = IsChecked(dialog, WhenLocked) ? 1 : 0;

    SoundSettings& sounds = *param.sounds;
    sounds.Volume = VolumeOf(dialog);
    wchar_t* names[MomentCount];
    Names(sounds, names);
    for (int moment = 0; moment < MomentCount; ++moment) {
        ::GetDlgItemTextW(dialog, FirstName + moment, names[moment], PathUnits);
        TakeOffPastedQuotes(names[moment]);
    }
    sounds.OnTheSecond = IsChecked(dialog, OnTheSecondBox);
    return true;
}

// The hour's sound started now so that its mark (or its start) lands on the
// next whole ten seconds of the clock that its lead-in leaves time for.
void Preview(HWND dialog, const AdvancedParam& param) {
    constexpr uint64_t Second = 10'000'000, TenSeconds = 10 * Second;
    wchar_t name[PathUnits];
    MomentSound(dialog, param, 0, name);
    // Read once: the image, with room for the longest wait for its time, gives its mark.
    constexpr uint32_t RoomMs = 11'000;
    ChimeImage image;
    const bool made = name[0] != L'\0' && MakeChimeImage(1, name, VolumeOf(dialog), RoomMs, image);
    const uint64_t lead = made ? ImageMarkMs(image) * uint64_t{10'000} : 0;
    // Half a second to hand the image over before its lead-in begins.
    const uint64_t boundary = (PreciseFileTime() + lead + Second / 2) / TenSeconds * TenSeconds + TenSeconds;
    wchar_t text[PathUnits];
    if (!made || !CanLandOnBoundary(image) || PlayChimeImage(image, boundary) != ImagePlay::Started) {
        FreeChimeImage(image);
        ::LoadStringW(param.instance, IDS_PREVIEW_REFUSED, text, PathUnits);
    } else {
        FILETIME utc{static_cast<DWORD>(boundary), static_cast<DWORD>(boundary >> 32)};
        SYSTEMTIME universal{}, local{};
        ::FileTimeToSystemTime(&utc, &universal);
        ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
        wchar_t* end = AppendTwoDigits(text, local.wHour);
        *end++ = L':';
        end = AppendTwoDigits(end, local.wMinute);
        *end++ = L':';
        end = AppendTwoDigits(end, local.wSecond);
        ::LoadStringW(param.instance, IDS_PREVIEW_AT, end, static_cast<int>(PathUnits - (end - text)));
    }
    ::SetDlgItemTextW(dialog, PreviewText, text);
}

INT_PTR OnCommand(HWND dialog, const AdvancedParam& param, int id) {
    if (id >= FirstBrowse && id < FirstBrowse + MomentCount) {
        BrowseSoundFile(dialog, FirstName + (id - FirstBrowse), param.instance);
        return TRUE;
    }
    if (id >= FirstTest && id < FirstTest + MomentCount) {
        wchar_t name[PathUnits];
        MomentSound(dialog, param, id - FirstTest, name);
        if (name[0] != L'\0') PlayTestChime(name, VolumeOf(dialog));
        return TRUE;
    }
    switch (id) {
    case IDOK:
        if (ApplyControls(dialog, param)) ::EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL: ::EndDialog(dialog, 0); return TRUE;
    case QuietHoursBox: EnableQuietTimes(dialog); return TRUE;
    case PreviewButton: Preview(dialog, param); return TRUE;
    case HelpButton: return ShowHelpPage(dialog, param.instance, L"dialog.html#advanced");
    default: return FALSE;
    }
}

INT_PTR OnHelp(HWND dialog, const AdvancedParam& param, const HELPINFO* help) {
    if (help == nullptr || std::find(std::begin(PopupIds), std::end(PopupIds), help->iCtrlId) == std::end(PopupIds))
        return FALSE;
    const UINT topic = help->iCtrlId == IDOK ? OkTopic : help->iCtrlId == IDCANCEL ? CancelTopic
                                                                                    : static_cast<UINT>(help->iCtrlId);
    return ShowHelpPopup(dialog, param.instance, topic, help->MousePos);
}

INT_PTR CALLBACK AdvancedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, reinterpret_cast<AdvancedParam*>(lParam));
    const AdvancedParam* param = ParamOf(dialog);
    if (param == nullptr) return FALSE;
    switch (message) {
    case WM_HELP: return OnHelp(dialog, *param, reinterpret_cast<const HELPINFO*>(lParam));
    case WM_COMMAND: return OnCommand(dialog, *param, LOWORD(wParam));
    case WM_HSCROLL: ShowVolume(dialog); return TRUE;
    default: return FALSE;
    }
}

} // namespace

bool RunAdvancedDialog(HINSTANCE instance, HWND owner, QuietSettings& quiet, SoundSettings& sounds,
                       const wchar_t* waveName) {
    AdvancedParam param{instance, &quiet, &sounds, waveName};
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ADVANCED), owner, AdvancedDialogProc,
                             reinterpret_cast<LPARAM>(&param)) == 1;
}

} // namespace tolltone
