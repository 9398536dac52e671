#pragma once

// Timing of work that takes microseconds, run thousands of times: the median is held against
// 1 ms; the 99th percentile shows what a busy machine adds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace orv::bench {

constexpr double kLimitMicroseconds = 1000.0;

struct Timing {
    double median = 0;
    double p99 = 0;
};

inline Timing Measure(const std::function<void()>& work, int runs) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 99 / 100]};
}

inline bool Report(const char* what, const Timing& t) {
    const bool ok = t.median < kLimitMicroseconds;
    std::printf("  %-48s median %6.1f µs  99%% %7.1f µs%s\n", what, t.median, t.p99, ok ? "" : "  OVER 1 ms");
    return ok;
}

} // namespace orv::bench
