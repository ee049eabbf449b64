// libFuzzer target: opens arbitrary bytes as a compound file, walks and reads everything,
// then changes and commits it. Built and run by engine/fuzz/run.
#include "fuzz/cfb_walk.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    engine::cfb::fuzz::exercise(data, size);
    return 0;
}
