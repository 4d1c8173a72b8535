#pragma once
// An error as the user sees it: a number and a description that names the
// file and what is wrong. Routines return it instead of throwing, because no
// exception may cross a window procedure or the launcher's boundary.

#include <optional>
#include <string>

namespace brimlow {

struct Error {
    int number = 0;
    std::string description;
};

// Numbers the program reports, in the runtime's long-standing numbering.
namespace error_number {
inline constexpr int kTypeMismatch = 13;      // a line that should be a number is not
inline constexpr int kBadDllLoad = 48;        // the launcher library would not load
inline constexpr int kFileNotFound = 53;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kInputPastEnd = 62;      // the file ends too soon
inline constexpr int kDiskFull = 61;
inline constexpr int kFileTooLarge = 7;       // out of memory: a file too large to hold whole
inline constexpr int kInternal = 51;         // the system refused a window or class
inline constexpr int kInvalidValue = 380;     // a number that is no state of the Active box
inline constexpr int kDllEntryMissing = 453;  // the launcher library has no Ostrad
}  // namespace error_number

using Status = std::optional<Error>;

}  // namespace brimlow
