#include "settings/ProfileEncoding.h"

#include "base/ModuleHeap.h"
#include "win32/UniqueHandle.h"

#include <cstring>
#include <cwchar>

namespace tolltone {
namespace {

constexpr unsigned char Utf16Mark[] = {0xFF, 0xFE};
constexpr unsigned char Utf16BigEndianMark[] = {0xFE, 0xFF};
constexpr unsigned char Utf8Mark[] = {0xEF, 0xBB, 0xBF};

// Code pages for which WideCharToMultiByte takes no flags, and those for which it
// cannot report a default character.
bool TakesNoFlags(UINT codePage) {
    return codePage == 42 || (codePage >= 50220 && codePage <= 50229) || codePage == 54936 ||
           (codePage >= 57002 && codePage <= 57011) || codePage == CP_UTF7 || codePage == CP_UTF8;
}
bool ReportsNoDefault(UINT codePage) { return codePage == CP_UTF7 || codePage == CP_UTF8; }

bool StartsWith(const unsigned char* bytes, DWORD size, const unsigned char* mark, DWORD markSize) {
    return size >= markSize && std::memcmp(bytes, mark, markSize) == 0;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return size == 0 || (::WriteFile(file, data, size, &written, nullptr) && written == size);
}

} // namespace

bool AnsiCodePageHolds(const wchar_t* text) {
    const UINT codePage = ::GetACP();
    const DWORD flags = TakesNoFlags(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = ReportsNoDefault(codePage) ? nullptr : &usedDefault;
    const int bytes = ::WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (bytes <= 0) return false;
    const HeapArray<char> narrow(static_cast<size_t>(bytes));
    if (!narrow) return false;
    ::WideCharToMultiByte(codePage, flags, text, -1, narrow.get(), bytes, nullptr, usedDefaultOut);
    if (usedDefault) return false;
    // The way back must give the same text: some code pages map without a
    // default character yet not one to one.
    const int units = ::MultiByteToWideChar(codePage, 0, narrow.get(), bytes, nullptr, 0);
    const HeapArray<wchar_t> wide(static_cast<size_t>(units > 0 ? units : 1));
    if (units <= 0 || !wide) return false;
    ::MultiByteToWideChar(codePage, 0, narrow.get(), bytes, wide.get(), units);
    return std::wcscmp(wide.get(), text) == 0;
}

bool ConvertProfileToUtf16(const wchar_t* path) {
    const UniqueKernelHandle file = AdoptFileHandle(
        ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x3FFFFFFF) return false;
    const DWORD byteCount = static_cast<DWORD>(size.QuadPart);
    const HeapArray<unsigned char> bytes(byteCount + 1u);
    if (!bytes) return false;
    DWORD read = 0;
    if (byteCount > 0 && (!::ReadFile(file.Get(), bytes.get(), byteCount, &read, nullptr) || read != byteCount))
        return false;
    if (StartsWith(bytes.get(), byteCount, Utf16Mark, sizeof Utf16Mark)) return true;
    LARGE_INTEGER start{};
    if (StartsWith(bytes.get(), byteCount, Utf16BigEndianMark, sizeof Utf16BigEndianMark)) {
        // UTF-16 with the other byte order: the same text, turned little-endian,
        // never taken for ANSI bytes.
        const DWORD pairs = byteCount / 2;
        for (DWORD i = 0; i < pairs; ++i) {
            const unsigned char high = bytes.get()[2 * i];
            bytes.get()[2 * i] = bytes.get()[2 * i + 1];
            bytes.get()[2 * i + 1] = high;
        }
        return ::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()) &&
               WriteAll(file.Get(), bytes.get(), pairs * 2);
    }

    // A UTF-8 mark is read as UTF-8, as the platform's profile functions do where
    // they know it; anything else is ANSI, as they read it.
    const bool utf8 = StartsWith(bytes.get(), byteCount, Utf8Mark, sizeof Utf8Mark);
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const char* text = reinterpret_cast<const char*>(bytes.get()) + (utf8 ? sizeof Utf8Mark : 0);
    const int textBytes = static_cast<int>(byteCount - (utf8 ? sizeof Utf8Mark : 0));
    const int units = textBytes > 0 ? ::MultiByteToWideChar(codePage, 0, text, textBytes, nullptr, 0) : 0;
    if (textBytes > 0 && units <= 0) return false;
    const HeapArray<wchar_t> wide(static_cast<size_t>(units) + 1u);
    if (!wide) return false;
    if (units > 0) ::MultiByteToWideChar(codePage, 0, text, textBytes, wide.get(), units);

    return ::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()) &&
           WriteAll(file.Get(), Utf16Mark, sizeof Utf16Mark) &&
           WriteAll(file.Get(), wide.get(), static_cast<DWORD>(units) * sizeof(wchar_t));
}

} // namespace tolltone
