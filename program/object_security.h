#pragma once
// Who owns a file or folder and who may do what with it, read from the system
// into the core's plain types, and the account this program runs as.

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

}  // namespace brimlow::win
