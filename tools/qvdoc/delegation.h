// The native build hands the subcommands that need z64EVEZE.dll (the release rules,
// conversion, packing, property writes) to the Windows build, run under Wine.
#pragma once

namespace qvdoc {

// Whether the Windows build and Wine are both at hand.
[[nodiscard]] bool windowsBuildAvailable();

// Runs the Windows build with the same arguments and returns its exit code; returns
// exit_code::needsLibrary with a message when it is not at hand.
[[nodiscard]] int runWindowsBuild(int argc, char** argv);

} // namespace qvdoc
