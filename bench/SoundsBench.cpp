// What the sound keys cost: scaling a chime's samples (natively and under Wine),
// and under Wine the check of the settings file that every chime minute makes,
// against reading the optional keys, which it spares while the file is unchanged.
#include "BestTime.h"
#include "sound/WaveImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#ifdef _WIN32
#include "settings/OptionalSettings.h"

#include <windows.h>
#endif

using namespace tolltone;

namespace {

// Best time of one call in microseconds.
double Microseconds(const std::function<void()>& call, int batch) { return BestTime<std::micro>(call, batch); }

volatile unsigned sink;

// A 16-bit stereo WAV of `seconds` at 44.1 kHz.
std::vector<uint8_t> Wave16(int seconds) {
    const uint32_t data = 44100u * 4u * static_cast<uint32_t>(seconds);
    std::vector<uint8_t> file(44 + data, 0x11);
    const uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a'};
    std::copy(header, header + 40, file.begin());
    for (int i = 0; i < 4; ++i) file[40 + i] = static_cast<uint8_t>(data >> (8 * i));
    return file;
}

} // namespace

int main() {
#ifdef _WIN32
    std::printf("Sound keys in the cross-built shell under Wine\n");
#else
    std::printf("Sound keys in the native core\n");
#endif
    std::printf("\n%-44s %12s\n", "scaling a chime to 50 % (parse + image)", "ms");
    for (int seconds : {2, 10}) {
        const std::vector<uint8_t> file = Wave16(seconds);
        std::vector<uint8_t> image(file.size());
        const double us = Microseconds([&] {
            const WaveLayout layout = ParseWave(file.data(), file.size());
            WriteScaledImage(file.data(), layout, 50, image.data());
            sink = image[100];
        }, 2);
        std::printf("%2d s, 44.1 kHz 16-bit stereo (%7zu bytes)  %12.3f\n", seconds, file.size(), us / 1000.0);
    }
#ifdef _WIN32
    const HMODULE strings = ::LoadLibraryW(L"Tolltone.dll");
    SettingsPath path;
    ::GetTempPathW(PathUnits, path.text);
    ::lstrcatW(path.text, L"tolltone-sounds-bench.ini");
    path.valid = true;
    const char text[] = "[Tolltone]\r\nEnable=1\r\nSignalType=1\r\nInterval=3600\r\nTimeType=0\r\n"
                        "WaveName=C:\\Sounds\\Chime.wav\r\nHourWaveName=C:\\Sounds\\ChimeHour.wav\r\n"
                        "HalfWaveName=C:\\Sounds\\ChimeHalf.wav\r\nQuarterWaveName=C:\\Sounds\\ChimeQuarter.wav\r\n"
                        "Volume=50\r\nQuietDays=Sat,Sun\r\nQuietHours=23:00-07:00\r\n";
    const HANDLE file = ::CreateFileW(path.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, text, sizeof text - 1, &written, nullptr);
    ::CloseHandle(file);

    ChimeSettings settings;
    SettingsFileStamp known;
    RefusedWrite retry;
    RefreshOptionalSettings(path, strings, known, retry, settings);
    const double check = Microseconds([&] { sink = RefreshOptionalSettings(path, strings, known, retry, settings); }, 100);
    const double read = Microseconds([&] { LoadOptionalSettings(ProfileSnapshot(path.text), strings, settings); }, 20);
    std::printf("\n%-44s %12s\n", "per chime minute", "us");
    std::printf("%-44s %12.2f\n", "check of an unchanged file (one stamp query)", check);
    std::printf("%-44s %12.2f\n", "reading the optional keys (after a change)", read);
    ::DeleteFileW(path.text);
#endif
    return 0;
}
