// What qvdoc reads from a document through the compound-file engine: the shape, the element
// tree, the two property sets, stream bytes and the strict validation. Both builds of the tool
// read documents this way; only writing and the release rules go through the library.
#pragma once

#include <common/status.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvdoc {

enum class Shape { flat, compound, compressed };

[[nodiscard]] const char* shapeName(Shape shape);

// A failure with the exit code the tool reports it under and a one-line message.
struct Failure {
    int exitCode = 0;
    std::string message;
};

// Exit codes, one per kind of failure; `qvdoc --help` lists them.
namespace exit_code {
inline constexpr int ok = 0;
inline constexpr int damaged = 1;
inline constexpr int usage = 2;
inline constexpr int cannotOpen = 3;
inline constexpr int notCompound = 4;
inline constexpr int notFound = 5;
inline constexpr int cannotWrite = 6;
inline constexpr int writeFailed = 7;
inline constexpr int refused = 8;
inline constexpr int needsLibrary = 9;
} // namespace exit_code

struct Element {
    std::string path; // "/" for the root, "/Storage/Stream" below it
    bool isStorage = false;
    std::uint64_t size = 0;
    std::string clsid; // "{...}", empty when null
    std::uint32_t stateBits = 0;
    std::uint64_t creationTime = 0; // FILETIME ticks
    std::uint64_t modifiedTime = 0;
};

struct PropertyValue {
    std::string set; // "summary" or "user"
    std::uint32_t id = 0;
    std::string name; // the user-defined name, or the summary-information name
    std::uint16_t type = 0;
    std::string typeName;
    std::string text; // the value as people read it
    std::optional<double> number;
    std::optional<bool> flag;
};

struct FormatInfo {
    int majorVersion = 0;
    std::uint32_t sectorSize = 0;
};

class Document;

// Opens `path` read-only. Fails for missing files, folders and unreadable files.
[[nodiscard]] std::optional<Failure> openDocument(const std::string& path,
                                                  std::unique_ptr<Document>* document);

class Document {
public:
    virtual ~Document() = default;
    [[nodiscard]] virtual Shape shape() const = 0;
    [[nodiscard]] virtual std::uint64_t fileSize() const = 0;
    [[nodiscard]] virtual FormatInfo format() const = 0;
    // Every element below `under` ("/" for all), parents before their children.
    [[nodiscard]] virtual std::optional<Failure> elements(const std::string& under,
                                                          std::vector<Element>* out) = 0;
    [[nodiscard]] virtual std::optional<Failure> properties(std::vector<PropertyValue>* out) = 0;
    // Streams the bytes of the stream at `streamPath` to `sink` in blocks.
    [[nodiscard]] virtual std::optional<Failure> readStream(
        const std::string& streamPath,
        const std::function<bool(const std::uint8_t*, std::size_t, std::uint64_t, std::uint64_t)>&
            sink) = 0;
};

struct CheckResult {
    bool sound = false;
    std::string shape;                 // as shapeName, or "unreadable"
    std::vector<std::string> problems; // damage, with the numbers involved
    std::vector<std::string> remarks;  // differences that are no damage
};

// The strict validation of one file; a flat document has nothing to validate and is sound.
[[nodiscard]] CheckResult checkFile(const std::string& path);

// An element name or path with control units written as "\005", as cat and ls take them.
[[nodiscard]] std::string printableName(const std::string& name);

// FILETIME ticks as "2026-12-07 10:00:00" (UTC); empty for 0.
[[nodiscard]] std::string fileTimeText(std::uint64_t ticks);
// "2026-12-07", "2026-12-07 10:00" or "2026-12-07T10:00:00" (UTC) as FILETIME ticks.
[[nodiscard]] std::optional<std::uint64_t> parseFileTime(const std::string& text);

// The summary-information identifier of a name people use ("Title" is 2), or none.
[[nodiscard]] std::optional<std::uint32_t> summaryPropertyId(const std::string& name);

// A path given as UTF-8 text, as the file system takes it.
[[nodiscard]] std::filesystem::path fileSystemPath(const std::string& utf8);

// Whether the name ends in the compressed document extension ".ac_" (any case).
[[nodiscard]] bool hasCompressedExtension(const std::string& path);

} // namespace qvdoc
