// Fails each system call of the module in turn, one process per case, and
// checks that the user lost nothing: the module's imports (and what it looks
// up at run time) go through wrappers that count the calls and make the chosen
// one return its documented failure; clock, timers and sound are virtual, so a
// whole session (start, migration, the 10:00 strike and three more minutes,
// QM_ lists, portable mode and back, unload) takes a fraction of a second.
//
//   fault_host.exe case SESSION [FUNCTION N [persistent]]   one session; exit 0 when nothing was lost
//   fault_host.exe sweep SESSION [persistent] [every|sample K]  a count run, then each case in a child
// SESSION is plain, migrating, signal (plain, with OnTheSecond=1), recovering (plain, but a crashed
// save left only its complete copy) or foreign (plain, the file in UTF-8 with a mark, read as Windows
// reads it). The sweep prints the cases, the failures and the time.
#include "strings/QmStrings.h"
#include "support/VirtualSession.h"
#include "support/WinTestSupport.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

// ---- the failable functions -------------------------------------------------

struct Failable {
    const char* name;
    void* wrapper;
    void** real;
    int* calls;
};

int TargetCalls = -1;  // index into Rows of the function to fail
int FailAt = 0;
bool Persistent = false;
std::vector<Failable> Rows;

bool ShouldFail(int row) {
    const int n = ++*Rows[static_cast<size_t>(row)].calls;
    return row == TargetCalls && (n == FailAt || (Persistent && n > FailAt));
}

// One wrapper per function: the real call, or its documented failure value and error.
template <int Id, class F>
struct Wrap;
template <int Id, class R, class... A>
struct Wrap<Id, R (*)(A...)> {
    static inline void* real = nullptr;
    static inline int calls = 0;
    static inline int row = -1;
    template <intptr_t Value, DWORD Error>
    static R WINAPI Call(A... a) {
        if (ShouldFail(row)) {
            if (Error != 0) ::SetLastError(Error);
            if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(Value);
            else return static_cast<R>(Value);
        }
        return reinterpret_cast<R (*)(A...)>(real)(a...);
    }
};

template <int Id, class F, intptr_t Value, DWORD Error>
void Row(const char* name) {
    using W = Wrap<Id, F>;
    W::row = static_cast<int>(Rows.size());
    Rows.push_back({name, reinterpret_cast<void*>(&W::template Call<Value, Error>), &W::real, &W::calls});
}
#define FAILS(fn, value, error) Row<__COUNTER__, decltype(&::fn), static_cast<intptr_t>(value), error>(#fn)

extern int QueryRow;
extern void* RealQuery;
extern int QueryCalls;

// The foreign session's file is UTF-8 with a mark, which the module reads as Windows does.
bool AsWindowsReads = false;

void DefineRows() {
    const DWORD denied = ERROR_ACCESS_DENIED;
    const intptr_t invalid = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    FAILS(WritePrivateProfileStringW, FALSE, denied);
    FAILS(CreateFileW, invalid, ERROR_SHARING_VIOLATION);
    FAILS(CreateFileA, invalid, ERROR_SHARING_VIOLATION);
    FAILS(ReadFile, FALSE, ERROR_LOCK_VIOLATION);
    FAILS(WriteFile, FALSE, ERROR_DISK_FULL);
    FAILS(SetEndOfFile, FALSE, ERROR_DISK_FULL);
    FAILS(SetFilePointerEx, FALSE, ERROR_INVALID_PARAMETER);
    FAILS(FlushFileBuffers, FALSE, ERROR_DISK_FULL);
    FAILS(GetFileSize, INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    FAILS(GetFileSizeEx, FALSE, ERROR_INVALID_HANDLE);
    FAILS(GetFileTime, FALSE, ERROR_INVALID_HANDLE);
    FAILS(GetFileInformationByHandle, FALSE, ERROR_INVALID_HANDLE);
    FAILS(GetFinalPathNameByHandleW, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(GetFileAttributesW, INVALID_FILE_ATTRIBUTES, denied);
    FAILS(SetFileAttributesW, FALSE, denied);
    FAILS(SetFileTime, FALSE, denied);
    FAILS(CopyFileW, FALSE, denied);
    FAILS(MoveFileExW, FALSE, ERROR_SHARING_VIOLATION);
    FAILS(DeleteFileW, FALSE, denied);
    FAILS(CreateDirectoryW, FALSE, denied);
    FAILS(CreateDirectoryA, FALSE, denied);
    FAILS(FindFirstFileW, invalid, denied);
    FAILS(FindFirstFileA, invalid, denied);
    FAILS(FindNextFileW, FALSE, denied);
    FAILS(GetCurrentDirectoryW, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(SetCurrentDirectoryW, FALSE, denied);
    FAILS(SetCurrentDirectoryA, FALSE, denied);
    FAILS(ExpandEnvironmentStringsA, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(GetModuleFileNameW, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(GetModuleHandleW, 0, ERROR_MOD_NOT_FOUND);
    FAILS(GetModuleHandleExW, FALSE, ERROR_MOD_NOT_FOUND);
    FAILS(GetProcAddress, 0, ERROR_PROC_NOT_FOUND);
    FAILS(LoadLibraryA, 0, ERROR_MOD_NOT_FOUND);
    FAILS(LoadLibraryExA, 0, ERROR_MOD_NOT_FOUND);
    FAILS(HeapAlloc, 0, 0);
    FAILS(InitOnceExecuteOnce, FALSE, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(MultiByteToWideChar, 0, ERROR_NO_UNICODE_TRANSLATION);
    FAILS(WideCharToMultiByte, 0, ERROR_INSUFFICIENT_BUFFER);
    FAILS(CreateActCtxW, invalid, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(ActivateActCtx, FALSE, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(RegOpenKeyExW, ERROR_ACCESS_DENIED, 0);
    FAILS(RegOpenKeyExA, ERROR_ACCESS_DENIED, 0);
    FAILS(RegCreateKeyExW, ERROR_ACCESS_DENIED, 0);
    FAILS(RegQueryValueExW, ERROR_ACCESS_DENIED, 0);
    FAILS(RegQueryValueExA, ERROR_ACCESS_DENIED, 0);
    FAILS(SHDeleteKeyW, ERROR_ACCESS_DENIED, 0);
    FAILS(SHGetFolderPathW, E_FAIL, 0);
    FAILS(SHQueryUserNotificationState, E_FAIL, 0);
    FAILS(LoadStringW, 0, ERROR_RESOURCE_NAME_NOT_FOUND);
    FAILS(SetTimer, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(SystemTimeToTzSpecificLocalTime, FALSE, ERROR_INVALID_PARAMETER);
    FAILS(FileTimeToSystemTime, FALSE, ERROR_INVALID_PARAMETER);
    FAILS(PlaySoundW, FALSE, 0);
    FAILS(DialogBoxParamW, -1, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(GetOpenFileNameW, FALSE, 0);
    // The sound worker: its work item, its events, its thread handle and its wait.
    FAILS(CreateThreadpoolWork, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(CreateEventW, 0, ERROR_NOT_ENOUGH_MEMORY);
    FAILS(OpenThread, 0, ERROR_ACCESS_DENIED);
    FAILS(WaitForSingleObject, WAIT_FAILED, ERROR_INVALID_HANDLE);
    FAILS(RegGetValueW, ERROR_ACCESS_DENIED, 0);
    FAILS(LoadLibraryExW, 0, ERROR_MOD_NOT_FOUND);
    QueryRow = static_cast<int>(Rows.size());
    Rows.push_back({"NtQueryWnfStateData", nullptr, &RealQuery, &QueryCalls});
}

FARPROC WINAPI LookUp(HMODULE module, LPCSTR name);
void* RealLookUp = nullptr;

// ---- what the module holds: handles, blocks, keys --------------------------

std::map<void*, int> Held;  // handle, block or key -> kind
void* RealCreateFileW = nullptr;
void* RealCloseHandle = nullptr;
void* RealHeapAlloc = nullptr;
void* RealHeapFree = nullptr;
void* RealFindFirstFileW = nullptr;
void* RealFindClose = nullptr;
void* RealRegOpenKeyExW = nullptr;
void* RealRegCreateKeyExW = nullptr;
void* RealRegCloseKey = nullptr;

template <class F>
F As(void* f) { return reinterpret_cast<F>(f); }

HANDLE WINAPI TrackCreateFileW(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
    const HANDLE h = As<decltype(&::CreateFileW)>(RealCreateFileW)(a, b, c, d, e, f, g);
    if (h != INVALID_HANDLE_VALUE) Held[h] = 1;
    return h;
}
BOOL WINAPI TrackCloseHandle(HANDLE h) { Held.erase(h); return As<decltype(&::CloseHandle)>(RealCloseHandle)(h); }
HANDLE WINAPI TrackFindFirstFileW(LPCWSTR a, LPWIN32_FIND_DATAW b) {
    const HANDLE h = As<decltype(&::FindFirstFileW)>(RealFindFirstFileW)(a, b);
    if (h != INVALID_HANDLE_VALUE) Held[h] = 2;
    return h;
}
BOOL WINAPI TrackFindClose(HANDLE h) { Held.erase(h); return As<decltype(&::FindClose)>(RealFindClose)(h); }
std::map<void*, size_t> BlockBytes;
LPVOID WINAPI TrackHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    void* block = As<decltype(&::HeapAlloc)>(RealHeapAlloc)(heap, flags, bytes);
    if (block != nullptr) Held[block] = 3, BlockBytes[block] = bytes;
    return block;
}
BOOL WINAPI TrackHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    Held.erase(block);
    BlockBytes.erase(block);
    return As<decltype(&::HeapFree)>(RealHeapFree)(heap, flags, block);
}
LSTATUS WINAPI TrackRegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
    const LSTATUS result = As<decltype(&::RegOpenKeyExW)>(RealRegOpenKeyExW)(root, path, options, access, key);
    if (result == ERROR_SUCCESS) Held[*key] = 4;
    return result;
}
LSTATUS WINAPI TrackRegCreateKeyExW(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR cls, DWORD options, REGSAM access,
                                    const LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
    const LSTATUS result = As<decltype(&::RegCreateKeyExW)>(RealRegCreateKeyExW)(root, path, reserved, cls, options,
                                                                                access, security, key, disposition);
    if (result == ERROR_SUCCESS) Held[*key] = 4;
    return result;
}
LSTATUS WINAPI TrackRegCloseKey(HKEY key) { Held.erase(key); return As<decltype(&::RegCloseKey)>(RealRegCloseKey)(key); }

// An image handed to the platform is the platform's until a call that stops it
// has returned TRUE (the next sound, or a stop): one left at the unload goes
// with the process. The blocks holding such images, seen outside the fault
// rows, so a refused call counts too.
void* RealPlaySoundW = nullptr;
std::vector<void*> Unstopped;
BOOL WINAPI TrackPlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
    const BOOL started = As<decltype(&::PlaySoundW)>(RealPlaySoundW)(sound, module, flags);
    if (started && (flags & SND_NOSTOP) == 0) Unstopped.clear();
    if (sound != nullptr && (flags & SND_MEMORY) != 0) {
        const auto* at = reinterpret_cast<const BYTE*>(sound);
        for (const auto& [block, bytes] : BlockBytes)
            if (at >= static_cast<const BYTE*>(block) && at < static_cast<const BYTE*>(block) + bytes) Unstopped.push_back(block);
    }
    return started;
}

// Trackers go in first, next to the virtual session; the fault rows wrap
// whatever the table then holds.
void InstallLayers(HMODULE module) {
    VirtualSession::Install(module);
    const struct { const char* name; void* tracker; void** real; } trackers[] = {
        {"CreateFileW", reinterpret_cast<void*>(&TrackCreateFileW), &RealCreateFileW},
        {"CloseHandle", reinterpret_cast<void*>(&TrackCloseHandle), &RealCloseHandle},
        {"FindFirstFileW", reinterpret_cast<void*>(&TrackFindFirstFileW), &RealFindFirstFileW},
        {"FindClose", reinterpret_cast<void*>(&TrackFindClose), &RealFindClose},
        {"HeapAlloc", reinterpret_cast<void*>(&TrackHeapAlloc), &RealHeapAlloc},
        {"HeapFree", reinterpret_cast<void*>(&TrackHeapFree), &RealHeapFree},
        {"RegOpenKeyExW", reinterpret_cast<void*>(&TrackRegOpenKeyExW), &RealRegOpenKeyExW},
        {"RegCreateKeyExW", reinterpret_cast<void*>(&TrackRegCreateKeyExW), &RealRegCreateKeyExW},
        {"RegCloseKey", reinterpret_cast<void*>(&TrackRegCloseKey), &RealRegCloseKey},
    };
    for (const auto& t : trackers) *t.real = PatchImport(module, t.name, t.tracker);
    for (Failable& row : Rows) {
        if (row.wrapper == nullptr) continue;  // looked up at run time
        *row.real = PatchImport(module, row.name, row.wrapper);
    }
    RealLookUp = PatchImport(module, "GetProcAddress", reinterpret_cast<void*>(&LookUp));
    RealPlaySoundW = PatchImport(module, "PlaySoundW", reinterpret_cast<void*>(&TrackPlaySoundW));
}

// What the module looks up at run time fails through a row of its own, behind
// the look-up's row: the do-not-disturb query.
using QueryWnfStateData = LONG(NTAPI*)(const void*, const void*, const void*, ULONG*, void*, ULONG*);
void* RealQuery = nullptr;
int QueryCalls = 0;
int QueryRow = -1;
LONG NTAPI FailingQuery(const void* a, const void* b, const void* c, ULONG* d, void* e, ULONG* f) {
    if (ShouldFail(QueryRow)) return static_cast<LONG>(0xC0000001);  // STATUS_UNSUCCESSFUL
    return reinterpret_cast<QueryWnfStateData>(RealQuery)(a, b, c, d, e, f);
}

FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
    const FARPROC found = As<decltype(&::GetProcAddress)>(RealLookUp)(module, name);
    if (found == nullptr || reinterpret_cast<uintptr_t>(name) <= 0xFFFF || std::string(name) != "NtQueryWnfStateData")
        return found;
    RealQuery = reinterpret_cast<void*>(found);
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FailingQuery));
}

// ---- the session -------------------------------------------------------------

struct Places {
    std::wstring root, appData, quiver, host, perUserFile, portableFile, wave;
    std::wstring registryRoot;
};

// Wine hands a process id out again soon: whatever a case that failed left in
// its folders goes before the next case of that id starts.
void ClearFiles(const Places& p) {
    for (const std::wstring& folder : {p.root, p.quiver, p.host}) {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring file = folder + L"\\" + found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(file.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
}

Places MakePlaces() {
    Places p;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    p.root = std::wstring(temp) + L"tolltone-faults-" + std::to_wstring(::GetCurrentProcessId());
    p.appData = p.root + L"\\appdata";
    p.quiver = p.appData + L"\\Norvex\\Quiver";
    p.host = p.root + L"\\host";
    p.perUserFile = p.quiver + L"\\Tolltone.ini";
    p.portableFile = p.host + L"\\Tolltone.ini";
    p.wave = p.root + L"\\stroke.wav";
    p.registryRoot = L"Software\\TolltoneFaults\\" + std::to_wstring(::GetCurrentProcessId());
    return p;
}

std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

constexpr int StrokeBytes = 1568;      // the data of stroke.wav
constexpr int StrokeSample = 0x1010;   // each of its samples
const char* OtherBefore = "[Before]\r\nkey=value one\r\n\r\n";
const char* OtherAfter = "[After]\r\nx=1\r\ny=two\r\n";
const char* Optional = "Volume=50\r\nQuietWhenBusy=1\r\n";
bool OnTheSecond = false;  // the "signal" session: the plain one with the chime on the second

struct FiveValues {
    std::string enable, signal, interval, time, wave;
    bool operator==(const FiveValues&) const = default;
};

std::string Section(const FiveValues& v) {
    return "[Tolltone]\r\nEnable=" + v.enable + "\r\nSignalType=" + v.signal + "\r\nInterval=" + v.interval +
           "\r\nTimeType=" + v.time + "\r\nWaveName=" + v.wave + "\r\n" + Optional +
           (OnTheSecond ? "OnTheSecond=1\r\n" : "") + "\r\n";
}

// The text of one section as it stands in the file, header to the next header,
// without the blank lines after it (Wine's profile functions drop those when
// they rewrite a file).
std::string SectionText(const std::string& file, const std::string& name) {
    const size_t at = file.find("[" + name + "]");
    if (at == std::string::npos) return {};
    const size_t end = file.find("\r\n[", at);
    std::string text = file.substr(at, end == std::string::npos ? std::string::npos : end + 2 - at);
    while (text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0) text.resize(text.size() - 2);
    return text;
}

std::string Value(const std::string& section, const std::string& key) {
    const size_t at = section.find("\r\n" + key + "=");
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + key.size() + 3;
    return section.substr(start, section.find("\r\n", start) - start);
}

int Failures = 0;
void Expect(bool ok, const std::string& what) {
    if (ok) return;
    ++Failures;
    std::printf("  lost: %s\n", what.c_str());
}

// An existing settings file must hold one whole set of values, the optional
// keys, and every other section byte for byte, in ANSI as it was.
const std::string Utf8Mark = "\xEF\xBB\xBF";
std::string Stored;  // the settings file as the case began

void CheckSettingsFile(const std::wstring& path, const std::vector<FiveValues>& allowed) {
    const std::string bytes = ReadBytes(path);
    // A file still in UTF-8 was never turned: nothing may have been written into
    // it, and only a call that fails for good may keep it from being turned.
    if (bytes.rfind(Utf8Mark, 0) == 0) {
        Expect(bytes == Stored, "a UTF-8 file was changed");
        Expect(Persistent, "the UTF-8 file was never turned");
        return;
    }
    Expect(bytes.rfind("\xFF\xFE", 0) != 0, "the ANSI file turned UTF-16");
    Expect(SectionText(bytes, "Before") == SectionText(OtherBefore, "Before"), "[Before] changed");
    Expect(SectionText(bytes, "After") == SectionText(OtherAfter, "After"), "[After] changed");
    const std::string ours = SectionText(bytes, "Tolltone");
    const FiveValues found{Value(ours, "Enable"), Value(ours, "SignalType"), Value(ours, "Interval"),
                           Value(ours, "TimeType"), Value(ours, "WaveName")};
    bool known = false;
    for (const FiveValues& v : allowed) known = known || v == found;
    Expect(known, "the five values are " + found.enable + "," + found.signal + "," + found.interval + "," + found.time);
    Expect(Value(ours, "Volume") == "50" && Value(ours, "QuietWhenBusy") == "1" &&
               Value(ours, "OnTheSecond") == (OnTheSecond ? "1" : "<missing>"),
           "an optional key changed");
}

bool NoStagingCopies(const std::wstring& folder) {
    for (const wchar_t* pattern : {L"\\Tolltone.*.tmp", L"\\Tolltone.*.new"}) {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW((folder + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        std::printf("  left: %ls\n", found.cFileName);
        ::FindClose(search);
        return false;
    }
    return true;
}

template <class F>
F Export(HMODULE module, const char* name) { return Entry<F>(module, name); }

int RunCase(const std::string& session) {
    const bool migrating = session == "migrating", recovering = session == "recovering";
    const Places places = MakePlaces();
    for (const std::wstring& folder : {places.root, places.appData, places.appData + L"\\Norvex", places.quiver, places.host})
        ::CreateDirectoryW(folder.c_str(), nullptr);
    ClearFiles(places);
    // Registry of this process's own: HKCU and HKLM lead to keys of the case.
    HKEY user = nullptr, machine = nullptr;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, places.registryRoot.c_str());  // an earlier case of this id
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (places.registryRoot + L"\\user").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user, nullptr);
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (places.registryRoot + L"\\machine").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine, nullptr);
    ::RegOverridePredefKey(HKEY_CURRENT_USER, user);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);

    // The foreign session names its sound by a scheme event of the case's own
    // user key: the look-up and the expansion are swept as well.
    std::string wave = Ascii(places.wave);
    if (AsWindowsReads) {
        const std::wstring file = L"%TOLLTONE_SWEEP%\\" + places.wave.substr(places.wave.rfind(L'\\') + 1);
        ::SetEnvironmentVariableW(L"TOLLTONE_SWEEP", places.wave.substr(0, places.wave.rfind(L'\\')).c_str());
        ::RegSetKeyValueW(user, L"AppEvents\\Schemes\\Apps\\.Default\\TolltoneSweep\\.Current", nullptr, REG_EXPAND_SZ,
                          file.c_str(), static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
        wave = "TolltoneSweep";
    }
    const FiveValues fileValues{"1", "1", "60", "0", wave};
    const FiveValues registryValues{"1", "0", "900", "1", wave + ".old"};
    WriteBytes(places.wave, WaveOf(PcmFormat(), std::string(StrokeBytes, '\x10')));
    // In UTF-8, ours is the first section: the one Windows would miss behind the mark.
    Stored = AsWindowsReads ? Utf8Mark + Section(fileValues) + OtherBefore + OtherAfter
                            : std::string(OtherBefore) + Section(fileValues) + OtherAfter;
    const std::wstring copy = places.quiver + L"\\Tolltone.1a-2b.new";
    WriteBytes(recovering ? copy : places.perUserFile, Stored);
    const std::wstring legacy = L"Software\\Orvane\\Tolltone";
    if (migrating) {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, legacy.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const struct { const wchar_t* name; DWORD value; } numbers[] = {{L"Enable", 1}, {L"SignalType", 0}, {L"Interval", 900}, {L"TimeType", 1}};
        for (const auto& n : numbers) ::RegSetValueExW(key, n.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n.value), 4);
        const std::wstring old = places.wave + L".old";
        ::RegSetValueExW(key, L"WaveName", 0, REG_SZ, reinterpret_cast<const BYTE*>(old.c_str()), static_cast<DWORD>((old.size() + 1) * 2));
        ::RegCloseKey(key);
    }

    const UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    HMODULE module = ::LoadLibraryW(ModulePath().c_str());
    if (module == nullptr) return 2;
    VirtualSession::appData = places.appData;
    VirtualSession::hostPath = places.host + L"\\Quiver.exe";
    InstallLayers(module);

    VirtualSession::nowMs = VirtualSession::At(9, 59, 50);
    Export<void(WINAPI*)(HWND)>(module, "SetParentWindow")(window.Get());
    Export<int(WINAPI*)(int)>(module, "InitialLoad")(0);
    Export<int(WINAPI*)()>(module, "StartModule")();
    VirtualSession::RunUntil(VirtualSession::At(10, 3, 10));

    StrListW split{};
    const int splitResult = Export<int(WINAPI*)(const wchar_t*, wchar_t, StrListW*)>(module, "QM_StringSplitW")(L"a,b,c", L',', &split);
    Expect(splitResult == 1 ? split.Count == 3 && std::wstring(split.Items[2]) == L"c" : splitResult == 0 && split.Count == 0 && split.Items == nullptr,
           "QM_StringSplitW gave a wrong list");
    Export<void(WINAPI*)(StrListW*)>(module, "QM_DeleteStrListW")(&split);
    StrListW files{};
    const int filesResult = Export<int(WINAPI*)(const wchar_t*, int, StrListW*)>(module, "QM_GetComnSelectFilesW")(L"C:\\d\0a\0b\0", 9, &files);
    Expect(filesResult == 2 ? std::wstring(files.Items[1]) == L"C:\\d\\b" : filesResult <= 0 && files.Count == 0,
           "QM_GetComnSelectFilesW gave a wrong list");
    Export<void(WINAPI*)(StrListW*)>(module, "QM_DeleteStrListW")(&files);

    // Each minute strikes all its strokes or none, never fewer, and never louder
    // than its volume: a sound the platform refused is not asked for again at
    // full volume or by name. The last sound asked for in a minute is the one
    // heard (a new one stops the one before).
    for (int minute = 0; minute <= 3; ++minute) {
        int strokes = 0, peak = 0, asked = 0;
        bool byName = false;
        for (const SoundCall& call : VirtualSession::sounds) {
            if ((call.atMs - VirtualSession::At(9, 59, 30)) / 60000 != minute) continue;
            const bool image = (call.flags & SND_MEMORY) != 0;
            if (!image && call.name.empty()) {  // a stop: what comes after it is heard alone
                asked = 0;
                continue;
            }
            ++asked;
            byName = byName || !image;
            strokes = image ? static_cast<int>((call.soundingBytes + StrokeBytes - 1) / StrokeBytes) : 1;
            if (call.peak > peak) peak = call.peak;
        }
        const std::string when = "10:0" + std::to_string(minute);
        const bool once = migrating && minute == 0 && strokes == 1;  // the old key's chime once an interval
        // With the string table failing for good, the optional keys' names are
        // unknown: the module plays as without them, at full volume.
        const bool volumeUnknown = Persistent && TargetCalls >= 0 && std::string(Rows[TargetCalls].name) == "LoadStringW";
        Expect(volumeUnknown || peak <= StrokeSample * 50 / 100, when + " sounded louder than Volume=50");
        // A name plays at the file's own volume: louder than Volume=50 too.
        Expect(volumeUnknown || once || !byName, when + " played by name, louder than Volume=50");
        Expect(asked <= 1, when + " asked for its sound " + std::to_string(asked) + " times, with no stop between");
        Expect(strokes == 0 || strokes == 10 || once, when + " struck " + std::to_string(strokes));
        // Without a failing call every minute sounds as its values say (the old
        // key's once an interval): a silent session proves nothing.
        const int expected = migrating ? (minute == 0 ? 1 : 0) : 10;
        Expect(TargetCalls >= 0 || strokes == expected, when + " struck " + std::to_string(strokes) + " with no call failing");
    }
    Export<int(WINAPI*)(int)>(module, "ChangePortableMode")(1);
    Export<int(WINAPI*)(int)>(module, "ChangePortableMode")(0);
    VirtualSession::RunUntil(VirtualSession::At(10, 4, 30));  // the last chime has ended
    // One failed call never leaves the module silent for the rest of the session,
    // nor with its settings unread.
    Expect(Persistent || !VirtualSession::timers.empty(), "no chime timer is armed: the module fell silent");
    Expect(Persistent || Export<int(WINAPI*)()>(module, "IsModuleEnable")() == 1, "the settings were never read");
    ::FreeLibrary(module);

    const bool keyLeft = [&] {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, legacy.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        ::RegCloseKey(key);
        return true;
    }();
    std::vector<FiveValues> allowed = {fileValues};
    if (migrating) allowed.push_back(registryValues);
    const bool perUser = FileExists(places.perUserFile), portable = FileExists(places.portableFile);
    // Only a copy that could never be moved may stand for the file, as it was.
    const bool copyKept = recovering && !perUser && !portable && ReadBytes(copy) == Stored;
    Expect(perUser || portable || (Persistent && copyKept), "no settings file is left");
    if (perUser) CheckSettingsFile(places.perUserFile, allowed);
    if (portable) CheckSettingsFile(places.portableFile, allowed);
    if (migrating && !keyLeft) {
        const std::string saved = ReadBytes(perUser ? places.perUserFile : places.portableFile);
        Expect(Value(SectionText(saved, "Tolltone"), "Interval") == "900", "the old key is gone before its values were saved");
    }
    if (copyKept) ::DeleteFileW(copy.c_str());  // the one copy that may stay
    Expect(NoStagingCopies(places.quiver) && NoStagingCopies(places.host), "a staging copy was left");
    Expect(VirtualSession::timers.empty(), "a timer was left");
    size_t imagesLeft = 0;
    for (void* block : Unstopped) imagesLeft += Held.erase(block);
    Expect(imagesLeft <= 4, std::to_string(imagesLeft) + " images were left to the platform");
    Expect(Held.empty(), std::to_string(Held.size()) + " handles, blocks or keys were left");

    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(user);
    ::RegCloseKey(machine);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, places.registryRoot.c_str());
    ClearFiles(places);
    for (const std::wstring& folder : {places.host, places.quiver, places.appData + L"\\Norvex", places.appData, places.root})
        ::RemoveDirectoryW(folder.c_str());
    return Failures == 0 ? 0 : 1;
}

// ---- the sweep ---------------------------------------------------------------

const char SessionRan[] = "session ran";  // a child's last line

// Through a file, not a pipe: a child that hangs must not hold the sweep in a read.
int RunChild(const std::wstring& arguments, std::string& output) {
    wchar_t self[MAX_PATH] = {}, temp[MAX_PATH] = {}, log[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::GetTempPathW(MAX_PATH, temp);
    ::GetTempFileNameW(temp, L"flt", 0, log);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = ::CreateFileW(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    const DWORD startError = ::GetLastError();
    ::CloseHandle(out);
    if (!started) {
        ::DeleteFileW(log);
        output = "  CreateProcessW failed, error " + std::to_string(startError) + "\n";
        return -1;
    }
    DWORD code = 0;
    if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 3);
        ::WaitForSingleObject(process.hProcess, 5000);
        code = 0xDEAD;
    } else {
        ::GetExitCodeProcess(process.hProcess, &code);
    }
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    output = ReadBytes(log);
    ::DeleteFileW(log);
    return static_cast<int>(code);
}

// A child's verdict. Now and then Wine's CreateProcessW fails, or a child ends
// at once with exit code 0 and nothing written (seen once each in some 5,000
// starts): a child that never ran its session is started once more (counted in
// restarted), and -1 when that one did not run it either.
int RunSession(const std::wstring& arguments, std::string& output, int& restarted) {
    for (int attempt = 0;; ++attempt) {
        const int code = RunChild(arguments, output);
        const bool ran = code != -1 && (code != 0 || output.find(SessionRan) != std::string::npos);
        if (ran || attempt == 1) return ran ? code : -1;
        std::printf("restarted: %ls\n%s", arguments.c_str(), output.c_str());
        ++restarted;
    }
}

int Sweep(const std::string& session, bool persistent, int sample) {
    const auto started = std::chrono::steady_clock::now();
    std::string counted;
    const std::wstring wideSession(session.begin(), session.end());
    int restarted = 0;
    if (RunSession(L"case " + wideSession + L" count", counted, restarted) != 0) {
        std::printf("the session without faults failed:\n%s", counted.c_str());
        return 1;
    }
    std::vector<std::pair<std::string, int>> cases;
    for (size_t at = 0; (at = counted.find("count ", at)) != std::string::npos; ++at) {
        char name[64] = {};
        int calls = 0;
        if (std::sscanf(counted.c_str() + at, "count %63s %d", name, &calls) == 2)
            for (int n = 1; n <= calls; ++n) cases.emplace_back(name, n);
    }
    // A sample keeps each function's first and last call and spreads the rest.
    std::vector<std::pair<std::string, int>> chosen;
    for (size_t i = 0; i < cases.size(); ++i) {
        const bool edge = i == 0 || cases[i].second == 1 || i + 1 == cases.size() || cases[i + 1].first != cases[i].first;
        if (sample <= 0 || edge || (i * 7919) % cases.size() < static_cast<size_t>(sample)) chosen.push_back(cases[i]);
    }
    const auto verdict = [](int code) {
        return code == 1 ? "settings or resources lost"
               : code == 0xDEAD ? "hung"
               : code == -1     ? "never ran its session"
                                : "crashed or ended";
    };
    int failures = 0;
    for (const auto& [name, n] : chosen) {
        std::string output;
        const std::wstring wideName(name.begin(), name.end());
        const std::wstring arguments =
            L"case " + wideSession + L" " + wideName + L" " + std::to_wstring(n) + (persistent ? L" persistent" : L"");
        const int code = RunSession(arguments, output, restarted);
        if (code == 0) continue;
        ++failures;
        std::printf("FAIL %s call %d%s: %s (exit 0x%X)\n%s", name.c_str(), n, persistent ? " and later" : "",
                    verdict(code), static_cast<unsigned>(code), output.c_str());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("fault sweep (%s%s): %zu of %zu cases run, %d failed, %d restarted, %.1f s\n", session.c_str(),
                persistent ? ", persistent" : "", chosen.size(), cases.size(), failures, restarted, seconds);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string session = argc > 2 ? argv[2] : "plain";
    if (session != "plain" && session != "migrating" && session != "signal" && session != "recovering" &&
        session != "foreign")
        return 64;
    OnTheSecond = session == "signal";
    AsWindowsReads = session == "foreign";
    DefineRows();
    if (mode == "sweep") {
        const bool persistent = argc > 3 && std::string(argv[3]) == "persistent";
        const int first = persistent ? 4 : 3;
        const int sample = argc > first + 1 && std::string(argv[first]) == "sample" ? std::atoi(argv[first + 1]) : 0;
        return Sweep(session, persistent, sample);
    }
    if (mode != "case") return 64;
    const bool counting = argc > 3 && std::string(argv[3]) == "count";
    if (argc > 4) {
        for (size_t i = 0; i < Rows.size(); ++i)
            if (std::string(Rows[i].name) == argv[3]) TargetCalls = static_cast<int>(i);
        FailAt = std::atoi(argv[4]);
        Persistent = argc > 5 && std::string(argv[5]) == "persistent";
    }
    const int result = RunCase(session);
    if (counting)
        for (const Failable& row : Rows)
            if (*row.calls > 0) std::printf("count %s %d\n", row.name, *row.calls);
    std::printf("%s\n", SessionRan);
    std::fflush(stdout);
    return result;
}
