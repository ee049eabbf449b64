// The native build has no z64EVEZE.dll: what needs it answers exit_code::needsLibrary (main
// hands such subcommands to the Windows build under Wine before they get here, when it can).
#include "library.h"

namespace qvdoc {
namespace {

Failure withoutLibrary(const std::string& what) {
    return {exit_code::needsLibrary, what + " needs z64EVEZE.dll (the Windows build under Wine)"};
}

} // namespace

std::optional<Failure> readVersion(const std::string&, VersionInfo*) {
    return withoutLibrary("the release");
}
std::optional<Failure> releaseCatalogue(std::vector<ReleaseRow>*) {
    return withoutLibrary("the release catalogue");
}
std::optional<Failure> convertDocument(const std::string&, bool*, Progress&) {
    return withoutLibrary("convert");
}
std::optional<Failure> packFile(const std::string&, const std::string&, const std::string&,
                                Progress&) {
    return withoutLibrary("pack");
}
std::optional<Failure> unpackFile(const std::string&, const std::string&, const std::string&,
                                  Progress&) {
    return withoutLibrary("unpack");
}
std::optional<Failure> writeProperty(const std::string&, const PropertyWrite&, Progress&) {
    return withoutLibrary("props --set");
}
std::optional<Failure> deleteProperty(const std::string&, const std::string&, Progress&) {
    return withoutLibrary("props --delete");
}

} // namespace qvdoc
