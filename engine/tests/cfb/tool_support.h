// Running the independent readers (libgsf's gsf tool, python's olefile) from tests, and the
// manifest of a file's elements that tests compare between readers.
#pragma once

#include "test_support.h"
#include "../tool_runner.h"

#include "cfb/names.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace engine::cfb::testing {

using test_tools::gsfAvailable;
using test_tools::gsfPath;
using test_tools::olefileAvailable;
using test_tools::outputOf;
using test_tools::pythonPath;
using test_tools::readFile;
using test_tools::shellQuoted;
using test_tools::TemporaryFolder;
using test_tools::toHex;
using test_tools::writeFile;

// The manifest lines of every element below `storage`, sorted, in ole_manifest.py's form.
inline void collectManifest(Storage& storage, const std::string& prefix,
                            std::vector<std::string>* lines, Status* firstFailure) {
    std::vector<ElementStat> children;
    Status status = storage.list(&children);
    if (failed(status)) {
        *firstFailure = status;
        return;
    }
    for (const ElementStat& child : children) {
        const std::string path = prefix + toUtf8(child.name);
        if (child.type == ElementType::storage) {
            lines->push_back("D " + toHex(path));
            Storage inner;
            status = storage.openStorage(child.name, &inner);
            if (succeeded(status))
                collectManifest(inner, path + "/", lines, firstFailure);
        } else {
            Stream stream;
            status = storage.openStream(child.name, &stream);
            std::string bytes;
            std::vector<char> chunk(1 << 16);
            std::size_t read = 0;
            while (succeeded(status)) {
                status = stream.read(chunk.data(), chunk.size(), &read);
                if (read == 0)
                    break;
                bytes.append(chunk.data(), read);
            }
            if (succeeded(status))
                lines->push_back("F " + toHex(path) + " " + std::to_string(child.size) + " " +
                                 toHex(bytes));
        }
        if (failed(status) && succeeded(*firstFailure))
            *firstFailure = status;
    }
}

inline std::vector<std::string> engineManifest(CompoundFile& file, Status* firstFailure) {
    std::vector<std::string> lines;
    *firstFailure = Status::ok;
    Storage root = file.root();
    collectManifest(root, "", &lines, firstFailure);
    std::sort(lines.begin(), lines.end());
    return lines;
}

inline std::vector<std::string> olefileManifest(const std::string& path, std::string script) {
    const auto output =
        outputOf(std::string(pythonPath) + " " + shellQuoted(script) + " " + shellQuoted(path));
    EXPECT_TRUE(output) << "olefile could not read " << path;
    std::vector<std::string> lines;
    std::istringstream in(output.value_or(""));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

struct GsfEntry {
    bool isStream = false;
    std::uint64_t size = 0;
};

// What `gsf list` reports, by path ("f" lines are streams, "d" lines storages).
inline std::map<std::string, GsfEntry> gsfList(const std::string& path) {
    std::map<std::string, GsfEntry> entries;
    const auto output = outputOf(std::string(gsfPath) + " list " + shellQuoted(path));
    if (!output)
        return entries;
    static const std::regex line(R"(^([df])\s+(?:\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\s+)?(\d+) (.*)$)");
    std::istringstream in(*output);
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        if (!std::regex_match(text, match, line) || match[3] == "*root*")
            continue;
        entries[match[3]] = GsfEntry{match[1] == "f", std::stoull(match[2])};
    }
    return entries;
}

// Compares every stream of an engine manifest with gsf list, and its bytes with one
// `gsf cat` of all the streams, which prints them one after another.
inline void expectGsfAgrees(const std::string& path, const std::vector<std::string>& manifest) {
    const auto listed = gsfList(path);
    ASSERT_FALSE(listed.empty()) << "gsf could not list " << path;
    struct Listed {
        std::string path;
        std::uint64_t size = 0;
        std::string hexBytes;
    };
    std::vector<Listed> streams;
    std::string command = std::string(gsfPath) + " cat " + shellQuoted(path);
    for (const std::string& line : manifest) {
        if (line[0] != 'F')
            continue;
        std::istringstream fields(line.substr(2));
        std::string hexPath;
        Listed stream;
        fields >> hexPath >> stream.size >> stream.hexBytes;
        for (std::size_t i = 0; i + 1 < hexPath.size(); i += 2)
            stream.path += static_cast<char>(std::stoi(hexPath.substr(i, 2), nullptr, 16));
        command += " " + shellQuoted(stream.path);
        streams.push_back(stream);
    }
    const std::string all = outputOf(command).value_or("");
    std::size_t at = 0;
    for (const Listed& stream : streams) {
        SCOPED_TRACE(stream.path);
        const auto found = listed.find(stream.path);
        ASSERT_NE(found, listed.end()) << "gsf does not list the stream";
        EXPECT_EQ(found->second.size, stream.size);
        EXPECT_EQ(toHex(all.substr(std::min(at, all.size()), stream.size)), stream.hexBytes);
        at += stream.size;
    }
    EXPECT_EQ(all.size(), at);
}

// The manifest of a file, failing the test when an element cannot be read.
inline std::vector<std::string> manifestOf(CompoundFile& file) {
    Status status = Status::ok;
    auto manifest = engineManifest(file, &status);
    EXPECT_OK(status);
    return manifest;
}

// Opens bytes read-only and reads every element, stopping at the first failure.
inline Status readEverything(std::shared_ptr<ByteArray> bytes) {
    std::unique_ptr<CompoundFile> file;
    ENGINE_RETURN_IF_FAILED(CompoundFile::open(std::move(bytes), OpenMode::readOnly, &file));
    Status status = Status::ok;
    (void)engineManifest(*file, &status);
    return status;
}

} // namespace engine::cfb::testing
