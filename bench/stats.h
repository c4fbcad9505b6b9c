// Order statistics of repeated measurements: the median as the figure, the
// quartiles and the extremes as its spread.
#ifndef QUILL_BENCH_STATS_H
#define QUILL_BENCH_STATS_H

#include <stddef.h>

#include <vector>

namespace bench {

struct Summary {
    size_t count;
    double median;
    double q1;  // 25th percentile
    double q3;  // 75th percentile
    double min;
    double max;
    // A distribution-free 95% confidence interval of the median, from the
    // order statistics; as wide as min..max when there are too few values.
    double medianLow;
    double medianHigh;
};

Summary summarise(std::vector<double> values);

}  // namespace bench

#endif
