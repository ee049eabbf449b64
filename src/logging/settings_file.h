// The library's directory and its settings file "tq.ver" beside it.
#pragma once

#include <string>

namespace z64::logging {

// The folder of this library's own file, with its trailing backslash (a path without any
// backslash is kept whole).
[[nodiscard]] std::string libraryDirectory();

// The path of the settings file: the library directory followed by "tq.ver".
[[nodiscard]] std::string settingsFilePath();

} // namespace z64::logging
