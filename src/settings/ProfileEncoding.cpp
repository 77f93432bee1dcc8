#include "settings/ProfileEncoding.h"

#include "base/ModuleHeap.h"
#include "settings/Utf8Check.h"
#include "win32/UniqueHandle.h"

#include <algorithm>
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

AnsiFit FitAnsiCodePage(const wchar_t* text) {
    const UINT codePage = ::GetACP();
    const DWORD flags = TakesNoFlags(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = ReportsNoDefault(codePage) ? nullptr : &usedDefault;
    const int bytes = ::WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (bytes <= 0) return AnsiFit::Unknown;
    const HeapArray<char> narrow(static_cast<size_t>(bytes));
    if (!narrow || ::WideCharToMultiByte(codePage, flags, text, -1, narrow.get(), bytes, nullptr, usedDefaultOut) != bytes)
        return AnsiFit::Unknown;
    if (usedDefault) return AnsiFit::Loses;
    // The way back must give the same text: some code pages map without a
    // default character yet not one to one.
    const int units = ::MultiByteToWideChar(codePage, 0, narrow.get(), bytes, nullptr, 0);
    if (units <= 0) return AnsiFit::Unknown;
    const HeapArray<wchar_t> wide(static_cast<size_t>(units));
    if (!wide || ::MultiByteToWideChar(codePage, 0, narrow.get(), bytes, wide.get(), units) != units) return AnsiFit::Unknown;
    return std::wcscmp(wide.get(), text) == 0 ? AnsiFit::Holds : AnsiFit::Loses;
}

namespace {

enum class Target { Utf16, AnsiWhereItHolds };

struct FileText {
    HeapArray<wchar_t> wide;
    int units = 0;
    bool utf16 = false;   // already UTF-16LE with its mark
    bool foreign = false; // a big-endian or UTF-8 mark
    bool bigEndian = false;
    bool invalidUtf8 = false; // a UTF-8 mark before bytes that are no UTF-8
    bool unmarked = false;    // neither UTF-16 nor UTF-8 is marked: read as ANSI
    bool ok = false;
};

// The file's text as the mark says: UTF-16 either way round, UTF-8, or ANSI.
FileText DecodeProfile(HANDLE file) {
    FileText text;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > 0x3FFFFFFF) return text;
    const DWORD byteCount = static_cast<DWORD>(size.QuadPart);
    const HeapArray<unsigned char> bytes(byteCount + 2u);
    if (!bytes) return text;
    DWORD read = 0;
    if (byteCount > 0 && (!::ReadFile(file, bytes.get(), byteCount, &read, nullptr) || read != byteCount)) return text;
    unsigned char* b = bytes.get();
    if (StartsWith(b, byteCount, Utf16Mark, sizeof Utf16Mark)) {
        text.utf16 = text.ok = true;
        return text;
    }
    if (StartsWith(b, byteCount, Utf16BigEndianMark, sizeof Utf16BigEndianMark)) {
        text.foreign = text.bigEndian = true;
        text.units = static_cast<int>(byteCount / 2 - 1);
        text.wide = HeapArray<wchar_t>(static_cast<size_t>(text.units) + 1u);
        if (!text.wide) return text;
        for (int i = 0; i < text.units; ++i)
            text.wide.get()[i] = static_cast<wchar_t>(b[2 + 2 * i] << 8 | b[3 + 2 * i]);
        text.wide.get()[text.units] = L'\0';
        text.ok = true;
        return text;
    }
    const bool utf8 = StartsWith(b, byteCount, Utf8Mark, sizeof Utf8Mark);
    text.foreign = utf8;
    text.unmarked = !utf8;
    const char* narrow = reinterpret_cast<const char*>(b) + (utf8 ? sizeof Utf8Mark : 0);
    const int narrowBytes = static_cast<int>(byteCount - (utf8 ? sizeof Utf8Mark : 0));
    const auto* unsignedNarrow = reinterpret_cast<const unsigned char*>(narrow);
    // Strict for UTF-8: since Vista an invalid byte would become U+FFFD.
    const bool validUtf8 = IsUtf8(unsignedNarrow, static_cast<size_t>(narrowBytes));
    if (utf8 && !validUtf8) {
        text.invalidUtf8 = true;
        return text;
    }
    // Without a mark: Notepad's UTF-8 when the bytes above 0x7F are valid UTF-8
    // (text in the ANSI code page almost never is), else the ANSI code page.
    // Either way every byte must convert: a byte that would become a default
    // character is lost.
    const bool wide = std::any_of(unsignedNarrow, unsignedNarrow + narrowBytes, [](unsigned char c) { return c > 0x7F; });
    const UINT codePage = utf8 || (wide && validUtf8) ? CP_UTF8 : CP_ACP;
    const DWORD flags = MB_ERR_INVALID_CHARS;
    text.units = narrowBytes > 0 ? ::MultiByteToWideChar(codePage, flags, narrow, narrowBytes, nullptr, 0) : 0;
    if (narrowBytes > 0 && text.units <= 0) return text;
    text.wide = HeapArray<wchar_t>(static_cast<size_t>(text.units) + 1u);
    if (!text.wide) return text;
    if (text.units > 0 && ::MultiByteToWideChar(codePage, flags, narrow, narrowBytes, text.wide.get(), text.units) != text.units)
        return text;
    text.wide.get()[text.units] = L'\0';
    text.ok = true;
    return text;
}

// Writes text over the file from its start: ANSI when allowed and the code page
// holds all of it (a text with a NUL inside is never taken for ANSI), else
// UTF-16LE with its mark.
bool WriteProfileText(HANDLE file, const FileText& text, Target target) {
    const LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file)) return false;
    const bool plainText = static_cast<int>(std::wcslen(text.wide.get())) == text.units;
    const AnsiFit fit = target == Target::AnsiWhereItHolds && plainText ? FitAnsiCodePage(text.wide.get()) : AnsiFit::Loses;
    if (fit == AnsiFit::Unknown) return false;
    if (fit == AnsiFit::Holds) {
        const int bytes = text.units > 0 ? ::WideCharToMultiByte(CP_ACP, 0, text.wide.get(), text.units, nullptr, 0, nullptr, nullptr) : 0;
        if (text.units > 0 && bytes <= 0) return false;
        const HeapArray<char> narrow(static_cast<size_t>(bytes) + 1u);
        if (!narrow) return false;
        if (bytes > 0 && ::WideCharToMultiByte(CP_ACP, 0, text.wide.get(), text.units, narrow.get(), bytes, nullptr, nullptr) != bytes)
            return false;
        return WriteAll(file, narrow.get(), static_cast<DWORD>(bytes));
    }
    return WriteAll(file, Utf16Mark, sizeof Utf16Mark) &&
           WriteAll(file, text.wide.get(), static_cast<DWORD>(text.units) * sizeof(wchar_t));
}

UniqueKernelHandle OpenForRewrite(const wchar_t* path, DWORD disposition) {
    return AdoptFileHandle(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

bool ConvertProfileToUtf16(const wchar_t* path) {
    const UniqueKernelHandle file = OpenForRewrite(path, OPEN_ALWAYS);
    if (!file) return false;
    const FileText text = DecodeProfile(file.Get());
    if (!text.ok) return false;
    return text.utf16 || WriteProfileText(file.Get(), text, Target::Utf16);
}

ProfileMark ReadProfileMark(const wchar_t* path) {
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ProfileMark::None : ProfileMark::Unknown;
    }
    unsigned char head[3] = {};
    DWORD read = 0;
    if (!::ReadFile(file.Get(), head, sizeof head, &read, nullptr)) return ProfileMark::Unknown;
    return StartsWith(head, read, Utf16BigEndianMark, sizeof Utf16BigEndianMark) ||
                   StartsWith(head, read, Utf8Mark, sizeof Utf8Mark)
               ? ProfileMark::Foreign
               : ProfileMark::None;
}

bool KeptAsItStands(const wchar_t* path) {
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && DecodeProfile(file.Get()).invalidUtf8;
}

ProfileTurn ConvertForeignProfile(const wchar_t* path) {
    const UniqueKernelHandle file = OpenForRewrite(path, OPEN_EXISTING);
    if (!file) return ProfileTurn::Failed;
    const FileText text = DecodeProfile(file.Get());
    if (text.invalidUtf8) return ProfileTurn::Kept;
    if (text.unmarked) return ProfileTurn::Turned;  // nothing to turn, whatever its bytes
    if (!text.ok) return ProfileTurn::Failed;
    if (!text.foreign) return ProfileTurn::Turned;
    // Big-endian UTF-16 was Unicode already and stays so; a UTF-8 file becomes
    // ANSI where that loses nothing, as a new file would be.
    return WriteProfileText(file.Get(), text, text.bigEndian ? Target::Utf16 : Target::AnsiWhereItHolds)
               ? ProfileTurn::Turned
               : ProfileTurn::Failed;
}

} // namespace tolltone
