// libFuzzer target: decodes each input into a sequence of operations on one document and
// runs it against a plain in-memory tree (fuzz/cfb_sequence.h); any difference aborts with
// a description. Built and run by engine/fuzz/run.
#include "fuzz/cfb_sequence.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = engine::cfb::fuzz::runSequence(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "the document differs from the model: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
