// What the benchmarks ran on, as the program itself can see it: the Wine
// version and its host system, the processors, the clock.
#ifndef QUILL_BENCH_MACHINE_H
#define QUILL_BENCH_MACHINE_H

#include <string>

namespace bench {

std::string describeMachine();

}  // namespace bench

#endif
