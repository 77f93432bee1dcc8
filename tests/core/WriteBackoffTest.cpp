// Refused writes retried after 1, 2, 4 … 60 minutes, at once when the file changed.
#include "settings/WriteBackoff.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolltone;

namespace {

// A check each minute, as a letter: 'r' where a due retry is refused, 'o' where
// it goes through (or fails for a reason a read tells), 'c' where the file has
// changed and a due retry is refused. Gives 'R' for each check that was due and
// '-' for each that waited.
std::string DueChecks(const std::string& minutes) {
    WriteBackoff backoff;
    std::string due;
    for (const char minute : minutes) {
        const bool now = backoff.Due(minute == 'c');
        due += now ? 'R' : '-';
        if (!now) continue;
        if (minute == 'o') backoff.Reset();
        else backoff.Refused();
    }
    return due;
}

} // namespace

TEST(WriteBackoff, RefusedRetriesWaitTwiceAsLongEachTime) {
    EXPECT_EQ(DueChecks(std::string(16, 'r')), "RR-R---R-------R");
}

TEST(WriteBackoff, TheWaitStopsGrowingAtAnHour) {
    WriteBackoff backoff;
    std::string waits;
    for (int refusal = 0; refusal < 9; ++refusal) {
        backoff.Refused();
        waits += std::to_string(backoff.WaitMinutes()) + " ";
    }
    EXPECT_EQ(waits, "1 2 4 8 16 32 60 60 60 ");
    // Once at the cap, a retry comes every 60 minutes exactly.
    for (int round = 0; round < 2; ++round) {
        for (int minute = 1; minute < 60; ++minute) ASSERT_FALSE(backoff.Due(false)) << minute;
        ASSERT_TRUE(backoff.Due(false));
        backoff.Refused();
    }
}

TEST(WriteBackoff, AChangedFileOrAGoodRetryStartsOver) {
    const struct { const char* minutes; const char* due; } rows[] = {
        {"rrrrc", "RR-RR"},          // changed while waiting 4: due at once
        {"rrrrrcrr", "RR-R-RR-"},    // refused after the change: 1, then 2 minutes again
        {"rrcrr", "RRRR-"},          // the change at a check that waited 1 of 2
        {"rrrrrrrorr", "RR-R---RRR"},  // went through: next minute, then 1 minute, not 8
    };
    for (const auto& row : rows) EXPECT_EQ(DueChecks(row.minutes), row.due) << row.minutes;
}
