// Saves the settings file in a loop until killed, for the kill test.
//   SettingsSaver.exe FILE READY_EVENT PHASE [--in-place]
// PHASE 0 alternates names that every code page holds, PHASE 1 names that need
// UTF-16. --in-place writes the keys straight into the file, as saves once did,
// to measure what the kill test finds without the replacing save.
#include "settings/SettingsFile.h"
#include "support/WinTestSupport.h"

#include <cwchar>

using namespace tolltone;

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    SettingsPath path;
    std::wcsncpy(path.text, argv[1], PathUnits - 1);
    path.valid = true;
    const bool inPlace = argc > 4 && std::wcscmp(argv[4], L"--in-place") == 0;
    const wchar_t* names[2][2] = {{L"C:\\Sounds\\bell.wav", L"C:\\Sounds\\gong.wav"},
                                  {L"C:\\音\\\U0001F514.wav", L"C:\\Users\\José\\鐘.wav"}};
    const int phase = std::wcscmp(argv[3], L"1") == 0 ? 1 : 0;

    const UniqueModule strings = fakes::LoadTolltone();
    const UniqueKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    if (!strings || !ready) return 1;
    ::SetEvent(ready.Get());
    ChimeSettings settings;
    for (unsigned round = 0;; ++round) {
        std::wcscpy(settings.WaveName, names[phase][round % 2]);
        settings.Interval = static_cast<int32_t>(60 * (round % 60 + 1));
        if (!inPlace) {
            SaveSettings(path, strings.Get(), settings);
            continue;
        }
        wchar_t interval[16];
        std::swprintf(interval, 16, L"%d", settings.Interval);
        ::WritePrivateProfileStringW(L"Tolltone", L"Interval", interval, path.text);
        ::WritePrivateProfileStringW(L"Tolltone", L"WaveName", settings.WaveName, path.text);
    }
}
