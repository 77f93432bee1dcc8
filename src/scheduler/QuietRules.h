#pragma once
// Whether a chime minute stays silent: inside the quiet hours, or while the user
// is busy or away when the settings ask for it. Decided afresh at every chime
// minute from that minute's clock reading, so nothing can stick.
#include "settings/QuietSettings.h"

namespace tolltone {

// The platform's notification states, by their values.
enum class NotificationState : int {
    Unknown = 0,
    NotPresent = 1,          // locked, screen saver, or another session is active
    Busy = 2,                // a full-screen program
    D3DFullScreen = 3,
    PresentationMode = 4,
    AcceptsNotifications = 5,
    QuietTime = 6,           // the first hour after a first sign-in
    App = 7,                 // an immersive (full-screen) app
};

struct UserActivity {
    NotificationState state = NotificationState::AcceptsNotifications;
    bool doNotDisturb = false;  // the system's do-not-disturb is on
};

constexpr bool IsInQuietHours(const QuietHours& hours, int hour, int minute) {
    const int now = hour * 60 + minute;
    if (hours.startMinute == hours.endMinute) return false;
    if (hours.startMinute < hours.endMinute) return now >= hours.startMinute && now < hours.endMinute;
    return now >= hours.startMinute || now < hours.endMinute;  // across midnight
}

// dayOfWeek as the local clock counts it, 0 = Sunday.
constexpr bool IsQuietDay(uint8_t days, int dayOfWeek) {
    return dayOfWeek >= 0 && dayOfWeek < 7 && (days & (1u << dayOfWeek)) != 0;
}

constexpr bool IsUserBusy(const UserActivity& activity) {
    switch (activity.state) {
    case NotificationState::Busy:
    case NotificationState::D3DFullScreen:
    case NotificationState::PresentationMode:
    case NotificationState::QuietTime:
    case NotificationState::App: return true;
    default: return activity.doNotDisturb;
    }
}

constexpr bool IsUserAway(const UserActivity& activity) {
    return activity.state == NotificationState::NotPresent;
}

constexpr bool NeedsUserActivity(const QuietSettings& quiet) {
    return quiet.WhenBusy != 0 || quiet.WhenLocked != 0;
}

constexpr bool IsQuiet(const QuietSettings& quiet, int hour, int minute, const UserActivity& activity) {
    return IsInQuietHours(quiet.Hours, hour, minute) || (quiet.WhenBusy != 0 && IsUserBusy(activity)) ||
           (quiet.WhenLocked != 0 && IsUserAway(activity));
}

} // namespace tolltone
