// The chime on the second: when the timer runs out, which minute an early
// firing serves, and what the check after the boundary does.
#include "FakeChimeEnvironment.h"
#include "scheduler/SignalTick.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <map>

using namespace tolltone;
using tolltone::fakes::FakeChimeEnvironment;
using tolltone::fakes::MarkedPlay;

namespace {

constexpr uint64_t At(int hour, int minute, int second, int ms = 0) {
    return static_cast<uint64_t>(((hour * 60 + minute) * 60 + second) * 1000 + ms);
}

ChimeSettings OnTheSecond(int32_t interval, int32_t signalType) {
    ChimeSettings settings;
    settings.Enable = 1;
    settings.Interval = interval;
    settings.SignalType = signalType;
    settings.Sounds.OnTheSecond = true;
    std::wcscpy(settings.WaveName, L"chime.wav");
    return settings;
}

struct Session {
    explicit Session(const ChimeSettings& chosen) : settings(chosen) {}
    ChimeSettings settings;
    FakeChimeEnvironment env;
    int16_t lastMinute = -1;
    SignalState& pending = env.state;

    // Fires the timer at the clock's time plus the delay it was last set to.
    void FireAsSet() {
        env.Advance(static_cast<int>(env.timers.back()));
        SignalTick(settings, lastMinute, pending, env);
    }
};

} // namespace

TEST(SignalTick, TimerRunsOutBeforeTheBoundaryByTheMarkOfTheComingMinute) {
    const struct { int second, ms; int32_t interval; unsigned mark, delay; } rows[] = {
        {0, 0, 3600, 0, 60000 - SignalMarginMs},      // 10:00 strikes: first sample on it
        {0, 0, 3600, 3000, 57000 - SignalMarginMs},   // its mark 3 s in
        {30, 500, 3600, 3000, 26500 - SignalMarginMs},
        {58, 0, 3600, 3000, ShortestTimerMs},          // too late to start whole: at once
        {0, 0, NoChime, 3000, 60000 - SignalMarginMs},  // no chime: the mark is not read
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.second << "." << row.ms << " mark " << row.mark);
        FakeChimeEnvironment env;
        env.marks[L"chime.wav"] = row.mark;
        env.SetClock(9, 59, row.second, row.ms);
        EXPECT_EQ(ArmChimeTimer(OnTheSecond(row.interval, 1), env), 1);
        EXPECT_EQ(env.timers, std::vector<unsigned>{row.delay});
    }
}

TEST(SignalTick, EarlyFiringDecidesForTheComingMinuteAndTheCheckKeepsIt) {
    Session s(OnTheSecond(3600, 1));
    std::wcscpy(s.settings.Sounds.HourWaveName, L"signal.wav");
    s.env.marks[L"signal.wav"] = 3000;
    s.env.SetClock(9, 59, 0);
    ArmChimeTimer(s.settings, s.env);
    s.FireAsSet();
    ASSERT_EQ(s.env.marked.size(), 1u);
    EXPECT_EQ(s.env.marked[0].waveName, L"signal.wav");
    EXPECT_EQ(s.env.marked[0].strokes, 10) << "the hour the mark lands on";
    EXPECT_EQ(s.env.marked[0].boundaryMs, At(10, 0, 0));
    EXPECT_EQ(s.env.marked[0].atMs, At(9, 59, 56, 1000 - SignalMarginMs));
    EXPECT_EQ(s.env.timers.back(), 3000 + SignalMarginMs + CheckDelayMs) << "the check, just after the boundary";
    EXPECT_EQ(s.lastMinute, 0);
    s.FireAsSet();
    EXPECT_EQ(s.env.events, (std::vector<std::string>{"set", "kill", "marked", "set", "kill", "set"}));
    EXPECT_EQ(s.env.timers.back(), 60000 - CheckDelayMs - SignalMarginMs) << "10:01 has no mark";
    EXPECT_EQ(s.env.sleeps, 0);
}

TEST(SignalTick, QuietnessIsThatOfTheComingMinute) {
    Session s(OnTheSecond(3600, 1));
    s.settings.Quiet.Hours = {10 * 60, 10 * 60 + 30};  // 10:00-10:30
    s.env.SetClock(9, 59, 59, 1000 - SignalMarginMs);
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    EXPECT_TRUE(s.env.marked.empty());
    EXPECT_FALSE(s.pending.pending);
    EXPECT_EQ(s.env.timers, std::vector<unsigned>{60000});
}

TEST(SignalTick, CheckStopsASoundWhoseClockMovedOffItsMinuteAndServesTheMinuteToCome) {
    // late: the host's time from the start to the check; moved: the clock's own move.
    const struct { int late, moved, zone; bool stopped; unsigned next; } rows[] = {
        {220, 0, 0, false, 59980 - SignalMarginMs},
        {2220, 0, 0, false, 57980 - SignalMarginMs},   // a busy host: the check came late
        {10220, 0, 0, false, 49980 - SignalMarginMs},
        {220, -30020, 0, true, 30000 - SignalMarginMs},  // set back: 10:00 is still to come
        {220, -500, 0, true, 230},
        {220, 300000, 0, true, 59980 - SignalMarginMs},  // set forward
        {2220, 2000, 0, true, 55980 - SignalMarginMs},   // set forward, and the check late
        {220, 1980, 0, true, 58000 - SignalMarginMs},    // a wake: the awake count stood still
        {220, 0, 3600000, true, 59980 - SignalMarginMs},  // another zone: 11:00 at the boundary
        // The tolerance of 1.5 s between the clock's move and the awake count's.
        {220, 1400, 0, false, 58580 - SignalMarginMs},
        {220, 1600, 0, true, 58380 - SignalMarginMs},
        {2220, -1400, 0, false, 59380 - SignalMarginMs},
        {2220, -1600, 0, true, 59580 - SignalMarginMs},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "late " << row.late << " moved " << row.moved << " zone " << row.zone);
        Session s(OnTheSecond(60, 0));
        s.env.SetClock(9, 59, 59, 800);
        SignalTick(s.settings, s.lastMinute, s.pending, s.env);
        ASSERT_TRUE(s.pending.pending && s.pending.started);
        s.env.Advance(row.late);
        s.env.MoveClock(row.moved);
        s.env.zoneMs = row.zone;
        SignalTick(s.settings, s.lastMinute, s.pending, s.env);
        EXPECT_EQ(s.env.events.back() == "set" && s.env.events[s.env.events.size() - 2] == "stop", row.stopped);
        EXPECT_FALSE(s.pending.pending);
        EXPECT_EQ(s.env.timers.back(), row.next);
        s.FireAsSet();
        EXPECT_EQ(s.env.marked.size(), 2u) << "the minute after the check sounds";
    }
}

TEST(SignalTick, LateFiringSoundsTheMinuteUnderWayAtOnceAndOnlyOnce) {
    Session s(OnTheSecond(900, 0));
    s.env.SetClock(10, 15, 0, 700);
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    ASSERT_EQ(s.env.marked.size(), 1u);
    EXPECT_EQ(s.env.marked[0].boundaryMs, At(10, 15, 0)) << "already past: played from its start";
    EXPECT_FALSE(s.pending.pending);
    s.env.SetClock(10, 15, 1, 0);
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    EXPECT_EQ(s.env.marked.size(), 1u);
    EXPECT_EQ(s.env.sleeps, 0) << "the host's thread never waits";
}

TEST(SignalTick, SoundThatCannotStartAheadPlaysByNameAtTheBoundaryNeverBefore) {
    Session s(OnTheSecond(3600, 0));
    s.env.scalable = false;
    s.env.SetClock(9, 59, 59, 750);
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    EXPECT_TRUE(s.env.played.empty());
    s.env.SetClock(9, 59, 59, 995);  // a timer that ran out a tick early
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    EXPECT_TRUE(s.env.played.empty());
    EXPECT_EQ(s.env.timers.back(), 5 + CheckDelayMs);
    s.FireAsSet();
    EXPECT_EQ(s.env.played, std::vector<std::wstring>{L"chime.wav"});
}

// A strike of ten that cannot be an image never sounds as one stroke by name:
// a wrong count is worse than none.
TEST(SignalTick, SoundDueByNamePlaysAtALateCheckOnlyWithinItsMinuteAndOnItsClock) {
    const struct { int32_t signalType; int late, moved; size_t played; } rows[] = {
        {0, 270, 0, 1},
        {0, 2270, 0, 1},   // a busy host
        {0, 65270, 0, 0},  // the minute is over
        {0, 270, 2000, 0},  // the clock moved
        {1, 270, 0, 0},     // ten strokes
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "late " << row.late << " moved " << row.moved);
        Session s(OnTheSecond(3600, row.signalType));
        s.env.scalable = false;
        s.env.SetClock(9, 59, 59, 750);
        SignalTick(s.settings, s.lastMinute, s.pending, s.env);
        s.env.Advance(row.late);
        s.env.MoveClock(row.moved);
        SignalTick(s.settings, s.lastMinute, s.pending, s.env);
        EXPECT_EQ(s.env.played.size(), row.played);
        EXPECT_TRUE(s.env.strikes.empty());
    }
}

TEST(SignalTick, UnknownLocalTimeSoundsNothing) {
    Session s(OnTheSecond(60, 0));
    s.env.localKnown = false;
    s.env.SetClock(9, 59, 59, 750);
    SignalTick(s.settings, s.lastMinute, s.pending, s.env);
    EXPECT_TRUE(s.env.marked.empty());
    EXPECT_FALSE(s.pending.pending);
    EXPECT_EQ(s.env.timers, std::vector<unsigned>{60000}) << "the boundary after the coming one, not a run of short timers";
}

// One read of the local time that fails, whichever it is, starts no sound that
// another start cuts a moment later: none of the minutes' starts (each around
// its boundary) comes twice without a stop between.
TEST(SignalTick, AFailedReadOfTheLocalTimeStartsNoSoundTwice) {
    for (int failing = 1; failing <= 24; ++failing) {
        SCOPED_TRACE(failing);
        Session s(OnTheSecond(60, 1));
        s.env.marks[L"chime.wav"] = 1000;
        s.env.failingLocalRead = (failing - 1) % 12 + 1;
        s.env.SetClock(9, 59, 50);
        if (failing >= 12) s.env.pending.insert(L"chime.wav");  // made while the timer looks
        ArmChimeTimer(s.settings, s.env);
        while (s.env.PreciseMs() < At(10, 3, 10)) {
            s.FireAsSet();
            s.env.pending.clear();
        }
        std::map<uint64_t, int> started;  // by the minute from 30 s before each boundary
        size_t play = 0;
        for (const std::string& event : s.env.events) {
            if (event == "stop") started.clear();
            if (event != "marked") continue;
            const MarkedPlay& marked = s.env.marked[play++];
            EXPECT_EQ(++started[(marked.atMs + 30000) / 60000], 1) << "started again at " << marked.atMs;
        }
    }
}

// With the coming minute's time unreadable, a firing farther from the boundary
// than the longest lead a mark may ask for (30 s) is late for the minute under
// way, which still sounds at once; one within it (a mark 30 s in) sounds nothing.
TEST(SignalTick, ALateFiringSoundsTheMinuteUnderWayThoughTheComingOneCannotBeRead) {
    const struct { int second, ms; size_t marked; } rows[] = {{20, 0, 1}, {27, 0, 1}, {29, 750, 0}, {59, 750, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.second);
        Session s(OnTheSecond(60, 1));
        s.env.failingLocalRead = 1;
        s.env.SetClock(9, 59, row.second, row.ms);
        SignalTick(s.settings, s.lastMinute, s.pending, s.env);
        ASSERT_EQ(s.env.marked.size(), row.marked);
        if (row.marked == 0) continue;
        EXPECT_EQ(s.env.marked[0].boundaryMs, At(9, 59, 0));
        EXPECT_EQ(s.env.marked[0].strokes, 9);
    }
}

// Its mark decides when the timer runs out, so while the image is being made
// the timer only looks again; once it is ready the mark lands as ever.
TEST(PreparedSignal, TheTimerLooksAgainUntilTheImageIsReadyThenRunsOutByItsMark) {
    Session s(OnTheSecond(3600, 1));
    s.env.marks[L"chime.wav"] = 3000;
    s.env.pending.insert(L"chime.wav");
    s.env.SetClock(9, 59, 0);
    ArmChimeTimer(s.settings, s.env);
    EXPECT_EQ(s.env.timers.back(), PreparePollMs);
    for (int look = 0; look < 4; ++look) s.FireAsSet();
    EXPECT_TRUE(s.env.marked.empty()) << "a look serves nothing";
    EXPECT_EQ(s.pending.servedMs, 0u);
    s.env.pending.clear();
    s.FireAsSet();
    EXPECT_EQ(s.env.timers.back(), 60000 - 5 * PreparePollMs - 3000 - SignalMarginMs);
    s.FireAsSet();
    ASSERT_EQ(s.env.marked.size(), 1u);
    EXPECT_EQ(s.env.marked[0].boundaryMs, At(10, 0, 0));
    EXPECT_EQ(s.env.marked[0].strokes, 10);
}

// A mark that cannot land on its second does not sound that minute: an image
// ready only after its boundary is not played late, and the next minute is
// served as ever.
TEST(PreparedSignal, AnImageNotReadyByItsBoundaryDoesNotSoundThatMinute) {
    const struct { int readyAtMs; size_t marked; } rows[] = {
        {At(9, 59, 59, 900), 1},  // ready 100 ms before: its lead-in partly past, the mark on time
        {At(10, 0, 0, 300), 0},
        {At(10, 0, 30), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.readyAtMs);
        Session s(OnTheSecond(60, 1));
        s.env.marks[L"chime.wav"] = 1000;
        s.env.SetClock(9, 59, 50);
        ArmChimeTimer(s.settings, s.env);
        s.env.pending.insert(L"chime.wav");
        while (s.env.PreciseMs() < At(10, 0, 59)) {
            if (s.env.PreciseMs() >= static_cast<uint64_t>(row.readyAtMs)) s.env.pending.clear();
            s.FireAsSet();
        }
        size_t forTen = 0;
        for (const auto& play : s.env.marked) {
            if (play.boundaryMs == At(10, 0, 0)) ++forTen;
            EXPECT_LE(play.atMs, play.boundaryMs) << "never started after its boundary";
        }
        EXPECT_EQ(forTen, row.marked);
        EXPECT_TRUE(s.env.played.empty() && s.env.strikes.empty() && s.env.scaled.empty());
    }
}
