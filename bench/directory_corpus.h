// Working directories as Java programs hand them to create: short and long
// (past the 260-unit MAX_PATH), network shares, device paths, drive roots,
// trailing separators and spaces, forward slashes, non-ASCII names.
#ifndef QUILL_BENCH_DIRECTORY_CORPUS_H
#define QUILL_BENCH_DIRECTORY_CORPUS_H

#include <string>
#include <vector>

namespace bench {

std::vector<std::u16string> directoryCorpus();

}  // namespace bench

#endif
