// Timing helpers for the benchmarks: alternate candidate and baseline, keep
// the minimum, report the spread.
#ifndef ZORVEL_BENCH_SUPPORT_H
#define ZORVEL_BENCH_SUPPORT_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zorvel::bench {

struct Timing {
    double min = 0;     // seconds
    double median = 0;  // seconds
    double spread = 0;  // (median - min) / min
};

inline Timing summarize(std::vector<double> t) {
    std::sort(t.begin(), t.end());
    Timing s;
    s.min = t.front();
    s.median = t[t.size() / 2];
    s.spread = (s.median - s.min) / s.min;
    return s;
}

inline double seconds(const std::function<void()>& f) {
    const auto a = std::chrono::steady_clock::now();
    f();
    const auto b = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(b - a).count();
}

// Runs candidate and baseline alternately `rounds` times each.
inline std::pair<Timing, Timing> paired(int rounds, const std::function<void()>& candidate,
                                        const std::function<void()>& baseline) {
    std::vector<double> c, b;
    for (int k = 0; k < rounds; ++k) {
        c.push_back(seconds(candidate));
        b.push_back(seconds(baseline));
    }
    return {summarize(c), summarize(b)};
}

}  // namespace zorvel::bench

#endif
