#pragma once
// A clock that only moves when told to (or when the scheduler sleeps), and a
// timer and sound player that record what they were asked to do, and a user
// whose state the test sets.
#include "scheduler/ChimeTick.h"

#include <string>
#include <vector>

namespace tolltone::fakes {

struct Strike {
    int strokes;
    std::wstring waveName;
};

class FakeChimeEnvironment final : public ChimeEnvironment {
public:
    void SetClock(int hour, int minute, int second, int millisecond = 0) {
        msOfDay_ = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    }
    void Advance(int milliseconds) { msOfDay_ += milliseconds; }

    LocalClockReading Now() override {
        const int seconds = (msOfDay_ / 1000) % 86400;
        return {seconds / 3600, seconds / 60 % 60, seconds % 60};
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
    std::vector<std::string> events;

private:
    int msOfDay_ = 0;
};

} // namespace tolltone::fakes
