#include "only_trusted_can_change.h"

#include <algorithm>
#include <cstddef>

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

std::vector<std::string> FoldersFromRoot(std::string_view folder) {
    // "C:" alone is the drive's current folder, not its root.
    if (folder.size() < 3 || !IsDriveLetter(folder[0]) || folder[1] != ':' || folder[2] != '\\') return {};
    std::vector<std::string> folders{std::string(folder.substr(0, 3))};
    std::size_t start = 3;
    while (start < folder.size()) {
        const std::size_t end = std::min(folder.find('\\', start), folder.size());
        const std::string_view name = folder.substr(start, end - start);
        // A slash is a separator too, and a colon names a stream.
        if (name.empty() || name == "." || name == ".." || name.find_first_of("/:") != std::string_view::npos) {
            return {};
        }
        folders.push_back(std::string(folder.substr(0, end)));
        start = end + 1;
    }
    return folders;
}

bool OnlyTrustedCanChangeOrMove(const std::string& programFolder, const std::vector<std::string>& inside,
                                ProgramPlace& place, std::string_view runningAccount) {
    const std::vector<std::string> folders = FoldersFromRoot(programFolder);
    if (folders.empty() || !place.IsLocalFixedVolume(folders.front())) return false;
    // From the program folder up: the ones nearest it are the likeliest to
    // be open, and each answer costs a call into the system.
    for (std::size_t i = folders.size(); i-- > 0;) {
        if (place.IsReparsePoint(folders[i])) return false;
        const auto security = place.Security(folders[i]);
        if (!security) return false;
        const bool judged = i + 1 == folders.size() ? OnlyTrustedCanChange(*security, runningAccount)
                                                    : OnlyTrustedCanMove(*security, i == 0, runningAccount);
        if (!judged) return false;
    }
    const std::string& base = folders.back();
    return std::all_of(inside.begin(), inside.end(), [&](const std::string& name) {
        const auto security = place.Security(base.back() == '\\' ? base + name : base + "\\" + name);
        return !security || OnlyTrustedCanChange(*security, runningAccount);
    });
}

}  // namespace brimlow
