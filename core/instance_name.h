#pragma once
// The name under which a running copy of the program announces itself. The
// table belongs to the program's folder, so one copy runs per folder: the
// name is derived from the folder's path, spelled the one way Windows
// compares it (full, long, upper-cased), and hashed so that a path of any
// length and any characters fits a kernel object's name.

#include <string>
#include <string_view>

namespace brimlow {

// "Local\Brimlow-" followed by 16 hexadecimal digits of the folded path's
// 64-bit FNV-1a hash over its UTF-16 code units. "Local\" keeps the name in
// the logon session: a copy in another user's session never sees it.
std::string InstanceName(std::u16string_view foldedFolder);

}  // namespace brimlow
