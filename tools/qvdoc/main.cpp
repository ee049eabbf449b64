// qvdoc: looks inside the application's documents (any compound file besides), checks them,
// fixes their metadata, takes streams out and puts them in, and converts flat documents.
#include "commands.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <shellapi.h>

#include <cfb/names.h>
#else
#include "delegation.h"
#endif

#include <string>
#include <vector>

namespace {

#ifdef _WIN32
// The arguments as UTF-8, from the wide command line, so that every file name arrives whole.
std::vector<std::string> argumentsOfProcess() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(engine::cfb::toUtf8(
            std::u16string_view(reinterpret_cast<const char16_t*>(wide[i]), wcslen(wide[i]))));
    LocalFree(wide);
    return arguments;
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    // Bytes of `cat` pass unchanged; texts are written as UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = qvdoc::runCommandLine(argumentsOfProcess());
    if (SUCCEEDED(initialised))
        CoUninitialize();
    return result;
#else
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // The release of `info` comes from the library too: the Windows build answers it whole
    // when it is at hand.
    const bool wantsRelease =
        !arguments.empty() && arguments[0] == "info" && qvdoc::windowsBuildAvailable();
    if (qvdoc::needsLibrary(arguments) || wantsRelease)
        return qvdoc::runWindowsBuild(argc, argv);
    return qvdoc::runCommandLine(arguments);
#endif
}
