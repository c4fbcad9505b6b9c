// The number of handles open in this process, to prove that a benchmark
// left none behind.
#ifndef QUILL_BENCH_HANDLE_COUNT_H
#define QUILL_BENCH_HANDLE_COUNT_H

namespace bench {

struct HandleCount {
    long count;  // -1 when no source could count
    const char *source;
};

HandleCount processHandleCount();

}  // namespace bench

#endif
