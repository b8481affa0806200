#pragma once

// Timing helpers the benchmarks share: milliseconds of a duration, and the median and worst of
// a set of runs.

#include <algorithm>
#include <chrono>
#include <vector>

namespace qrn::bench {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
    double median, worst;
};

inline Figures figures(std::vector<double> t)
{
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.back()};
}

} // namespace qrn::bench
