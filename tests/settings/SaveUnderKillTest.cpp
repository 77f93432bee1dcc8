// Kills a process at random moments while it saves the settings file, over and
// over, and checks after every kill that the file is whole: every key of every
// section, ours and other programs'.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <vector>
#include <sstream>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

constexpr int OtherSections = 300;  // large enough that a rewrite takes a while
constexpr int KeysPerSection = 4;

std::wstring OtherValue(int section, int key) {
    return L"value " + std::to_wstring(section) + L"." + std::to_wstring(key);
}

std::string LargeFile() {
    std::ostringstream file;
    file << "; settings shared with other programs\r\n";
    for (int s = 0; s < OtherSections; ++s) {
        file << "[Other" << s << "]\r\n";
        for (int k = 0; k < KeysPerSection; ++k) file << "Key" << k << "=value " << s << "." << k << "\r\n";
    }
    file << "[Tolltone]\r\nEnable=1\r\nSignalType=0\r\nInterval=60\r\nTimeType=0\r\nWaveName=a.wav\r\n"
            "QuietHours=23:00-07:00\r\n";
    return file.str();
}

using Sections = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

Sections Parse(const std::wstring& text) {
    Sections sections;
    std::wstring section;
    std::wistringstream lines(text);
    for (std::wstring line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
        } else if (const size_t eq = line.find(L'='); eq != std::wstring::npos) {
            sections[section][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return sections;
}

bool IsWhole(const Sections& sections) {
    for (int s = 0; s < OtherSections; ++s) {
        const auto found = sections.find(L"Other" + std::to_wstring(s));
        if (found == sections.end()) return false;
        for (int k = 0; k < KeysPerSection; ++k) {
            const auto value = found->second.find(L"Key" + std::to_wstring(k));
            if (value == found->second.end() || value->second != OtherValue(s, k)) return false;
        }
    }
    const auto ours = sections.find(L"Tolltone");
    if (ours == sections.end()) return false;
    for (const wchar_t* key : {L"Enable", L"SignalType", L"Interval", L"TimeType", L"WaveName", L"QuietHours"})
        if (ours->second.count(key) == 0) return false;
    return true;
}

} // namespace

// Two programs load and unload the module on one file, each saving at every
// load and unload, while a third reads it as an editor would (sharing reading
// and writing, not deletion): every read finds every section, and no staging
// copy is left.
TEST(SaveUnderKill, TwoSaversOfOneFileKeepEverySection) {
    const std::wstring file = ExecutableDirectory() + L"\\Tolltone.ini";
    const std::string saved = ReadBytes(file);
    const bool hadFile = FileExists(file);
    ASSERT_TRUE(WriteBytes(file, LargeFile()));
    std::vector<PROCESS_INFORMATION> savers(2);
    for (PROCESS_INFORMATION& saver : savers) {
        std::wstring command = L"\"" + ExecutableDirectory() + L"\\load_cycles.exe\" --churn 8";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &saver));
    }
    int reads = 0, broken = 0, refused = 0;
    while (::WaitForSingleObject(savers[1].hProcess, 0) == WAIT_TIMEOUT ||
           ::WaitForSingleObject(savers[0].hProcess, 0) == WAIT_TIMEOUT) {
        const UniqueKernelHandle held = AdoptFileHandle(::CreateFileW(
            file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        // Wine refuses an open that meets a rename half done (invalid parameter);
        // that is a read to try again, unlike a file that is not there.
        const DWORD openError = held ? ERROR_SUCCESS : ::GetLastError();
        if (openError != ERROR_SUCCESS && openError != ERROR_FILE_NOT_FOUND) {
            ++refused;
            ::Sleep(1);
            continue;
        }
        std::string bytes(static_cast<size_t>(held ? ::GetFileSize(held.Get(), nullptr) : 0), '\0');
        DWORD read = 0;
        if (held && !bytes.empty()) ::ReadFile(held.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        ++reads;
        broken += IsWhole(Parse(DecodeProfile(bytes))) ? 0 : 1;
        ::Sleep(10);
    }
    for (PROCESS_INFORMATION& saver : savers) {
        DWORD exitCode = 1;
        ::GetExitCodeProcess(saver.hProcess, &exitCode);
        EXPECT_EQ(exitCode, 0u) << "a saver's load or entry point failed";
        ::CloseHandle(saver.hProcess);
        ::CloseHandle(saver.hThread);
    }
    const bool wholeAtEnd = IsWhole(Parse(DecodeProfile(ReadBytes(file))));
    std::wstring leftover;
    for (const wchar_t* pattern : {L"\\Tolltone.*.tmp", L"\\Tolltone.*.new"}) {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW((ExecutableDirectory() + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        leftover += found.cFileName;
        ::FindClose(search);
    }
    if (hadFile) WriteBytes(file, saved);
    else ::DeleteFileW(file.c_str());

    std::printf("reads while two programs saved: %d, broken: %d, opens refused: %d\n", reads, broken, refused);
    EXPECT_GT(reads, 50);
    EXPECT_EQ(broken, 0);
    EXPECT_TRUE(wholeAtEnd);
    EXPECT_EQ(leftover, L"") << "a staging copy was left behind";
}

TEST(SaveUnderKill, EveryKillLeavesTheWholeFile) {
    const bool inPlace = std::getenv("TOLLTONE_SAVE_IN_PLACE") != nullptr;  // measures the old way
    TempFolder folder(L"tolltone-kill");
    const std::wstring file = folder.File(L"Tolltone.ini");
    ASSERT_TRUE(WriteBytes(file, LargeFile()));
    const std::wstring eventName = L"tolltone-saver-ready-" + std::to_wstring(::GetCurrentProcessId());
    const UniqueKernelHandle ready(::CreateEventW(nullptr, FALSE, FALSE, eventName.c_str()));
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayMs(0, 150);

    constexpr int Kills = 120;
    int broken = 0, utf16 = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        const int phase = kill < Kills / 2 ? 0 : 1;  // ANSI names, then names that need UTF-16
        std::wstring command = L"\"" + ExecutableDirectory() + L"\\SettingsSaver.exe\" \"" + file + L"\" " +
                               eventName + L" " + std::to_wstring(phase) + (inPlace ? L" --in-place" : L"");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &process));
        const UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
        ASSERT_EQ(::WaitForSingleObject(ready.Get(), 20000), WAIT_OBJECT_0) << "the saver started";
        ::Sleep(static_cast<DWORD>(delayMs(random)));
        ::TerminateProcess(processHandle.Get(), 9);
        ::WaitForSingleObject(processHandle.Get(), 20000);

        const std::string bytes = ReadBytes(file);
        utf16 += IsUtf16File(bytes) ? 1 : 0;
        if (!IsWhole(Parse(DecodeProfile(bytes)))) {
            ++broken;
            ASSERT_TRUE(WriteBytes(file, LargeFile()));  // go on from a whole file
        }
    }
    std::printf("kills: %d, broken files: %d, UTF-16 after the kill: %d%s\n", Kills, broken, utf16,
                inPlace ? " (in-place saves)" : "");
    if (!inPlace) {
        EXPECT_EQ(broken, 0);
        EXPECT_GT(utf16, 0) << "the second half's names turned the file UTF-16";
    }
}
