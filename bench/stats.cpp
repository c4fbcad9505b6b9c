// Medians rather than means: a process launch under Wine now and then takes
// several times its usual time (the wineserver is shared with every other
// Wine program on the machine), and one such outlier would move a mean.
#include "stats.h"

#include <math.h>

#include <algorithm>

namespace bench {

namespace {

// Linear interpolation between the closest ranks of a sorted list.
double quantile(const std::vector<double> &sorted, double p) {
    const double position = p * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    const double weight = position - static_cast<double>(below);
    return sorted[below] * (1.0 - weight) + sorted[above] * weight;
}

// The ranks n/2 -+ 0.98 sqrt(n) bracket the median with about 95% coverage
// whatever the distribution (normal approximation of the binomial).
void medianInterval(const std::vector<double> &sorted, Summary *summary) {
    const double n = static_cast<double>(sorted.size());
    const double half = 0.98 * sqrt(n);
    const long low = static_cast<long>(floor(n / 2.0 - half));
    const long high = static_cast<long>(ceil(n / 2.0 + half)) - 1;
    const long last = static_cast<long>(sorted.size()) - 1;
    summary->medianLow = sorted[static_cast<size_t>(std::max(0L, low))];
    summary->medianHigh = sorted[static_cast<size_t>(std::min(last, high))];
}

}  // namespace

Summary summarise(std::vector<double> values) {
    Summary summary{};
    summary.count = values.size();
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    summary.median = quantile(values, 0.5);
    summary.q1 = quantile(values, 0.25);
    summary.q3 = quantile(values, 0.75);
    summary.min = values.front();
    summary.max = values.back();
    medianInterval(values, &summary);
    return summary;
}

}  // namespace bench
