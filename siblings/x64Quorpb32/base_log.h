// The base library's own log file, shared by every process of the application.
#pragma once

#include <string_view>

namespace quorpb {

// Appends one entry; the text is kept on one line (line breaks become spaces).
[[nodiscard]] bool appendLogEntry(std::string_view tag, int level, std::string_view text);

} // namespace quorpb
