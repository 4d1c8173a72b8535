#include "start_at_logon.h"

#include "module3.h"

namespace brimlow::Module3 {

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
        if (ReadRegValue(entry.root, entry.subKey, entry.valueName) != expected) {
            WriteRegValue(entry.root, entry.subKey, entry.valueName, expected);
        }
    } catch (...) {
    }
}

}  // namespace brimlow::Module3
