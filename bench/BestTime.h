#pragma once
// Best time of one call, over batches of `batch` calls for at least 0.2 s: the
// least disturbed batch is the closest to the call's own cost.
#include <algorithm>
#include <chrono>
#include <functional>

template <class Period>
double BestTime(const std::function<void()>& call, int batch) {
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    const auto start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < 0.2) {
        const auto t0 = Clock::now();
        for (int i = 0; i < batch; ++i) call();
        best = std::min(best, std::chrono::duration<double, Period>(Clock::now() - t0).count() / batch);
    }
    return best;
}
