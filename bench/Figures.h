#pragma once

#include <algorithm>
#include <vector>

// Median, 99th percentile and maximum of a set of measurements.
struct Figures {
    double median = 0, p99 = 0, max = 0;
};

inline Figures Of(std::vector<double> values) {
    Figures f;
    if (values.empty()) return f;
    std::sort(values.begin(), values.end());
    f.median = values[values.size() / 2];
    f.p99 = values[std::min(values.size() - 1, (values.size() * 99 + 99) / 100 - 1)];
    f.max = values.back();
    return f;
}
