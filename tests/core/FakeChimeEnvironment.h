#pragma once
// A clock that only moves when told to (or when the scheduler sleeps), and a
// timer and sound player that record what they were asked to do, and a user
// whose state the test sets. The clock's day is a Tuesday unless told.
#include "scheduler/ChimeTick.h"

#include <string>
#include <vector>

namespace tolltone::fakes {

struct Strike {
    int strokes;
    std::wstring waveName;
};

struct ScaledPlay {
    int strokes;
    std::wstring waveName;
    int32_t volume;
};

class FakeChimeEnvironment final : public ChimeEnvironment {
public:
    void SetClock(int hour, int minute, int second, int millisecond = 0) {
        msOfDay_ = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    }
    void Advance(int milliseconds) { msOfDay_ += milliseconds; }
    void SetDay(int dayOfWeek) { day_ = dayOfWeek; }  // of the clock's day 0; 0 = Sunday

    LocalClockReading Now() override {
        const int seconds = (msOfDay_ / 1000) % 86400;
        return {seconds / 3600, seconds / 60 % 60, seconds % 60, (day_ + msOfDay_ / 86400000) % 7};
    }
    void Sleep(unsigned milliseconds) override {
        ++sleeps;
        Advance(static_cast<int>(milliseconds));
    }
    void SetChimeTimer(unsigned elapseMs) override {
        timers.push_back(elapseMs);
        events.push_back("set");
    }
    void KillChimeTimer() override { events.push_back("kill"); }
    void PlayOnce(const wchar_t* waveName) override {
        played.emplace_back(waveName);
        events.push_back("play");
    }
    bool StartStrikes(int strokes, const wchar_t* waveName) override {
        strikes.push_back({strokes, waveName});
        events.push_back("strike");
        return true;
    }
    bool PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) override {
        if (!scalable) return false;
        scaled.push_back({strokes, waveName, volume});
        events.push_back("scaled");
        return true;
    }
    UserActivity QueryUserActivity() override {
        ++activityQueries;
        return activity;
    }

    UserActivity activity;  // what the platform reports about the user
    int activityQueries = 0;
    int sleeps = 0;
    std::vector<unsigned> timers;
    std::vector<std::wstring> played;
    std::vector<Strike> strikes;
    std::vector<ScaledPlay> scaled;
    bool scalable = true;  // whether the sounds are files the module can scale
    std::vector<std::string> events;

private:
    int msOfDay_ = 0;
    int day_ = 2;
};

} // namespace tolltone::fakes
