#pragma once
// Who owns a file or folder and who may do what with it, read from the system
// into the core's plain types, the account this program runs as, and the
// system's answers about the place the program is kept.

#include <windows.h>

#include <optional>
#include <string>

#include "only_trusted_can_change.h"

namespace brimlow::win {

// The file's or folder's owner and access list; nothing when it does not
// exist. Any other failure to read gives an unknown owner and no list, which
// the rule takes for open to everyone.
std::optional<ObjectSecurity> ReadFileSecurity(const std::string& path);

// The SID of the account the process runs as ("S-1-5-21-..."); empty if the
// system cannot tell.
std::string RunningAccountSid();

// The core's questions about a path, answered by the file system: the drive
// type of its volume, a folder's reparse-point attribute and security.
class SystemProgramPlace final : public ProgramPlace {
public:
    bool IsLocalFixedVolume(const std::string& root) override;
    bool IsReparsePoint(const std::string& folder) override;
    std::optional<ObjectSecurity> Security(const std::string& path) override { return ReadFileSecurity(path); }
};

}  // namespace brimlow::win
