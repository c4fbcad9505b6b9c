// The JNI operations that one create call makes, timed alone on the host's
// stand-in VM: the share of the library's own cost per launch that belongs
// to the stand-in rather than to the library.
#ifndef QUILL_BENCH_CREATE_JNI_TRAFFIC_H
#define QUILL_BENCH_CREATE_JNI_TRAFFIC_H

#include <string>

#include "stats.h"

namespace bench {

// Microseconds per launch, one value per round.
Summary timeCreateJniTraffic(const std::u16string &commandLine, const std::u16string &directory);

}  // namespace bench

#endif
