// The benchmarks' results: each figure with its median, its spread and the
// goal it is held to, and each correctness check; printed as one table at
// the end of the run.
#ifndef QUILL_BENCH_REPORT_H
#define QUILL_BENCH_REPORT_H

#include <string>
#include <vector>

#include "stats.h"

namespace bench {

struct Goal {
    enum Kind { NONE, AT_MOST, AT_LEAST };
    Kind kind;
    double limit;
};

constexpr Goal NO_GOAL = {Goal::NONE, 0.0};

inline Goal atMost(double limit) {
    return {Goal::AT_MOST, limit};
}

inline Goal atLeast(double limit) {
    return {Goal::AT_LEAST, limit};
}

struct Figure {
    std::string name;
    std::string unit;
    Summary summary;
    Goal goal;
    int decimals;
};

// "met", "missed by 3.1%", or "-" when the figure has no goal.
std::string verdict(const Figure &figure);

// The goal as it is printed, e.g. "<= 1.02".
std::string goalText(const Figure &figure);

class Report {
public:
    // Adds the figure and prints it at once with its spread and goal.
    void add(const Figure &figure);
    // A check that is not a time: it passes or it fails the run.
    void check(const std::string &name, bool passed, const std::string &detail);

    // The closing table of every figure and check.
    void printSummary() const;
    bool checksPassed() const;

private:
    struct Check {
        std::string name;
        bool passed;
        std::string detail;
    };
    std::vector<Figure> figures_;
    std::vector<Check> checks_;
};

// printf that reaches the terminal at once: the run is long, and a line
// held in a buffer tells nobody where it is.
void say(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace bench

#endif
