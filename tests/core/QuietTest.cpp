#include "FakeChimeEnvironment.h"
#include "scheduler/ChimeTick.h"
#include "scheduler/QuietRules.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace tolltone;
using tolltone::fakes::FakeChimeEnvironment;

namespace {

constexpr int At(int hour, int minute) { return hour * 60 + minute; }

struct Minute {
    int hour, minute;
};

ChimeSettings Settings(int32_t interval, int32_t signalType, QuietSettings quiet) {
    ChimeSettings settings;
    settings.Enable = 1;
    settings.Interval = interval;
    settings.SignalType = signalType;
    settings.WaveName[0] = L'c';
    settings.Quiet = quiet;
    return settings;
}

// Whether one timer firing at hh:mm sounded anything (once or strikes).
bool Sounds(const ChimeSettings& settings, Minute at, FakeChimeEnvironment& env) {
    env.SetClock(at.hour, at.minute, 0, 4);
    int16_t lastMinute = -1;
    const size_t before = env.played.size() + env.strikes.size();
    ChimeTick(settings, lastMinute, env);
    EXPECT_EQ(lastMinute, at.minute) << "the minute is tested as always";
    EXPECT_EQ(env.timers.size(), 1u) << "and the timer armed again";
    return env.played.size() + env.strikes.size() != before;
}

} // namespace

TEST(QuietHours, ParsesTheWindowAndTakesAnythingMalformedAsNone) {
    const struct { const wchar_t* text; int start, end; } rows[] = {
        {L"23:00-07:00", At(23, 0), At(7, 0)},
        {L"9:30-10:30", At(9, 30), At(10, 30)},
        {L" 22:00 -\t06:15 ", At(22, 0), At(6, 15)},
        {L"0:00-23:59", 0, At(23, 59)},
        // Malformed: no quiet hours, never "always quiet".
        {L"", 0, 0}, {L"23:00", 0, 0}, {L"24:00-07:00", 0, 0}, {L"23:60-07:00", 0, 0},
        {L"23:0-07:00", 0, 0}, {L"123:00-07:00", 0, 0}, {L"23:00-07:00x", 0, 0},
        {L"23:00 07:00", 0, 0}, {L"-1:00-07:00", 0, 0}, {L"23 : 00-07:00", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "\"" << row.text << "\"");
        const QuietHours hours = ParseQuietHours(row.text);
        EXPECT_EQ(hours.startMinute, row.start);
        EXPECT_EQ(hours.endMinute, row.end);
        EXPECT_EQ(ParseQuietHours(std::string(row.text, row.text + std::wcslen(row.text)).c_str()).endMinute, row.end);
    }
}

TEST(QuietHours, WindowIncludesItsStartAndEndsBeforeItsEnd) {
    const struct { const wchar_t* window; Minute at; bool quiet; } rows[] = {
        {L"23:00-07:00", {23, 0}, true},   {L"23:00-07:00", {0, 0}, true},
        {L"23:00-07:00", {6, 59}, true},   {L"23:00-07:00", {7, 0}, false},
        {L"23:00-07:00", {22, 59}, false}, {L"23:00-07:00", {12, 0}, false},
        {L"09:30-10:30", {9, 29}, false},  {L"09:30-10:30", {9, 30}, true},
        {L"09:30-10:30", {10, 29}, true},  {L"09:30-10:30", {10, 30}, false},
        {L"08:00-08:00", {8, 0}, false},   {L"08:00-08:00", {20, 0}, false},
        {L"garbage", {3, 0}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.window << " at " << row.at.hour << ":" << row.at.minute);
        QuietSettings quiet;
        quiet.Hours = ParseQuietHours(row.window);
        for (int32_t signalType : {0, 1}) {
            FakeChimeEnvironment env;
            EXPECT_EQ(Sounds(Settings(60, signalType, quiet), row.at, env), !row.quiet);
            EXPECT_EQ(env.activityQueries, 0) << "hours alone never ask for the user's state";
        }
    }
}

TEST(QuietHours, BusyAndAwayStatesSilenceOnlyWhenTheirKeyIsOn) {
    using S = NotificationState;
    const struct { S state; bool doNotDisturb; bool busy, away; } rows[] = {
        {S::AcceptsNotifications, false, false, false},
        {S::Unknown, false, false, false},
        {S::Busy, false, true, false},
        {S::D3DFullScreen, false, true, false},
        {S::PresentationMode, false, true, false},
        {S::QuietTime, false, true, false},
        {S::App, false, true, false},
        {S::AcceptsNotifications, true, true, false},
        {S::NotPresent, false, false, true},
    };
    for (const auto& row : rows) {
        for (int32_t whenBusy : {0, 1}) {
            for (int32_t whenLocked : {0, 1}) {
                SCOPED_TRACE(::testing::Message() << "state " << static_cast<int>(row.state) << " dnd "
                                                  << row.doNotDisturb << " busy key " << whenBusy
                                                  << " locked key " << whenLocked);
                FakeChimeEnvironment env;
                env.activity = {row.state, row.doNotDisturb};
                const QuietSettings quiet{{}, whenBusy, whenLocked};
                const bool silent = (whenBusy != 0 && row.busy) || (whenLocked != 0 && row.away);
                EXPECT_EQ(Sounds(Settings(300, 1, quiet), {10, 5}, env), !silent);
                EXPECT_EQ(env.activityQueries, whenBusy != 0 || whenLocked != 0 ? 1 : 0);
            }
        }
    }
}

TEST(QuietHours, DecidedFromEachMinutesOwnReadingSoNothingSticks) {
    // A module started inside the window (say after a reboot at 06:58) chimes
    // again at its end, and a clock set back into the window silences it again.
    QuietSettings quiet;
    quiet.Hours = ParseQuietHours(L"23:00-07:00");
    const ChimeSettings settings = Settings(60, 0, quiet);
    FakeChimeEnvironment env;
    int16_t lastMinute = -1;
    std::vector<bool> sounded;
    for (const Minute at : std::vector<Minute>{{6, 58}, {6, 59}, {7, 0}, {7, 1}, {6, 30}, {7, 2}}) {
        env.SetClock(at.hour, at.minute, 0, 4);
        const size_t before = env.played.size();
        ChimeTick(settings, lastMinute, env);
        sounded.push_back(env.played.size() != before);
    }
    EXPECT_EQ(sounded, (std::vector<bool>{false, false, true, true, false, true}));
}
