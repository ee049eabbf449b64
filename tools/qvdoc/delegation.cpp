#include "delegation.h"
#include "document_reading.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qvdoc {
namespace {

// Where the Windows build of this source tree puts the program and its Wine wrapper; the
// environment variables QVDOC_WINDOWS_PROGRAM and QVDOC_WINE_RUN override them.
std::string setting(const char* variable, const char* builtIn) {
    const char* value = std::getenv(variable);
    return value && *value ? value : builtIn;
}

std::string windowsProgram() {
    return setting("QVDOC_WINDOWS_PROGRAM", QVDOC_WINDOWS_PROGRAM);
}

std::string wineRun() {
    return setting("QVDOC_WINE_RUN", QVDOC_WINE_RUN);
}

} // namespace

bool windowsBuildAvailable() {
    return access(windowsProgram().c_str(), R_OK) == 0 && access(wineRun().c_str(), X_OK) == 0;
}

int runWindowsBuild(int argc, char** argv) {
    if (!windowsBuildAvailable()) {
        std::fprintf(stderr,
                     "qvdoc: %s needs z64EVEZE.dll: build the windows preset (scripts/setup) "
                     "and install Wine, or run qvdoc.exe on Windows\n",
                     argc > 1 ? argv[1] : "this subcommand");
        return exit_code::needsLibrary;
    }
    const std::string runner = wineRun();
    const std::string program = windowsProgram();
    std::vector<char*> arguments{const_cast<char*>(runner.c_str()),
                                 const_cast<char*>(program.c_str())};
    for (int i = 1; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(runner.c_str(), arguments.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        std::fprintf(stderr, "qvdoc: running the Windows build failed\n");
        return exit_code::needsLibrary;
    }
    return WEXITSTATUS(status);
}

} // namespace qvdoc
