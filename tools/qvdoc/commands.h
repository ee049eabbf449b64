// The subcommands of qvdoc, their help texts and the parsing of their arguments.
#pragma once

#include <string>
#include <vector>

namespace qvdoc {

// Runs qvdoc with `arguments` (UTF-8, without the program name); returns the exit code.
[[nodiscard]] int runCommandLine(const std::vector<std::string>& arguments);

// Whether the subcommand named first in `arguments` needs z64EVEZE.dll for these arguments.
[[nodiscard]] bool needsLibrary(const std::vector<std::string>& arguments);

} // namespace qvdoc
