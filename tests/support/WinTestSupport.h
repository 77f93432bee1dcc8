#pragma once
// Helpers of the tests that run under Wine: the built module, files, folders.
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace tolltone::fakes {

inline std::wstring ExecutableDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    return directory.substr(0, directory.find_last_of(L'\\'));
}

// The built module, beside the test executables.
inline std::wstring ModulePath() { return ExecutableDirectory() + L"\\Tolltone.dll"; }

inline UniqueModule LoadTolltone() { return UniqueModule(::LoadLibraryW(ModulePath().c_str())); }

template <class Function>
Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

inline bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path) {
    const UniqueKernelHandle file = AdoptFileHandle(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes(static_cast<size_t>(::GetFileSize(file.Get(), nullptr)), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    const UniqueKernelHandle file =
        AdoptFileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

inline bool IsUtf16File(const std::string& bytes) { return bytes.rfind("\xFF\xFE", 0) == 0; }

// A settings file's text as the profile functions read it: UTF-16LE after a
// byte-order mark, else the ANSI code page.
inline std::wstring DecodeProfile(const std::string& bytes) {
    if (IsUtf16File(bytes)) return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
    return text;
}

// A folder of its own below the temp folder, named with the process id, removed
// with its files at the end.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* name) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + name + L"-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline std::wstring AppDataFolder() {
    wchar_t appData[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    return appData;
}

// The per-user settings file; keeps whatever stood there and puts it back.
class PerUserSettingsFile {
public:
    PerUserSettingsFile() {
        const std::wstring maker = AppDataFolder() + L"\\Norvex";
        ::CreateDirectoryW(maker.c_str(), nullptr);
        ::CreateDirectoryW((maker + L"\\Quiver").c_str(), nullptr);
        path_ = maker + L"\\Quiver\\Tolltone.ini";
        hadFile_ = FileExists(path_);
        saved_ = ReadBytes(path_);
        ::DeleteFileW(path_.c_str());
    }
    ~PerUserSettingsFile() {
        ::DeleteFileW(path_.c_str());
        if (hadFile_) WriteBytes(path_, saved_);
    }
    PerUserSettingsFile(const PerUserSettingsFile&) = delete;
    PerUserSettingsFile& operator=(const PerUserSettingsFile&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    std::string saved_;
    bool hadFile_ = false;
};

} // namespace tolltone::fakes
