#include "only_trusted_can_change.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>

namespace brimlow {
namespace {

bool IsTrusted(std::string_view sid, std::string_view runningAccount) {
    // An account that could not be read is nobody's.
    if (sid.empty()) return false;
    return sid == kAdministratorsSid || sid == kLocalSystemSid || sid == kTrustedInstallerSid || sid == runningAccount;
}

// No one but the trusted owner and trusted accounts holds any of the rights.
bool OnlyTrustedHold(std::uint32_t rights, const ObjectSecurity& object, std::string_view runningAccount) {
    if (!IsTrusted(object.owner, runningAccount)) return false;
    if (!object.dacl) return false;
    return std::none_of(object.dacl->begin(), object.dacl->end(), [&](const AccessEntry& entry) {
        if (entry.kind != AccessEntry::Kind::Allow || entry.inheritOnly) return false;
        if ((entry.mask & rights) == 0) return false;
        // Granted to the owner, who is already known to be trusted.
        if (entry.sid == kOwnerRightsSid) return false;
        return !IsTrusted(entry.sid, runningAccount);
    });
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool OnlyTrustedCanChange(const ObjectSecurity& object, std::string_view runningAccount) {
    return OnlyTrustedHold(kChangeRights, object, runningAccount);
}

bool OnlyTrustedCanMove(const ObjectSecurity& folder, bool isRoot, std::string_view runningAccount) {
    return OnlyTrustedHold(isRoot ? kMoveRights & ~kDelete : kMoveRights, folder, runningAccount);
}

bool IsPlainDrivePath(std::string_view folder) {
    // "C:" alone is the drive's current folder, not its root.
    if (folder.size() < 3 || !IsDriveLetter(folder[0]) || folder[1] != ':' || folder[2] != '\\') return false;
    for (std::size_t start = 3; start < folder.size();) {
        const std::size_t end = std::min(folder.find('\\', start), folder.size());
        const std::string_view name = folder.substr(start, end - start);
        // A slash is a separator too, and a colon names a stream.
        if (name.empty() || name == "." || name == ".." || name.find_first_of("/:") != std::string_view::npos) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool OnlyTrustedCanChangeOrMove(std::string_view programFolder, std::initializer_list<std::string_view> inside,
                                ProgramPlace& place, std::string_view runningAccount) {
    // The volume first: on a network share every answer after it would be a
    // trip to another machine.
    if (!IsPlainDrivePath(programFolder) || !place.IsLocalFixedVolume(std::string(programFolder.substr(0, 3)))) {
        return false;
    }
    // Without a trailing backslash, except at the root.
    const std::size_t length = programFolder.size() > 3 && programFolder.back() == '\\' ? programFolder.size() - 1
                                                                                        : programFolder.size();
    // From the program folder up to the root: the ones nearest it are the
    // likeliest to be open, and each answer costs a call into the system.
    for (std::size_t end = length;;) {
        const std::string folder(programFolder.substr(0, end));
        if (place.IsReparsePoint(folder)) return false;
        const auto security = place.Security(folder);
        if (!security) return false;
        const bool isRoot = end == 3;
        const bool judged = end == length ? OnlyTrustedCanChange(*security, runningAccount)
                                          : OnlyTrustedCanMove(*security, isRoot, runningAccount);
        if (!judged) return false;
        if (isRoot) break;
        // The root keeps its backslash: "C:\".
        end = std::max<std::size_t>(programFolder.rfind('\\', end - 1), 3);
    }
    std::string base(programFolder.substr(0, length));
    if (base.back() != '\\') base += '\\';
    for (std::string_view name : inside) {
        const auto security = place.Security(base + std::string(name));
        if (security && !OnlyTrustedCanChange(*security, runningAccount)) return false;
    }
    return true;
}

}  // namespace brimlow
