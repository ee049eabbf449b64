// A strict checker of whole compound files, stricter than the reader: it accepts only files
// that are exactly as this engine means to write them. Every file the tests write goes
// through it.
//
// It checks the header (remarking on the fields that only should hold a value), that the DIFAT
// locates every FAT sector, that each FAT and DIFAT sector is marked as such, that every chain
// (directory, mini FAT, mini stream, streams) is well formed and exactly as long as its size needs,
// that no sector or mini sector belongs to two owners, that no allocated sector or mini sector is
// left without an owner, that the range-lock sector is never allocated, and that each storage's
// children form a red-black tree in the directory's name order whose depth is at most 2*log2(n+1).
#pragma once

#include "cfb/byte_array.h"

#include <string>
#include <vector>

namespace engine::cfb {

// Returns Status::ok when the file passes, otherwise Status::docfileCorrupt with the first
// problem as the failure message; `problems` (optional) receives every problem found.
// `remarks` (optional) receives what differs from how this engine writes but is no damage,
// such as a header field that readers accept in any state (see headerRemarks).
// `balance` (optional) keeps apart what only concerns the balance of the sibling trees
// (colours, black heights, depth): other writers leave trees that are in name order but not
// balanced, which every reader follows all the same. Without it those findings are damage.
[[nodiscard]] Status validateFile(ByteArray& bytes, std::vector<std::string>* problems = nullptr,
                                  std::vector<std::string>* remarks = nullptr,
                                  std::vector<std::string>* balance = nullptr);

} // namespace engine::cfb
