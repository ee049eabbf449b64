#include "progress/message_pump.h"

#include "common/module_entry.h"

namespace z64::progress {
namespace {

constexpr char kShellModule[] = "x64TRSHELL.dll";
using ShellFunction = int (*)();

struct ShellExports {
    ShellFunction save = nullptr;
    ShellFunction restore = nullptr;
};

// Both exports of the loaded shell, or neither.
ShellExports loadedShellExports() {
    const HMODULE shell = GetModuleHandleA(kShellModule);
    if (shell == nullptr)
        return {};
    ShellExports exports{common::moduleEntry<ShellFunction>(shell, "saveste"),
                         common::moduleEntry<ShellFunction>(shell, "restste")};
    if (exports.save == nullptr || exports.restore == nullptr)
        return {};
    return exports;
}

} // namespace

ShellStateBracket::ShellStateBracket() {
    if (const ShellExports shell = loadedShellExports(); shell.save != nullptr) {
        shell.save();
        saved_ = true;
    }
}

ShellStateBracket::~ShellStateBracket() {
    if (!saved_)
        return;
    if (const ShellExports shell = loadedShellExports(); shell.restore != nullptr)
        shell.restore();
}

} // namespace z64::progress
