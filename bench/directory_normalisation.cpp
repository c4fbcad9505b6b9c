// Benchmark 2: the working-directory rewrite in units per nanosecond, against
// a plain copy of the same strings. The rewrite works in place, so both loops
// first copy each input into the same scratch buffer; the measured loop then
// rewrites it, the baseline loop does nothing more. The copy is thus in both,
// and so it is in create, which always rewrites its own copy.
#include <string.h>

#include <algorithm>
#include <vector>

#include "bench.h"
#include "clock.h"
#include "directory_corpus.h"
#include "internal.h"

namespace bench {

namespace {

constexpr int ROUNDS = 41;
constexpr int PASSES_PER_ROUND = 1500;
constexpr double UNITS_PER_NS_GOAL = 1.0;
constexpr int BREAKDOWN_ROUNDS = 11;
constexpr int BREAKDOWN_CALLS = 2000;

struct Corpus {
    std::vector<std::u16string> texts;
    size_t units = 0;    // per pass, terminators not counted
    size_t longest = 0;  // in units, terminator included
};

Corpus loadCorpus() {
    Corpus corpus;
    corpus.texts = directoryCorpus();
    for (const std::u16string &text : corpus.texts) {
        corpus.units += text.size();
        corpus.longest = std::max(corpus.longest, text.size() + 1);
    }
    return corpus;
}

// Keeps the compiler from dropping a copy whose result nothing reads.
inline void touched(void *buffer) {
    asm volatile("" : : "r"(buffer) : "memory");
}

int64_t timeCopies(const Corpus &corpus, jchar *scratch) {
    const int64_t start = ticks();
    for (int pass = 0; pass < PASSES_PER_ROUND; ++pass) {
        for (const std::u16string &text : corpus.texts) {
            memcpy(scratch, text.c_str(), (text.size() + 1) * sizeof(jchar));
            touched(scratch);
        }
    }
    return ticks() - start;
}

int64_t timeRewrites(const Corpus &corpus, jchar *scratch) {
    const int64_t start = ticks();
    for (int pass = 0; pass < PASSES_PER_ROUND; ++pass) {
        for (const std::u16string &text : corpus.texts) {
            memcpy(scratch, text.c_str(), (text.size() + 1) * sizeof(jchar));
            touched(scratch);
            normalizeWorkingDirectory(scratch);
            touched(scratch);
        }
    }
    return ticks() - start;
}

// Nanoseconds per call for one directory, the best of several rounds: the
// breakdown shows where the time of the whole corpus goes, so it takes the
// undisturbed cost rather than the typical one.
double bestNanosecondsPerCall(const std::u16string &text, jchar *scratch, bool rewrite) {
    double best = 1e30;
    for (int round = 0; round < BREAKDOWN_ROUNDS; ++round) {
        const int64_t start = ticks();
        for (int call = 0; call < BREAKDOWN_CALLS; ++call) {
            memcpy(scratch, text.c_str(), (text.size() + 1) * sizeof(jchar));
            touched(scratch);
            if (rewrite) {
                normalizeWorkingDirectory(scratch);
                touched(scratch);
            }
        }
        best = std::min(best, ticksToNanoseconds(ticks() - start) / BREAKDOWN_CALLS);
    }
    return best;
}

std::string printable(const std::u16string &text) {
    std::string result;
    for (size_t i = 0; i < text.size() && i < 36; ++i) {
        result += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    return text.size() > 36 ? result + "..." : result;
}

void printBreakdown(const Corpus &corpus, jchar *scratch) {
    say("  per directory, best of %d rounds of %d calls:\n", BREAKDOWN_ROUNDS, BREAKDOWN_CALLS);
    say("    %5s %12s %9s %15s  %s\n", "units", "copy+rewrite", "copy", "rewrite alone", "text");
    for (const std::u16string &text : corpus.texts) {
        const double both = bestNanosecondsPerCall(text, scratch, true);
        const double copy = bestNanosecondsPerCall(text, scratch, false);
        say("    %5u %9.1f ns %6.1f ns %6.2f units/ns  %s\n", static_cast<unsigned>(text.size()),
            both, copy, static_cast<double>(text.size()) / (both - copy), printable(text).c_str());
    }
}

double unitsPerNanosecond(const Corpus &corpus, int64_t elapsed) {
    const double units = static_cast<double>(corpus.units) * PASSES_PER_ROUND;
    return units / ticksToNanoseconds(elapsed);
}

}  // namespace

void runDirectoryNormalisation(Report &report) {
    say("\n[2] Working-directory normalisation\n");
    const Corpus corpus = loadCorpus();
    say("  corpus: %u directories, %u units a pass; %d rounds of %d passes\n",
        static_cast<unsigned>(corpus.texts.size()), static_cast<unsigned>(corpus.units), ROUNDS,
        PASSES_PER_ROUND);
    std::vector<jchar> scratch(corpus.longest);
    std::vector<double> rewrite, copy, rewriteAlone, ratio;
    timeRewrites(corpus, scratch.data());
    for (int round = 0; round < ROUNDS; ++round) {
        int64_t rewriteTicks, copyTicks;
        if (round % 2 == 0) {
            rewriteTicks = timeRewrites(corpus, scratch.data());
            copyTicks = timeCopies(corpus, scratch.data());
        } else {
            copyTicks = timeCopies(corpus, scratch.data());
            rewriteTicks = timeRewrites(corpus, scratch.data());
        }
        rewrite.push_back(unitsPerNanosecond(corpus, rewriteTicks));
        copy.push_back(unitsPerNanosecond(corpus, copyTicks));
        rewriteAlone.push_back(unitsPerNanosecond(corpus, rewriteTicks - copyTicks));
        ratio.push_back(static_cast<double>(rewriteTicks) / static_cast<double>(copyTicks));
    }
    printBreakdown(corpus, scratch.data());
    report.add({"directory normalisation, copy + rewrite", "units/ns", summarise(rewrite),
                atLeast(UNITS_PER_NS_GOAL), 2});
    report.add({"  the rewrite alone (minus the copy)", "units/ns", summarise(rewriteAlone),
                atLeast(UNITS_PER_NS_GOAL), 2});
    report.add({"  plain copy of the same strings", "units/ns", summarise(copy), NO_GOAL, 2});
    report.add({"  copy + rewrite time / copy time", "x", summarise(ratio), NO_GOAL, 2});
}

}  // namespace bench
