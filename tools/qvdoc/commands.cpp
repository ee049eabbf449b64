#include "commands.h"

#include "document_reading.h"
#include "library.h"
#include "progress.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace qvdoc {
namespace {

using Json = nlohmann::ordered_json;

struct Syntax {
    const char* name;
    const char* usage;
    const char* summary;
    const char* details; // options and examples
    std::vector<const char*> required;
    std::size_t optional = 0;
    bool variadic = false;
    std::vector<const char*> flags;
    std::vector<const char*> valued;
};

const std::vector<Syntax>& syntaxes() {
    static const std::vector<Syntax> all = {
        {"info",
         "qvdoc info DOC [--json]",
         "the shape, release, compound format, element counts, title and modification date",
         "  --json   one JSON document on standard output\n\n"
         "  qvdoc info docs/samples/ledger-2026.ac\n",
         {"DOC"},
         0,
         false,
         {"--json"},
         {}},
        {"ls",
         "qvdoc ls DOC [PATH] [--long] [--json]",
         "the element tree: storages and streams with sizes, class identifiers and times",
         "  PATH     a storage to list instead of the root (\"/Attachments\")\n"
         "  --long   everything STATSTG carries (creation time, state bits)\n"
         "  --json   one JSON document on standard output\n\n"
         "  qvdoc ls docs/samples/ledger-2026.ac --long\n",
         {"DOC"},
         1,
         false,
         {"--long", "--json"},
         {}},
        {"props",
         "qvdoc props DOC [--json] | --set NAME=VALUE [--type T] | --delete NAME",
         "the summary-information and user-defined properties; writes one",
         "  --set NAME=VALUE  writes a property: summary-information names (Title, Subject,\n"
         "                    Author, Keywords, Comments, LastAuthor, ...) go to that set,\n"
         "                    every other name to the user-defined set\n"
         "  --type T          text (default), int, uint, bool, double, date, guid\n"
         "  --delete NAME     deletes a property\n"
         "  --json            one JSON document on standard output\n\n"
         "  qvdoc props ledger.ac --set Customer=Acme\n"
         "  qvdoc props ledger.ac --set Closed=2026-12-31 --type date\n"
         "  qvdoc props ledger.ac --delete Customer\n",
         {"DOC"},
         0,
         false,
         {"--json"},
         {"--set", "--type", "--delete"}},
        {"cat",
         "qvdoc cat DOC STREAM",
         "writes a stream's bytes to standard output",
         "  STREAM   the stream's path (\"QuorvaneDocument\", \"Storage/Stream\")\n\n"
         "  qvdoc cat ledger.ac QuorvaneDocument | xxd | head\n",
         {"DOC", "STREAM"},
         0,
         false,
         {},
         {}},
        {"pack",
         "qvdoc pack DOC STREAM FILE",
         "copies FILE into the stream STREAM of DOC",
         "  qvdoc pack ledger.ac Attachment notes.txt\n",
         {"DOC", "STREAM", "FILE"},
         0,
         false,
         {},
         {}},
        {"unpack",
         "qvdoc unpack DOC STREAM FILE",
         "writes the stream STREAM of DOC out to FILE",
         "  qvdoc unpack ledger.ac Attachment notes-copy.txt\n",
         {"DOC", "STREAM", "FILE"},
         0,
         false,
         {},
         {}},
        {"convert",
         "qvdoc convert DOC",
         "makes a flat document a compound document, in place",
         "  qvdoc convert old-ledger.ac\n",
         {"DOC"},
         0,
         false,
         {},
         {}},
        {"check",
         "qvdoc check DOC... [--json]",
         "strict validation of each file, one line per file",
         "  --json   one JSON document on standard output\n\n"
         "  qvdoc check *.ac\n",
         {"DOC"},
         0,
         true,
         {"--json"},
         {}},
        {"versions",
         "qvdoc versions",
         "the release catalogue as a table",
         "  qvdoc versions\n",
         {},
         0,
         false,
         {},
         {}},
    };
    return all;
}

const Syntax* findSyntax(const std::string& name) {
    for (const auto& syntax : syntaxes())
        if (name == syntax.name)
            return &syntax;
    return nullptr;
}

constexpr const char* kExitCodes =
    "exit codes:\n"
    "  0  success (check: every file is sound)\n"
    "  1  a document is damaged\n"
    "  2  usage error: unknown subcommand or option, missing argument\n"
    "  3  a file cannot be opened (missing, a folder, unreadable)\n"
    "  4  the document is flat where a compound file is needed\n"
    "  5  no such stream, storage or property\n"
    "  6  the document cannot be written (read-only, held)\n"
    "  7  writing failed; the document is unchanged\n"
    "  8  a name or value the format or the type refuses\n"
    "  9  the subcommand needs z64EVEZE.dll (run the Windows build)\n";

void printHelp() {
    std::printf("qvdoc: looks inside the application's documents and any compound file\n\n"
                "usage:\n");
    for (const auto& syntax : syntaxes())
        std::printf("  %-9s %s\n", syntax.name, syntax.summary);
    std::printf("\n  qvdoc help SUBCOMMAND   the options of a subcommand, with examples\n\n%s",
                kExitCodes);
}

void printSubcommandHelp(const Syntax& syntax) {
    std::printf("usage: %s\n\n%s.\n\n%s", syntax.usage, syntax.summary, syntax.details);
}

struct Arguments {
    std::vector<std::string> positional;
    std::set<std::string> flags;
    std::map<std::string, std::string> values;

    [[nodiscard]] bool has(const char* flag) const { return flags.count(flag) != 0; }
    [[nodiscard]] std::optional<std::string> value(const char* option) const {
        const auto found = values.find(option);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
};

int usageError(const Syntax& syntax, const std::string& problem) {
    std::fprintf(stderr, "qvdoc %s: %s (usage: %s)\n", syntax.name, problem.c_str(), syntax.usage);
    return exit_code::usage;
}

bool listed(const std::vector<const char*>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* known) { return name == known; });
}

std::optional<std::string> parse(const Syntax& syntax, const std::vector<std::string>& words,
                                 Arguments* out) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            out->positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string option = word.substr(0, equals);
        if (listed(syntax.flags, option) && equals == std::string::npos) {
            out->flags.insert(option);
        } else if (listed(syntax.valued, option)) {
            if (out->values.count(option))
                return "option " + option + " given twice";
            if (equals != std::string::npos)
                out->values[option] = word.substr(equals + 1);
            else if (i + 1 < words.size())
                out->values[option] = words[++i];
            else
                return "option " + option + " needs a value";
        } else {
            return "unknown option '" + word + "'";
        }
    }
    if (out->positional.size() < syntax.required.size())
        return std::string("missing ") + syntax.required[out->positional.size()];
    if (!syntax.variadic && out->positional.size() > syntax.required.size() + syntax.optional)
        return "unexpected argument '" + out->positional[syntax.required.size() + syntax.optional] +
               "'";
    return std::nullopt;
}

int report(const Failure& failure) {
    std::fprintf(stderr, "qvdoc: %s\n", failure.message.c_str());
    return failure.exitCode;
}

void printJson(const Json& json) {
    // Names from damaged or foreign files may not be valid UTF-8: replaced, never fatal.
    std::printf("%s\n", json.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

Json jsonOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// ---- info -------------------------------------------------------------------------------

struct Summary {
    std::size_t storages = 0;
    std::size_t streams = 0;
    std::uint64_t streamBytes = 0;
    std::string title;
    std::string modified;
};

std::optional<Failure> summarise(Document& document, Summary* summary) {
    if (document.shape() == Shape::flat)
        return std::nullopt;
    std::vector<Element> elements;
    if (auto failure = document.elements("/", &elements))
        return failure;
    for (const auto& element : elements) {
        if (element.path == "/")
            continue;
        ++(element.isStorage ? summary->storages : summary->streams);
        summary->streamBytes += element.size;
    }
    std::vector<PropertyValue> properties;
    if (auto failure = document.properties(&properties))
        return failure;
    for (const auto& property : properties) {
        if (property.set != "summary")
            continue;
        if (property.id == summaryPropertyId("Title"))
            summary->title = property.text;
        if (property.id == summaryPropertyId("LastSaved"))
            summary->modified = property.text;
    }
    return std::nullopt;
}

int runInfo(const Arguments& arguments) {
    const std::string& path = arguments.positional[0];
    // The library reads the version holding the file exclusively, so it goes first.
    VersionInfo version;
    const std::optional<Failure> versionFailure = readVersion(path, &version);
    std::unique_ptr<Document> document;
    if (auto failure = openDocument(path, &document))
        return report(*failure);
    Summary summary;
    if (auto failure = summarise(*document, &summary))
        return report(*failure);
    const FormatInfo format = document->format();
    const bool compound = document->shape() != Shape::flat;

    if (arguments.has("--json")) {
        Json json{{"path", path},
                  {"shape", shapeName(document->shape())},
                  {"size", document->fileSize()}};
        json["version"] = versionFailure ? Json(nullptr)
                                         : Json{{"text", version.text},
                                                {"number", version.number},
                                                {"release", jsonOrNull(version.release)},
                                                {"known", version.known}};
        json["format"] =
            compound ? Json{{"version", format.majorVersion}, {"sectorSize", format.sectorSize}}
                     : Json(nullptr);
        json["storages"] = summary.storages;
        json["streams"] = summary.streams;
        json["streamBytes"] = summary.streamBytes;
        json["title"] = jsonOrNull(summary.title);
        json["modified"] = jsonOrNull(summary.modified);
        printJson(json);
        return exit_code::ok;
    }
    std::printf("%s\n", path.c_str());
    std::printf("  shape:     %s, %llu bytes\n", shapeName(document->shape()),
                static_cast<unsigned long long>(document->fileSize()));
    if (versionFailure)
        std::printf("  version:   (%s)\n", versionFailure->message.c_str());
    else
        std::printf("  version:   %s, release %s%s\n", version.text.c_str(),
                    version.release.empty() ? "older than every release" : version.release.c_str(),
                    version.known ? "" : " (not a plausible version)");
    if (!compound)
        return exit_code::ok;
    std::printf("  format:    compound file version %d, %u-byte sectors\n", format.majorVersion,
                format.sectorSize);
    std::printf("  elements:  %zu storages, %zu streams, %llu bytes in streams\n", summary.storages,
                summary.streams, static_cast<unsigned long long>(summary.streamBytes));
    std::printf("  title:     %s\n", summary.title.empty() ? "(none)" : summary.title.c_str());
    std::printf("  modified:  %s\n",
                summary.modified.empty() ? "(not recorded)" : summary.modified.c_str());
    return exit_code::ok;
}

// ---- ls ---------------------------------------------------------------------------------

const char* elementType(const Element& element) {
    return element.path == "/" ? "root" : element.isStorage ? "storage" : "stream";
}

int runList(const Arguments& arguments) {
    const std::string& path = arguments.positional[0];
    const std::string under = arguments.positional.size() > 1 ? arguments.positional[1] : "/";
    std::unique_ptr<Document> document;
    if (auto failure = openDocument(path, &document))
        return report(*failure);
    std::vector<Element> elements;
    if (auto failure = document->elements(under, &elements))
        return report(*failure);
    const bool full = arguments.has("--long");
    if (arguments.has("--json")) {
        Json list = Json::array();
        for (const auto& element : elements) {
            Json entry{{"path", element.path},
                       {"type", elementType(element)},
                       {"size", element.size},
                       {"clsid", jsonOrNull(element.clsid)},
                       {"modified", jsonOrNull(fileTimeText(element.modifiedTime))}};
            if (full) {
                entry["created"] = jsonOrNull(fileTimeText(element.creationTime));
                entry["stateBits"] = element.stateBits;
            }
            list.push_back(std::move(entry));
        }
        printJson(Json{{"path", path}, {"elements", std::move(list)}});
        return exit_code::ok;
    }
    for (const auto& element : elements) {
        const std::string modified = fileTimeText(element.modifiedTime);
        std::printf("%-7s %12llu  %-19s  %s", elementType(element),
                    static_cast<unsigned long long>(element.size),
                    modified.empty() ? "-" : modified.c_str(), printableName(element.path).c_str());
        if (full) {
            const std::string created = fileTimeText(element.creationTime);
            std::printf("  created %s  state 0x%08X  class %s",
                        created.empty() ? "-" : created.c_str(), element.stateBits,
                        element.clsid.empty() ? "-" : element.clsid.c_str());
        } else if (!element.clsid.empty()) {
            std::printf("  %s", element.clsid.c_str());
        }
        std::printf("\n");
    }
    return exit_code::ok;
}

// ---- props ------------------------------------------------------------------------------

std::optional<ValueType> valueTypeNamed(const std::string& name) {
    static const std::map<std::string, ValueType> types = {{"text", ValueType::text},
                                                           {"int", ValueType::integer},
                                                           {"uint", ValueType::unsignedInteger},
                                                           {"bool", ValueType::flag},
                                                           {"double", ValueType::real},
                                                           {"date", ValueType::date},
                                                           {"guid", ValueType::guid}};
    const auto found = types.find(name);
    return found == types.end() ? std::nullopt : std::optional(found->second);
}

Json jsonValue(const PropertyValue& property) {
    if (property.flag)
        return *property.flag;
    if (property.number)
        return *property.number;
    return property.text;
}

int showProperties(const std::string& path, bool json) {
    std::unique_ptr<Document> document;
    if (auto failure = openDocument(path, &document))
        return report(*failure);
    std::vector<PropertyValue> properties;
    if (auto failure = document->properties(&properties))
        return report(*failure);
    if (json) {
        Json list = Json::array();
        for (const auto& property : properties)
            list.push_back({{"set", property.set},
                            {"id", property.id},
                            {"name", property.name},
                            {"type", property.typeName},
                            {"value", jsonValue(property)}});
        printJson(Json{{"path", path}, {"properties", std::move(list)}});
        return exit_code::ok;
    }
    if (properties.empty())
        std::printf("%s: no properties\n", path.c_str());
    for (const auto& property : properties)
        std::printf("%-7s %5u  %-16s %-8s %s\n", property.set.c_str(), property.id,
                    property.name.c_str(), property.typeName.c_str(), property.text.c_str());
    return exit_code::ok;
}

int runProperties(const Syntax& syntax, const Arguments& arguments) {
    const std::string& path = arguments.positional[0];
    const auto set = arguments.value("--set");
    const auto remove = arguments.value("--delete");
    const auto type = arguments.value("--type");
    if (set && remove)
        return usageError(syntax, "--set and --delete cannot be given together");
    if (type && !set)
        return usageError(syntax, "--type goes with --set");
    if ((set || remove) && arguments.has("--json"))
        return usageError(syntax, "--json goes with reading only");
    Progress progress;
    if (remove) {
        if (auto failure = deleteProperty(path, *remove, progress))
            return report(*failure);
        return exit_code::ok;
    }
    if (!set)
        return showProperties(path, arguments.has("--json"));
    const std::size_t equals = set->find('=');
    if (equals == std::string::npos)
        return usageError(syntax, "--set needs NAME=VALUE");
    PropertyWrite write{set->substr(0, equals), ValueType::text, set->substr(equals + 1)};
    if (type) {
        const auto named = valueTypeNamed(*type);
        if (!named)
            return usageError(syntax, "unknown type '" + *type +
                                          "' (text, int, uint, bool, double, date, guid)");
        write.type = *named;
    }
    if (auto failure = writeProperty(path, write, progress))
        return report(*failure);
    return exit_code::ok;
}

// ---- cat, pack, unpack, convert ---------------------------------------------------------

int runCat(const Arguments& arguments) {
    const std::string& path = arguments.positional[0];
    std::unique_ptr<Document> document;
    if (auto failure = openDocument(path, &document))
        return report(*failure);
    Progress progress;
    const auto failure = document->readStream(
        arguments.positional[1],
        [&](const std::uint8_t* bytes, std::size_t count, std::uint64_t done, std::uint64_t total) {
            progress.bytes("reading", done, total);
            return std::fwrite(bytes, 1, count, stdout) == count;
        });
    progress.clear();
    if (std::fflush(stdout) != 0)
        return report({exit_code::writeFailed, "cannot write to standard output"});
    return failure ? report(*failure) : exit_code::ok;
}

int runPack(const Arguments& arguments, bool pack) {
    Progress progress;
    const auto& words = arguments.positional;
    const auto failure = pack ? packFile(words[0], words[1], words[2], progress)
                              : unpackFile(words[0], words[1], words[2], progress);
    progress.clear();
    return failure ? report(*failure) : exit_code::ok;
}

int runConvert(const Arguments& arguments) {
    const std::string& path = arguments.positional[0];
    Progress progress;
    bool converted = false;
    const auto failure = convertDocument(path, &converted, progress);
    progress.clear();
    if (failure)
        return report(*failure);
    std::printf("%s: %s\n", path.c_str(),
                converted ? "converted to a compound document"
                          : "already a compound document; nothing converted");
    return exit_code::ok;
}

// ---- check ------------------------------------------------------------------------------

int runCheck(const Arguments& arguments) {
    Progress progress;
    Json files = Json::array();
    bool damaged = false;
    bool unreadable = false;
    const bool json = arguments.has("--json");
    const auto& paths = arguments.positional;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        progress.items("checking", i, paths.size());
        const CheckResult result = checkFile(paths[i]);
        (result.shape == "unreadable" ? unreadable : damaged) |= !result.sound;
        if (json) {
            files.push_back({{"path", paths[i]},
                             {"shape", result.shape},
                             {"sound", result.sound},
                             {"problems", result.problems},
                             {"remarks", result.remarks}});
            continue;
        }
        progress.clear();
        if (result.sound) {
            std::printf("%s: sound (%s%s)\n", paths[i].c_str(), result.shape.c_str(),
                        result.remarks.empty()
                            ? ""
                            : (", " + std::to_string(result.remarks.size()) + " remarks").c_str());
        } else if (result.shape == "unreadable") {
            std::printf("%s: cannot be checked: %s\n", paths[i].c_str(),
                        result.problems.front().c_str());
        } else {
            const std::size_t more = result.problems.size() - 1;
            std::printf("%s: DAMAGED: %s%s\n", paths[i].c_str(), result.problems.front().c_str(),
                        more ? (" (and " + std::to_string(more) + " more)").c_str() : "");
        }
        std::fflush(stdout);
    }
    progress.clear();
    if (json)
        printJson(Json{{"sound", !damaged && !unreadable}, {"files", std::move(files)}});
    return damaged ? exit_code::damaged : unreadable ? exit_code::cannotOpen : exit_code::ok;
}

// ---- versions ---------------------------------------------------------------------------

int runVersions() {
    std::vector<ReleaseRow> rows;
    if (auto failure = releaseCatalogue(&rows))
        return report(*failure);
    std::printf("version  release\n");
    for (const auto& row : rows)
        std::printf("%7.2f  %s\n", row.version, row.label.c_str());
    return exit_code::ok;
}

int runSubcommand(const Syntax& syntax, const Arguments& arguments) {
    const std::string name = syntax.name;
    if (name == "info")
        return runInfo(arguments);
    if (name == "ls")
        return runList(arguments);
    if (name == "props")
        return runProperties(syntax, arguments);
    if (name == "cat")
        return runCat(arguments);
    if (name == "pack" || name == "unpack")
        return runPack(arguments, name == "pack");
    if (name == "convert")
        return runConvert(arguments);
    if (name == "check")
        return runCheck(arguments);
    return runVersions();
}

bool isHelp(const std::string& word) {
    return word == "--help" || word == "-h";
}

} // namespace

bool needsLibrary(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        return false;
    const std::string& name = arguments[0];
    if (std::any_of(arguments.begin(), arguments.end(), isHelp))
        return false;
    if (name == "versions" || name == "convert" || name == "pack" || name == "unpack")
        return true;
    if (name == "props")
        return std::any_of(arguments.begin(), arguments.end(), [](const std::string& word) {
            return word.rfind("--set", 0) == 0 || word.rfind("--delete", 0) == 0;
        });
    return false;
}

int runCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        std::fprintf(stderr, "qvdoc: missing subcommand (qvdoc --help lists them)\n");
        return exit_code::usage;
    }
    const std::string& first = arguments[0];
    if (isHelp(first)) {
        printHelp();
        return exit_code::ok;
    }
    if (first == "help") {
        if (arguments.size() == 1) {
            printHelp();
            return exit_code::ok;
        }
        const Syntax* syntax = findSyntax(arguments[1]);
        if (!syntax) {
            std::fprintf(stderr, "qvdoc help: unknown subcommand '%s'\n", arguments[1].c_str());
            return exit_code::usage;
        }
        printSubcommandHelp(*syntax);
        return exit_code::ok;
    }
    const Syntax* syntax = findSyntax(first);
    if (!syntax) {
        std::fprintf(stderr, "qvdoc: unknown subcommand '%s' (qvdoc --help lists them)\n",
                     first.c_str());
        return exit_code::usage;
    }
    const std::vector<std::string> words(arguments.begin() + 1, arguments.end());
    if (std::any_of(words.begin(), words.end(), isHelp)) {
        printSubcommandHelp(*syntax);
        return exit_code::ok;
    }
    Arguments parsed;
    if (auto problem = parse(*syntax, words, &parsed))
        return usageError(*syntax, *problem);
    return runSubcommand(*syntax, parsed);
}

} // namespace qvdoc
