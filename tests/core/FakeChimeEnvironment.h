#pragma once
// A clock that only moves when told to (or when the scheduler sleeps), an
// awake count that moves with it but for SetClock and MoveClock, and a timer
// and sound player that record what they were asked to do, and a user whose
// state the test sets. The clock's day is a Tuesday unless told.
#include "scheduler/ChimeTick.h"
#include "scheduler/SignalTick.h"

#include <map>
#include <set>
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

struct MarkedPlay {
    int strokes;
    std::wstring waveName;
    int32_t volume;
    uint64_t boundaryMs;
    uint64_t atMs;  // when it was asked
};

class FakeChimeEnvironment final : public ChimeEnvironment {
public:
    void SetClock(int hour, int minute, int second, int millisecond = 0) {
        msOfDay_ = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    }
    void Advance(int milliseconds) {
        msOfDay_ += milliseconds;
        awakeMs_ += static_cast<uint64_t>(milliseconds);
    }
    // The clock set, or a sleep: the clock moves, the awake count does not.
    void MoveClock(int milliseconds) { msOfDay_ += milliseconds; }
    void SetDay(int dayOfWeek) { day_ = dayOfWeek; }  // of the clock's day 0; 0 = Sunday

    LocalClockReading Now() override { return ReadingAt(msOfDay_); }
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
    // A sound named in pending is still being made; one not scalable has no image.
    SoundReadiness PrepareSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) override {
        prepared.push_back({strokes, waveName, volume});
        markMs = 0;
        if (pending.count(waveName) != 0) return SoundReadiness::Pending;
        if (!scalable) return SoundReadiness::NoImage;
        const auto mark = marks.find(waveName);
        if (mark != marks.end()) markMs = mark->second;
        return SoundReadiness::Ready;
    }
    // What PrepareSound would answer for the sound last asked for; Pending for any other.
    SoundReadiness PeekSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) override {
        markMs = 0;
        if (prepared.empty() || prepared.back().strokes != strokes || prepared.back().waveName != waveName ||
            prepared.back().volume != volume)
            return SoundReadiness::Pending;
        const size_t asked = prepared.size();
        const SoundReadiness readiness = PrepareSound(strokes, waveName, volume, markMs);
        prepared.resize(asked);
        return readiness;
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

    uint64_t PreciseMs() override { return static_cast<uint64_t>(msOfDay_); }
    uint64_t AwakeMs() override { return awakeMs_; }
    bool LocalAt(uint64_t ms, LocalClockReading& reading) override {
        reading = ReadingAt(static_cast<int>(ms) + zoneMs);
        return localKnown && ++localReads != failingLocalRead;
    }
    bool PlayMarked(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundaryMs) override {
        if (!scalable) return false;
        marked.push_back({strokes, waveName, volume, boundaryMs, PreciseMs()});
        events.push_back("marked");
        return true;
    }
    void StopMarked() override { events.push_back("stop"); }

    UserActivity activity;  // what the platform reports about the user
    int activityQueries = 0;
    int sleeps = 0;
    std::vector<unsigned> timers;
    std::vector<std::wstring> played;
    std::vector<Strike> strikes;
    std::vector<ScaledPlay> scaled;
    bool scalable = true;  // whether the sounds are files the module can scale
    std::vector<std::string> events;
    std::vector<MarkedPlay> marked;
    std::map<std::wstring, unsigned> marks;  // ms to each sound's mark
    std::set<std::wstring> pending;          // sounds whose image is not made yet
    std::vector<ScaledPlay> prepared;        // every image asked for
    SignalState state;                       // for the calls that do not name one
    bool localKnown = true;
    int localReads = 0, failingLocalRead = 0;  // that one read of the local time fails
    int zoneMs = 0;  // the zone's bias, for LocalAt

private:
    LocalClockReading ReadingAt(int ms) const {
        const int seconds = (ms / 1000) % 86400;
        return {seconds / 3600, seconds / 60 % 60, seconds % 60, (day_ + ms / 86400000) % 7};
    }

    int msOfDay_ = 0;
    uint64_t awakeMs_ = 1'000'000;
    int day_ = 2;
};

// The scheduler's calls with the fake's own tick state, for rows that keep none.
inline int ArmChimeTimer(const ChimeSettings& settings, FakeChimeEnvironment& env) {
    return tolltone::ArmChimeTimer(settings, env.state, env);
}
inline void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, FakeChimeEnvironment& env) {
    tolltone::ChimeTick(settings, lastMinute, env.state, env);
}

} // namespace tolltone::fakes
