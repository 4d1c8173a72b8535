#include "start_at_logon.h"

#include "handles.h"
#include "module1.h"
#include "module3.h"
#include "object_security.h"

namespace brimlow::Module3 {
namespace {

// Whether this start may set or remove the value. A key that is not there
// yet may still be made, as the write has always done.
bool MayChange(const RunEntry& entry) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(entry.root, entry.subKey.c_str(), 0, KEY_SET_VALUE, &opened);
    const win::UniqueKey key(status == ERROR_SUCCESS ? opened : nullptr);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool OnlyAdministratorsCanChange(const std::string& programFolder) {
    win::SystemProgramPlace place;
    // kProgramFileName without its leading backslash.
    return OnlyTrustedCanChangeOrMove(programFolder,
                                      {"data", kProgramFileName + 1, Module1::kLauncherFileName, "data\\shortcuts.ini"},
                                      place, win::RunningAccountSid());
}

std::string StartAtLogonCommand(const std::string& programFolder) {
    return "\"" + programFolder + kProgramFileName + "\"";
}

void RegisterStartAtLogon(const std::string& programFolder) noexcept {
    try {
        RegisterStartAtLogon(programFolder, RunEntry());
    } catch (...) {
        // Only building the default entry's strings can throw; start-up goes on.
    }
}

void RegisterStartAtLogon(const std::string& programFolder, const RunEntry& entry) noexcept {
    // Without a folder the command would name "\Program.exe" at the root of
    // whatever drive is current at logon: better to register nothing.
    if (programFolder.empty()) return;
    try {
        const std::string expected = StartAtLogonCommand(programFolder);
        const RegValue current = ReadRegValue(entry.root, entry.subKey, entry.valueName);
        // An ordinary user's start could change nothing anyway; it is spared
        // reading the files' security.
        if (!MayChange(entry)) return;
        if (entry.folderIsProtected(programFolder)) {
            if (current != expected) WriteRegValue(entry.root, entry.subKey, entry.valueName, expected);
            return;
        }
        // Every account would start a program that others can replace.
        if (current == expected || current == programFolder + kProgramFileName) {
            RegDeleteKeyValueA(entry.root, entry.subKey.c_str(), entry.valueName.c_str());
        }
    } catch (...) {
    }
}

}  // namespace brimlow::Module3
