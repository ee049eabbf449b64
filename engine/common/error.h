// One place through which every layer of the engine reports a failure it detects.
//
// Corruption found in a file is reported with a message that names the numbers involved
// ("FAT entry 812 points past the last sector 640"), kept per thread so that a caller or a
// test can say precisely what was wrong without the engine ever printing anything.
#pragma once

#include "common/status.h"

#include <string>
#include <type_traits>
#include <string_view>

namespace engine {

// Records `message` as the calling thread's last failure and returns `code`, so that a
// layer can write `return fail(Status::docfileCorrupt, describe(...));`.
[[nodiscard]] Status fail(Status code, std::string message);

// The message of the calling thread's last failure, or an empty text.
[[nodiscard]] const std::string& lastFailureMessage();

void clearLastFailure();

// Builds a message from text pieces and integers: describe("sector ", 12, " is past ", 10).
template <typename... Pieces>
[[nodiscard]] std::string describe(const Pieces&... pieces) {
    std::string text;
    auto append = [&text](const auto& piece) {
        using Piece = std::decay_t<decltype(piece)>;
        if constexpr (std::is_arithmetic_v<Piece>)
            text += std::to_string(piece);
        else
            text += std::string_view(piece);
    };
    (append(pieces), ...);
    return text;
}

} // namespace engine
