// statistics.cpp -- summary figures of a list of measurements; see statistics.h.
#include "util/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0.0;
    double clamped = std::clamp(p, 0.0, 100.0);
    double rank = clamped / 100.0 * static_cast<double>(sorted.size() - 1);
    size_t below = static_cast<size_t>(std::floor(rank));
    size_t above = std::min(below + 1, sorted.size() - 1);
    double fraction = rank - static_cast<double>(below);
    // Equal neighbours (also two infinite values) need no interpolation.
    if (fraction == 0.0 || sorted[above] == sorted[below]) return sorted[below];
    return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

Summary summarise(std::vector<double> values) {
    Summary summary;
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    if (values.empty()) return summary;
    std::sort(values.begin(), values.end());
    summary.count = static_cast<int>(values.size());
    summary.min = values.front();
    summary.max = values.back();
    summary.median = percentile(values, 50.0);
    summary.p95 = percentile(values, 95.0);
    double sum = 0.0;
    for (double value : values) sum += value;
    summary.mean = sum / static_cast<double>(values.size());
    return summary;
}

double spread(const std::vector<double>& values) {
    double smallest = std::numeric_limits<double>::infinity(), largest = -smallest;
    int count = 0;
    for (double v : values) {
        if (std::isnan(v)) continue;
        smallest = std::min(smallest, v);
        largest = std::max(largest, v);
        ++count;
    }
    if (count < 2 || largest == smallest) return 0.0;
    if (smallest <= 0.0) return std::numeric_limits<double>::infinity();
    return largest / smallest - 1.0;
}
