#include "scheduler/Win32UserActivity.h"

#include <windows.h>
#include <shellapi.h>

namespace tolltone {
namespace {

static_assert(static_cast<int>(NotificationState::NotPresent) == QUNS_NOT_PRESENT);
static_assert(static_cast<int>(NotificationState::Busy) == QUNS_BUSY);
static_assert(static_cast<int>(NotificationState::D3DFullScreen) == QUNS_RUNNING_D3D_FULL_SCREEN);
static_assert(static_cast<int>(NotificationState::PresentationMode) == QUNS_PRESENTATION_MODE);
static_assert(static_cast<int>(NotificationState::AcceptsNotifications) == QUNS_ACCEPTS_NOTIFICATIONS);
static_assert(static_cast<int>(NotificationState::QuietTime) == QUNS_QUIET_TIME);

// The system's do-not-disturb has no documented query. Its active profile is
// published as a WNF state (0 = off, 1 = priority only, 2 = alarms only), read
// through ntdll as open programs do. Looked up at run time: where the function
// or the state is missing, do-not-disturb counts as off.
struct WnfStateName {
    ULONG data[2];
};
using QueryWnfStateData = LONG(NTAPI*)(const WnfStateName*, const void*, const void*, ULONG*, void*, ULONG*);
constexpr WnfStateName QuietHoursActiveProfileChanged{{0xA3BF1C75, 0x0D83063E}};

bool IsDoNotDisturbOn() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return false;
    const auto query = reinterpret_cast<QueryWnfStateData>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryWnfStateData")));
    if (query == nullptr) return false;
    ULONG changeStamp = 0;
    DWORD profile = 0;
    ULONG size = sizeof profile;
    const LONG status = query(&QuietHoursActiveProfileChanged, nullptr, nullptr, &changeStamp, &profile, &size);
    return status >= 0 && size == sizeof profile && profile != 0;
}

} // namespace

UserActivity QueryWin32UserActivity() {
    UserActivity activity;
    QUERY_USER_NOTIFICATION_STATE state{};
    if (SUCCEEDED(::SHQueryUserNotificationState(&state)))
        activity.state = static_cast<NotificationState>(state);
    activity.doNotDisturb = IsDoNotDisturbOn();
    return activity;
}

} // namespace tolltone
