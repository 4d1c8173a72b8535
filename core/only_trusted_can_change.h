#pragma once
// Whether a file or folder can be changed by no one but the machine's
// administrators, the system and the account that runs the program. A program
// that every user starts at logon must come from such a place: whoever else
// can change its files chooses what runs in every account. So must every
// folder on the way to it, since the system follows the path at each logon:
// whoever may move a folder on it aside puts a folder of their own there.
//
// The decision is made from the object's owner and access list as the system
// stores them, with accounts as SID strings ("S-1-5-32-544") and rights as the
// 32-bit access masks, so it needs no platform header.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow {

inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
inline constexpr std::string_view kLocalSystemSid = "S-1-5-18";
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Stands in an entry for whoever owns the object.
inline constexpr std::string_view kOwnerRightsSid = "S-1-3-4";

// The rights that change an object or what it holds. On a file: write and
// append data, delete it. On a folder the same bits are "add a file", "add a
// subfolder" and "delete any file in it, whatever that file allows": each
// lets another account put its own program or table where ours is looked
// for. Changing the access list or the owner gives every other right. The
// generic rights count for what they map to. Attributes and extended
// attributes are left out: they change no byte that runs or is read.
inline constexpr std::uint32_t kWriteData = 0x0002;       // also: add a file
inline constexpr std::uint32_t kAppendData = 0x0004;      // also: add a subfolder
inline constexpr std::uint32_t kDeleteChild = 0x0040;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kWriteDac = 0x00040000;
inline constexpr std::uint32_t kWriteOwner = 0x00080000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kChangeRights =
    kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;

// One entry of an access list.
struct AccessEntry {
    enum class Kind { Allow, Deny };
    Kind kind = Kind::Allow;
    // The entry is only handed down to what is made inside a folder and does
    // not apply to the object itself.
    bool inheritOnly = false;
    std::uint32_t mask = 0;
    // Empty when the account could not be read: then it is nobody trusted.
    std::string sid;
};

struct ObjectSecurity {
    // Empty when it could not be read.
    std::string owner;
    // No list at all (as opposed to an empty one) lets everyone do anything.
    std::optional<std::vector<AccessEntry>> dacl;
};

// True when the owner is trusted and no entry that applies to the object
// grants a change right to anyone else. Trusted are Administrators, SYSTEM,
// TrustedInstaller and runningAccount. The owner counts even without an
// entry, since an owner may always rewrite the access list. Deny entries are
// passed over: they never make an object open to others, and, so as not to
// depend on the order in which the system reads the entries, they never
// make one protected either.
bool OnlyTrustedCanChange(const ObjectSecurity& object, std::string_view runningAccount);

// The rights on a folder above the program's that move or replace what it
// holds: renaming the folder itself away (DELETE), deleting or renaming any
// child whatever the child allows, and changing the list or the owner, which
// give every other right. Adding a file or subfolder is left out: what is
// added sits beside the path and moves nothing on it ("C:\" lets every user
// make a folder). Generic write maps to adding and attributes only, so it
// counts for nothing here; generic all maps to everything.
inline constexpr std::uint32_t kMoveRights = kDelete | kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;

// The same judgement for a folder above the program's, over kMoveRights. A
// volume's root cannot be renamed or deleted, so there DELETE moves nothing.
bool OnlyTrustedCanMove(const ObjectSecurity& folder, bool isRoot, std::string_view runningAccount);

// Whether the folder is named by a full path on a drive letter ("C:\Tools",
// "C:\"): not a UNC path, a "\\?\" or device path, or a relative path, and
// without an empty, "." or ".." name, which names one place and opens
// another.
bool IsPlainDrivePath(std::string_view folder);

// What the system answers about the place the program is kept. Each is
// asked only as far as the judgement needs it.
class ProgramPlace {
public:
    virtual ~ProgramPlace() = default;
    // Whether the volume with this root ("C:\") is a disk fixed in this
    // machine: not a network share, not a removable disk.
    virtual bool IsLocalFixedVolume(const std::string& root) = 0;
    // Whether the folder is a symbolic link, a junction or a mount point;
    // true when the system cannot tell.
    virtual bool IsReparsePoint(const std::string& folder) = 0;
    // The owner and access list; nothing when the object does not exist.
    virtual std::optional<ObjectSecurity> Security(const std::string& path) = 0;
};

// True when no one but trusted accounts can change what a start at logon
// runs from programFolder: the folder is on a local fixed volume, neither it
// nor a folder above it is a link (its owner could point it elsewhere after
// this check), the folder and each name in it listed in `inside` pass
// OnlyTrustedCanChange (a missing one is judged by its folder, which decides
// who may make it; a missing program folder is open), and every folder
// above passes OnlyTrustedCanMove.
bool OnlyTrustedCanChangeOrMove(std::string_view programFolder, std::initializer_list<std::string_view> inside,
                                ProgramPlace& place, std::string_view runningAccount);

}  // namespace brimlow
