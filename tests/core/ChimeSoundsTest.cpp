// The optional sound keys and quiet days: how each is parsed, and what a tick
// does with them.
#include "FakeChimeEnvironment.h"
#include "scheduler/ChimeTick.h"
#include "scheduler/MomentRules.h"
#include "settings/QuietSettings.h"
#include "settings/SoundSettings.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace tolltone;
using tolltone::fakes::FakeChimeEnvironment;

namespace {

enum Day { Sun, Mon, Tue, Wed, Thu, Fri, Sat };

std::string Narrow(const wchar_t* text) { return std::string(text, text + std::wcslen(text)); }

ChimeSettings Settings(int32_t interval, int32_t signalType) {
    ChimeSettings settings;
    settings.Enable = 1;
    settings.Interval = interval;
    settings.SignalType = signalType;
    std::wcscpy(settings.WaveName, L"chime.wav");
    return settings;
}

// A clock tower: a sound for each moment, striking the hour.
ChimeSettings Tower(int32_t interval) {
    ChimeSettings settings = Settings(interval, 1);
    std::wcscpy(settings.Sounds.HourWaveName, L"hour.wav");
    std::wcscpy(settings.Sounds.HalfWaveName, L"half.wav");
    std::wcscpy(settings.Sounds.QuarterWaveName, L"quarter.wav");
    return settings;
}

// What one firing at 10:mm sounded, as "name xN" (strikes) or "name" (once).
std::string SoundAt(const ChimeSettings& settings, int minute, FakeChimeEnvironment& env) {
    env.SetClock(10, minute, 0, 4);
    int16_t lastMinute = -1;
    const size_t played = env.played.size(), strikes = env.strikes.size(), scaled = env.scaled.size();
    ChimeTick(settings, lastMinute, env);
    EXPECT_EQ(env.timers.empty(), settings.Enable == 0) << "armed again while enabled";
    std::string heard;
    for (size_t i = played; i < env.played.size(); ++i) heard += Narrow(env.played[i].c_str());
    for (size_t i = strikes; i < env.strikes.size(); ++i)
        heard += Narrow(env.strikes[i].waveName.c_str()) + " x" + std::to_string(env.strikes[i].strokes);
    for (size_t i = scaled; i < env.scaled.size(); ++i)
        heard += Narrow(env.scaled[i].waveName.c_str()) + " x" + std::to_string(env.scaled[i].strokes) + " at " +
                 std::to_string(env.scaled[i].volume);
    return heard;
}

} // namespace

TEST(OptionalKeys, VolumeIsZeroToHundredAndAnythingElsePlaysAtFull) {
    const struct { const wchar_t* text; int32_t volume; } rows[] = {
        {L"50", 50}, {L"0", 0}, {L"100", 100}, {L" 7\t", 7}, {L"007", 7},
        // Malformed: the file as it is, never silence.
        {L"", 100}, {L"101", 100}, {L"-5", 100}, {L"+5", 100}, {L"50%", 100}, {L"5 0", 100},
        {L"half", 100}, {L"99999999999999999999", 100},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "\"" << Narrow(row.text) << "\"");
        EXPECT_EQ(ParseVolume(row.text), row.volume);
        EXPECT_EQ(ParseVolume(Narrow(row.text).c_str()), row.volume);
    }
}

TEST(OptionalKeys, OnTheSecondIsOneAndAnythingElseKeepsTheDefaultTiming) {
    const struct { const wchar_t* text; bool on; } rows[] = {
        {L"1", true}, {L" 1\t", true}, {L"", false}, {L"0", false}, {L"01", false}, {L"1 1", false},
        {L"yes", false}, {L"10", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "\"" << Narrow(row.text) << "\"");
        EXPECT_EQ(ParseOnTheSecond(row.text), row.on);
        EXPECT_EQ(ParseOnTheSecond(Narrow(row.text).c_str()), row.on);
    }
}

TEST(OptionalKeys, QuietDaysAreEnglishNamesAndAnythingMalformedIsNone) {
    constexpr unsigned Weekend = 1u << Sat | 1u << Sun;
    const struct { const wchar_t* text; unsigned days; } rows[] = {
        {L"Sat,Sun", Weekend}, {L"sat sun", Weekend}, {L" SUN , ,\tsAt ", Weekend},
        {L"Saturday, Sunday", Weekend}, {L"Wed", 1u << Wed}, {L"Mon,Mon", 1u << Mon},
        {L"Sun,Mon,Tue,Wed,Thu,Fri,Sat", 0x7Fu}, {L"", 0},
        // Malformed: no quiet days at all.
        {L"Sat,Sunny", 0}, {L"Sa", 0}, {L"Satur", 0}, {L"Sat;Sun", 0}, {L"Sat,1", 0}, {L"Samstag", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "\"" << Narrow(row.text) << "\"");
        EXPECT_EQ(ParseQuietDays(row.text), row.days);
        EXPECT_EQ(ParseQuietDays(Narrow(row.text).c_str()), row.days);
    }
}

TEST(MomentSounds, EachMomentHasItsSoundAndTheHourKeepsItsStrokes) {
    ChimeSettings hourOnly = Settings(3600, 1);
    std::wcscpy(hourOnly.Sounds.HourWaveName, L"hour.wav");
    ChimeSettings onceTower = Tower(900);
    onceTower.SignalType = 0;
    ChimeSettings none = Tower(NoChime);
    ChimeSettings disabled = Tower(3600);
    disabled.Enable = 0;
    const struct { const char* what; ChimeSettings settings; int minute; const char* heard; } rows[] = {
        {"tower", Tower(3600), 0, "hour.wav x10"},
        {"tower", Tower(3600), 15, "quarter.wav x1"},  // the interval alone would be silent
        {"tower", Tower(3600), 30, "half.wav x1"},
        {"tower", Tower(3600), 45, "quarter.wav x1"},
        {"tower", Tower(3600), 20, ""},
        {"tower every 5", Tower(300), 5, "chime.wav x10"},  // not a moment: as always
        {"hour only", hourOnly, 0, "hour.wav x10"},
        {"hour only", hourOnly, 30, ""},
        {"once", onceTower, 0, "hour.wav"},
        {"once", onceTower, 45, "quarter.wav"},
        {"interval None", none, 15, ""},
        {"interval None", none, 0, ""},
        {"disabled", disabled, 15, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.what << " at 10:" << row.minute);
        FakeChimeEnvironment env;
        EXPECT_EQ(SoundAt(row.settings, row.minute, env), row.heard);
    }
}

TEST(ModuleVolume, BelowFullPlaysScaledAndWhatCannotBeScaledAsItIs) {
    const struct { int32_t volume; bool scalable; int32_t signalType; const char* heard; } rows[] = {
        {100, true, 1, "chime.wav x10"},          // full volume: the calls of old
        {100, true, 0, "chime.wav"},
        {50, true, 1, "chime.wav x10 at 50"},
        {50, true, 0, "chime.wav x1 at 50"},      // one chime: one stroke from memory
        {0, true, 1, "chime.wav x10 at 0"},       // the player skips it
        {50, false, 1, ""},                       // no image: ten strokes never heard as one
        {50, false, 0, "chime.wav"},              // a single chime by name, as it is
        {0, false, 0, "chime.wav"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.volume << (row.scalable ? " scalable" : " not scalable") << " type "
                                          << row.signalType);
        FakeChimeEnvironment env;
        env.scalable = row.scalable;
        ChimeSettings settings = Settings(3600, row.signalType);
        settings.Sounds.Volume = row.volume;
        EXPECT_EQ(SoundAt(settings, 0, env), row.heard);
    }
}

TEST(QuietDays, SilenceTheirDaysByTheClockOfTheChimeMinute) {
    const struct { const wchar_t* days; Day clockDay; int hour, minute, second, ms; bool sounds; } rows[] = {
        {L"Sat,Sun", Sat, 10, 0, 0, 4, false},
        {L"Sat,Sun", Sun, 23, 0, 0, 4, false},
        {L"Sat,Sun", Mon, 0, 0, 0, 4, true},
        {L"Wed", Tue, 23, 59, 59, 950, false},  // fired early: waits into Wednesday's 00:00
        {L"Tue", Tue, 23, 59, 59, 950, true},
        {L"Sat,Sunny", Sat, 10, 0, 0, 4, true},  // malformed: no quiet days
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << Narrow(row.days) << " day " << row.clockDay << " " << row.hour << ":"
                                          << row.minute);
        ChimeSettings settings = Settings(3600, 1);
        settings.Quiet.Days = ParseQuietDays(row.days);
        FakeChimeEnvironment env;
        env.SetDay(row.clockDay);
        env.SetClock(row.hour, row.minute, row.second, row.ms);
        int16_t lastMinute = 59;
        ChimeTick(settings, lastMinute, env);
        EXPECT_EQ(lastMinute, 0);
        EXPECT_EQ(env.strikes.size(), row.sounds ? 1u : 0u);
        EXPECT_EQ(env.activityQueries, 0) << "days alone never ask for the user's state";
    }
}
