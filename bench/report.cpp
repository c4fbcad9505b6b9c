// Printing the figures: every ratio beside its goal, so a reader of the
// output needs nothing else to see what was met.
#include "report.h"

#include <stdarg.h>
#include <stdio.h>

namespace bench {

namespace {

std::string number(double value, int decimals) {
    char text[64];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string range(double low, double high, int decimals) {
    return number(low, decimals) + "-" + number(high, decimals);
}

}  // namespace

void say(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
    fflush(stdout);
}

// A median that meets its goal while its confidence interval reaches past
// it has not shown the goal met; the verdict says so.
std::string verdict(const Figure &figure) {
    const Summary &s = figure.summary;
    const double limit = figure.goal.limit;
    switch (figure.goal.kind) {
        case Goal::AT_MOST:
            if (s.median > limit) {
                return "missed by " + number((s.median / limit - 1.0) * 100.0, 1) + "%";
            }
            return s.medianHigh <= limit ? "met" : "met, 95% CI reaches " + number(s.medianHigh, 3);
        case Goal::AT_LEAST:
            if (s.median < limit) {
                return "missed by " + number((1.0 - s.median / limit) * 100.0, 1) + "%";
            }
            return s.medianLow >= limit ? "met" : "met, 95% CI reaches " + number(s.medianLow, 3);
        case Goal::NONE:
            break;
    }
    return "-";
}

std::string goalText(const Figure &figure) {
    switch (figure.goal.kind) {
        case Goal::AT_MOST:
            return "<= " + number(figure.goal.limit, 2);
        case Goal::AT_LEAST:
            return ">= " + number(figure.goal.limit, 2);
        case Goal::NONE:
            break;
    }
    return "-";
}

void Report::add(const Figure &figure) {
    figures_.push_back(figure);
    const Summary &s = figure.summary;
    const int d = figure.decimals;
    say("  %-48s median %s %s  IQR %s  min-max %s  95%% CI %s  (n=%u)  goal %s: %s\n",
        figure.name.c_str(), number(s.median, d).c_str(), figure.unit.c_str(),
        range(s.q1, s.q3, d).c_str(), range(s.min, s.max, d).c_str(),
        range(s.medianLow, s.medianHigh, d).c_str(), static_cast<unsigned>(s.count),
        goalText(figure).c_str(), verdict(figure).c_str());
}

void Report::check(const std::string &name, bool passed, const std::string &detail) {
    checks_.push_back(Check{name, passed, detail});
    say("  check %-42s %s (%s)\n", name.c_str(), passed ? "passed" : "FAILED", detail.c_str());
}

void Report::printSummary() const {
    say("\n%-50s %12s %-9s %-21s %-21s %-8s %s\n", "figure", "median", "unit", "IQR", "min-max",
        "goal", "verdict");
    for (const Figure &figure : figures_) {
        const Summary &s = figure.summary;
        const int d = figure.decimals;
        say("%-50s %12s %-9s %-21s %-21s %-8s %s\n", figure.name.c_str(),
            number(s.median, d).c_str(), figure.unit.c_str(), range(s.q1, s.q3, d).c_str(),
            range(s.min, s.max, d).c_str(), goalText(figure).c_str(), verdict(figure).c_str());
    }
    for (const Check &check : checks_) {
        say("check: %-43s %s (%s)\n", check.name.c_str(), check.passed ? "passed" : "FAILED",
            check.detail.c_str());
    }
}

bool Report::checksPassed() const {
    for (const Check &check : checks_) {
        if (!check.passed) {
            return false;
        }
    }
    return true;
}

}  // namespace bench
