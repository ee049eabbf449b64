// What qvdoc asks of z64EVEZE.dll: the release rules, conversion, packing and property
// writes. Only the Windows build has these (library_windows.cpp); the native build hands
// every subcommand that needs them to the Windows build under Wine (delegation.h).
#pragma once

#include "document_reading.h"

#include <optional>
#include <string>
#include <vector>

namespace qvdoc {

struct VersionInfo {
    std::string text;    // the version text the document holds ("8.98")
    double number = 0.0; // that text as a number
    std::string release; // the release label people use ("2025.00"), empty when none
    bool known = false;  // whether the number is a plausible version at all
};

struct ReleaseRow {
    double version = 0.0;
    std::string label;
};

enum class ValueType { text, integer, unsignedInteger, flag, real, date, guid };

struct PropertyWrite {
    std::string name;
    ValueType type = ValueType::text;
    std::string value; // as given on the command line
};

// Reports the progress of long work; does nothing unless standard error is a terminal.
class Progress;

[[nodiscard]] std::optional<Failure> readVersion(const std::string& path, VersionInfo* info);
[[nodiscard]] std::optional<Failure> releaseCatalogue(std::vector<ReleaseRow>* rows);
// Converts a flat document in place; `*converted` is false for a compound one.
[[nodiscard]] std::optional<Failure> convertDocument(const std::string& path, bool* converted,
                                                     Progress& progress);
[[nodiscard]] std::optional<Failure> packFile(const std::string& path, const std::string& stream,
                                              const std::string& file, Progress& progress);
[[nodiscard]] std::optional<Failure> unpackFile(const std::string& path, const std::string& stream,
                                                const std::string& file, Progress& progress);
[[nodiscard]] std::optional<Failure> writeProperty(const std::string& path,
                                                   const PropertyWrite& write, Progress& progress);
[[nodiscard]] std::optional<Failure> deleteProperty(const std::string& path,
                                                    const std::string& name, Progress& progress);

} // namespace qvdoc
