#include "only_trusted_can_change.h"

#include <algorithm>

namespace brimlow {
namespace {

bool IsTrusted(std::string_view sid, std::string_view runningAccount) {
    // An account that could not be read is nobody's.
    if (sid.empty()) return false;
    return sid == kAdministratorsSid || sid == kLocalSystemSid || sid == kTrustedInstallerSid || sid == runningAccount;
}

}  // namespace

bool OnlyTrustedCanChange(const ObjectSecurity& object, std::string_view runningAccount) {
    if (!IsTrusted(object.owner, runningAccount)) return false;
    if (!object.dacl) return false;
    return std::none_of(object.dacl->begin(), object.dacl->end(), [&](const AccessEntry& entry) {
        if (entry.kind != AccessEntry::Kind::Allow || entry.inheritOnly) return false;
        if ((entry.mask & kChangeRights) == 0) return false;
        // Granted to the owner, who is already known to be trusted.
        if (entry.sid == kOwnerRightsSid) return false;
        return !IsTrusted(entry.sid, runningAccount);
    });
}

}  // namespace brimlow
