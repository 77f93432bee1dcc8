#include "settings/ProfileRead.h"

#include "settings/ProfileText.h"
#include "win32/UniqueHandle.h"

#include <cstring>

namespace tolltone {
namespace {

// Far beyond any settings file; a larger one is not taken into memory.
constexpr LONGLONG LargestProfile = 64 << 20;

} // namespace

ProfileSnapshot::ProfileSnapshot(const wchar_t* path) {
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        reached_ = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > LargestProfile) return;
    const DWORD byteCount = static_cast<DWORD>(size.QuadPart);
    const HeapArray<unsigned char> bytes(byteCount);
    DWORD read = 0;
    if (!bytes || (byteCount > 0 && (!::ReadFile(file.Get(), bytes.get(), byteCount, &read, nullptr) || read != byteCount)))
        return;
    const unsigned char* b = bytes.get();
    if (byteCount >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        length_ = (byteCount - 2) / 2;
        text_ = HeapArray<wchar_t>(length_);
        if (!text_) return;
        std::memcpy(text_.get(), b + 2, length_ * sizeof(wchar_t));
    } else if (byteCount > 0) {
        const char* narrow = reinterpret_cast<const char*>(b);
        const int units = ::MultiByteToWideChar(CP_ACP, 0, narrow, static_cast<int>(byteCount), nullptr, 0);
        if (units <= 0) return;
        text_ = HeapArray<wchar_t>(static_cast<size_t>(units));
        if (!text_ || ::MultiByteToWideChar(CP_ACP, 0, narrow, static_cast<int>(byteCount), text_.get(), units) != units)
            return;
        length_ = static_cast<size_t>(units);
    }
    reached_ = true;
}

DWORD ProfileSnapshot::Value(const wchar_t* section, const wchar_t* key, wchar_t* out, DWORD units) const {
    if (units == 0) return 0;
    return static_cast<DWORD>(FindProfileValue(text_.get() != nullptr ? text_.get() : L"", length_, section, key, out, units));
}

} // namespace tolltone
