#include "FakeChimeEnvironment.h"
#include "scheduler/ChimeRules.h"
#include "scheduler/ChimeTick.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace tolltone;
using tolltone::fakes::FakeChimeEnvironment;

namespace {

ChimeSettings Settings(int32_t interval, int32_t signalType, int32_t timeType, const wchar_t* wave = L"C:\\chime.wav") {
    ChimeSettings settings;
    settings.Enable = 1;
    settings.Interval = interval;
    settings.SignalType = signalType;
    settings.TimeType = timeType;
    std::wcsncpy(settings.WaveName, wave, PathUnits - 1);
    return settings;
}

// Fires the timer once at every minute of one hour, as the host's loop would
// (the timer runs out a few milliseconds after the boundary), and returns the
// minutes at which something sounded.
std::vector<int> ChimeMinutesOfOneHour(const ChimeSettings& settings) {
    FakeChimeEnvironment env;
    int16_t lastMinute = -1;
    std::vector<int> minutes;
    for (int minute = 0; minute < 60; ++minute) {
        env.SetClock(10, minute, 0, 5);
        const size_t before = env.played.size() + env.strikes.size();
        ChimeTick(settings, lastMinute, env);
        if (env.played.size() + env.strikes.size() != before) minutes.push_back(minute);
    }
    EXPECT_EQ(env.sleeps, 0) << "a new minute never waits";
    return minutes;
}

std::vector<int> Every(int step) {
    std::vector<int> minutes;
    for (int m = 0; m < 60; m += step) minutes.push_back(m);
    return minutes;
}

} // namespace

TEST(ChimeScheduler, EveryListedIntervalIsAlignedToTheHour) {
    const struct { int32_t interval; std::vector<int> minutes; } rows[] = {
        {60, Every(1)},
        {300, {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55}},
        {600, {0, 10, 20, 30, 40, 50}},
        {900, {0, 15, 30, 45}},
        {1800, {0, 30}},
        {3600, {0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.interval);
        EXPECT_EQ(ChimeMinutesOfOneHour(Settings(row.interval, 0, 0)), row.minutes);
        EXPECT_EQ(ChimeMinutesOfOneHour(Settings(row.interval, 1, 1)), row.minutes);
    }
}

TEST(ChimeScheduler, IntervalsBelowAMinuteChimeEveryMinute) {
    for (int32_t interval : {0, 1, 30, 59}) {
        SCOPED_TRACE(interval);
        EXPECT_EQ(ChimeMinutesOfOneHour(Settings(interval, 0, 0)), Every(1));
    }
}

TEST(ChimeScheduler, NegativeIntervalOtherThanNoneChimesAtMinuteZeroOnly) {
    EXPECT_EQ(ChimeMinutesOfOneHour(Settings(-60, 0, 0)), std::vector<int>{0});
}

TEST(ChimeScheduler, StrokesOnBothClocksAndAtHalfPast) {
    const struct { int hour, minute; int32_t timeType; int strokes; } rows[] = {
        {0, 0, 0, 12}, {12, 0, 0, 12}, {13, 0, 0, 1}, {23, 0, 0, 11}, {10, 0, 0, 10},
        {0, 0, 1, 24}, {9, 0, 1, 9}, {12, 0, 1, 12}, {23, 0, 1, 23},
        {9, 30, 1, 1}, {0, 30, 0, 1}, {0, 30, 1, 1}, {23, 30, 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.hour << ":" << row.minute << " type " << row.timeType);
        FakeChimeEnvironment env;
        env.SetClock(row.hour, row.minute, 0, 20);
        int16_t lastMinute = -1;
        ChimeTick(Settings(1800, 1, row.timeType), lastMinute, env);
        ASSERT_EQ(env.strikes.size(), 1u);
        EXPECT_EQ(env.strikes[0].strokes, row.strokes);
        EXPECT_EQ(env.strikes[0].waveName, L"C:\\chime.wav");
        EXPECT_TRUE(env.played.empty()) << "strikes never play on the timer's thread";
    }
}

TEST(ChimeScheduler, OncePerIntervalPlaysAsynchronouslyOnce) {
    FakeChimeEnvironment env;
    env.SetClock(8, 45, 0, 3);
    int16_t lastMinute = 44;
    ChimeTick(Settings(900, 0, 0, L"SystemAsterisk"), lastMinute, env);
    EXPECT_EQ(env.played, std::vector<std::wstring>{L"SystemAsterisk"});
    EXPECT_TRUE(env.strikes.empty());
    EXPECT_EQ(lastMinute, 45);
}

TEST(ChimeScheduler, TickStopsTheTimerFirstAndArmsItLast) {
    FakeChimeEnvironment env;
    env.SetClock(10, 0, 0, 2);
    int16_t lastMinute = 59;
    ChimeTick(Settings(3600, 1, 0), lastMinute, env);
    EXPECT_EQ(env.events, (std::vector<std::string>{"kill", "strike", "set"}));
    EXPECT_EQ(env.timers, std::vector<unsigned>{60000});
}

TEST(ChimeScheduler, WaitsForTheNextMinuteWhenFiredEarly) {
    FakeChimeEnvironment env;
    env.SetClock(10, 14, 59, 900);
    int16_t lastMinute = 14;
    ChimeTick(Settings(900, 0, 0), lastMinute, env);
    EXPECT_EQ(env.sleeps, 1);
    EXPECT_EQ(lastMinute, 15);
    EXPECT_EQ(env.played.size(), 1u) << "minute 15 is a chime minute";
}

TEST(ChimeScheduler, SameMinuteWaitGivesUpAfterThirtySleeps) {
    // Stopped at 10:15:20, started again at 11:14:50: the firing at 11:15:00
    // finds the minute number of the last test.
    FakeChimeEnvironment env;
    env.SetClock(11, 15, 0, 10);
    int16_t lastMinute = 15;
    ChimeTick(Settings(900, 0, 0), lastMinute, env);
    EXPECT_EQ(env.sleeps, MaxSameMinuteSleeps);
    EXPECT_EQ(env.Now().second, 3) << "30 sleeps of 100 ms";
    EXPECT_EQ(env.played.size(), 1u) << "then it chimes for the unchanged minute";
    EXPECT_EQ(env.timers, std::vector<unsigned>{57000}) << "armed from the last reading";
}

TEST(ChimeScheduler, NoneNeverPlaysNorTouchesLastMinuteButKeepsFiring) {
    FakeChimeEnvironment env;
    int16_t lastMinute = 7;
    for (int minute = 0; minute < 3; ++minute) {
        env.SetClock(12, minute, 0, 1);
        ChimeTick(Settings(NoChime, 1, 0), lastMinute, env);
    }
    EXPECT_EQ(lastMinute, 7);
    EXPECT_EQ(env.sleeps, 0);
    EXPECT_TRUE(env.played.empty());
    EXPECT_TRUE(env.strikes.empty());
    EXPECT_EQ(env.timers.size(), 3u);
}

TEST(ChimeScheduler, EmptyWaveNameTestsButPlaysNothing) {
    for (int32_t signalType : {0, 1}) {
        FakeChimeEnvironment env;
        env.SetClock(12, 0, 0, 1);
        int16_t lastMinute = -1;
        ChimeTick(Settings(3600, signalType, 0, L""), lastMinute, env);
        EXPECT_EQ(lastMinute, 0);
        EXPECT_TRUE(env.played.empty());
        EXPECT_TRUE(env.strikes.empty());
        EXPECT_EQ(env.timers.size(), 1u);
    }
}

TEST(ChimeScheduler, ArmDelayRunsOutAtTheNextMinute) {
    const struct { int second; unsigned delay; } rows[] = {{0, 60000}, {1, 59000}, {30, 30000}, {59, 1000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.second);
        FakeChimeEnvironment env;
        env.SetClock(9, 59, row.second, 999);
        EXPECT_EQ(ArmChimeTimer(Settings(3600, 1, 0), env), 1);
        EXPECT_EQ(env.timers, std::vector<unsigned>{row.delay});
    }
}

TEST(ChimeScheduler, DisabledModuleArmsNothingAndTheCycleEnds) {
    ChimeSettings settings = Settings(60, 0, 0);
    settings.Enable = 0;
    FakeChimeEnvironment env;
    env.SetClock(9, 0, 0, 5);
    EXPECT_EQ(ArmChimeTimer(settings, env), 0);
    int16_t lastMinute = -1;
    ChimeTick(settings, lastMinute, env);
    EXPECT_TRUE(env.timers.empty());
    EXPECT_EQ(env.played.size(), 1u) << "a firing already under way still sounds";
}

TEST(ChimeScheduler, OnlyTheMinuteNumberIsCompared) {
    FakeChimeEnvironment env;
    env.SetClock(11, 0, 0, 1);
    int16_t lastMinute = 0;  // tested at 10:00, an hour ago
    ChimeTick(Settings(3600, 1, 0), lastMinute, env);
    EXPECT_EQ(env.sleeps, MaxSameMinuteSleeps);
    ASSERT_EQ(env.strikes.size(), 1u);
    EXPECT_EQ(env.strikes[0].strokes, 11);
}

// The image a chime minute needs is asked for at the tick before it, so that
// its minute only hands it over; a minute that needs none asks for nothing.
TEST(PreparedChime, TheTickBeforeAChimeMinuteAsksForItsImage) {
    const struct { int hour, minute; int32_t signalType; bool quiet; size_t asked; int strokes; } rows[] = {
        {9, 59, 1, false, 1, 10},   // 10:00 strikes ten
        {9, 58, 1, false, 0, 0},    // 9:59 does not chime
        {9, 59, 0, false, 0, 0},    // once per interval at full volume plays by name
        {9, 59, 1, true, 0, 0},     // 10:00 is in the quiet hours
        {23, 59, 1, false, 1, 12},  // midnight, on the 12-hour clock
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.hour << ":" << row.minute);
        FakeChimeEnvironment env;
        ChimeSettings settings = Settings(3600, row.signalType, 0);
        if (row.quiet) settings.Quiet.Hours = {10 * 60, 11 * 60};
        env.SetClock(row.hour, row.minute, 0, 5);
        int16_t lastMinute = -1;
        ChimeTick(settings, lastMinute, env);
        ASSERT_EQ(env.prepared.size(), row.asked);
        if (row.asked != 0) {
            EXPECT_EQ(env.prepared[0].strokes, row.strokes);
        }
    }
}

// An image still being made at its minute (a disk spinning up) plays once it
// is ready while that minute lasts, once, and not at all after it.
TEST(PreparedChime, AnImageNotReadyAtItsMinutePlaysWhenReadyWithinThatMinuteOnly) {
    const struct { int readyAfterMs; size_t strikes; } rows[] = {
        {5000, 1},   // ready at 10:00:05
        {59000, 1},  // ready in the minute's last second
        {61000, 0},  // the minute is over
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "ready after " << row.readyAfterMs);
        FakeChimeEnvironment env;
        const ChimeSettings settings = Settings(3600, 1, 0);
        env.pending.insert(L"C:\\chime.wav");
        env.SetClock(10, 0, 0, 5);
        int16_t lastMinute = -1;
        ChimeTick(settings, lastMinute, env);
        EXPECT_TRUE(env.strikes.empty());
        EXPECT_EQ(env.timers.back(), PreparePollMs);
        int elapsed = 0;
        while (elapsed < 62000) {
            const unsigned delay = env.timers.back();
            env.Advance(static_cast<int>(delay));
            elapsed += static_cast<int>(delay);
            if (elapsed >= row.readyAfterMs) env.pending.clear();
            ChimeTick(settings, lastMinute, env);
        }
        ASSERT_EQ(env.strikes.size(), row.strikes);
        if (row.strikes != 0) {
            EXPECT_EQ(env.strikes[0].strokes, 10) << "the hour it was for";
        }
        EXPECT_EQ(env.sleeps, 0) << "the host's thread never waits for it";
    }
}

// A wait that runs past its minute gives that minute up, and the firing that
// finds the new minute serves it as any tick would.
TEST(PreparedChime, AWaitPastItsMinuteStillServesTheNextMinute) {
    FakeChimeEnvironment env;
    const ChimeSettings settings = Settings(60, 1, 0);  // every minute strikes
    env.pending.insert(L"C:\\chime.wav");
    env.SetClock(10, 0, 0, 5);
    int16_t lastMinute = -1;
    ChimeTick(settings, lastMinute, env);
    for (int elapsed = 0;;) {
        const unsigned delay = env.timers.back();
        if (elapsed + static_cast<int>(delay) > 61000) break;
        env.Advance(static_cast<int>(delay));
        elapsed += static_cast<int>(delay);
        if (elapsed >= 59900) env.pending.clear();
        ChimeTick(settings, lastMinute, env);
    }
    ASSERT_EQ(env.strikes.size(), 1u) << "10:01 struck";
    EXPECT_EQ(lastMinute, 1);
}
