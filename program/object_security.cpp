#include "object_security.h"

#include <sddl.h>

#include <utility>
#include <vector>

#include "handles.h"
#include "paths.h"

namespace brimlow::win {
namespace {

// Memory the security functions hand out, given back with LocalFree.
class LocalMemory {
public:
    LocalMemory() = default;
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    ~LocalMemory() {
        if (memory_ != nullptr) LocalFree(memory_);
    }
    template <typename T>
    T** Out() {
        return reinterpret_cast<T**>(&memory_);
    }
    template <typename T>
    T* As() const {
        return static_cast<T*>(memory_);
    }

private:
    HLOCAL memory_ = nullptr;
};

std::string SidText(PSID sid) {
    LocalMemory text;
    if (sid == nullptr || !IsValidSid(sid) || !ConvertSidToStringSidA(sid, text.Out<char>())) return std::string();
    return text.As<char>();
}

// The entry as the core sees it; nothing for an entry that grants and denies
// nothing (audit and label entries have no place in an access list anyway).
std::optional<AccessEntry> EntryOf(const ACE_HEADER* header) {
    AccessEntry entry;
    // Every allow and deny layout keeps its mask right after the header.
    entry.mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    const auto sidOf = [&] {
        return SidText(const_cast<DWORD*>(&reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->SidStart));
    };
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
            entry.kind = AccessEntry::Kind::Allow;
            entry.sid = sidOf();
            return entry;
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
            entry.kind = AccessEntry::Kind::Deny;
            return entry;
        case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
            // Kinds a file's list does not use, with the account elsewhere:
            // left unread, the grant counts as one to somebody untrusted.
            entry.kind = AccessEntry::Kind::Allow;
            return entry;
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<ObjectSecurity> ReadFileSecurity(const std::string& path) {
    // GetFileSecurity costs fewer trips to the system than
    // GetNamedSecurityInfo; a file's owner and list nearly always fit in the
    // first buffer, so one call is the rule.
    constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    const std::wstring wide = ToWide(path);
    std::vector<unsigned char> descriptor(4096);
    DWORD needed = 0;
    BOOL read = GetFileSecurityW(wide.c_str(), kWhat, descriptor.data(), static_cast<DWORD>(descriptor.size()), &needed);
    if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        descriptor.resize(needed);
        read = GetFileSecurityW(wide.c_str(), kWhat, descriptor.data(), needed, &needed);
    }
    const DWORD status = read ? ERROR_SUCCESS : GetLastError();
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return std::nullopt;
    ObjectSecurity security;
    if (status != ERROR_SUCCESS) return security;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted)) {
        return security;
    }
    if (!present) dacl = nullptr;
    security.owner = SidText(owner);
    if (dacl == nullptr) return security;
    security.dacl.emplace();
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) {
            // An entry that cannot be read may grant anything.
            security.dacl->push_back({AccessEntry::Kind::Allow, false, kChangeRights, std::string()});
            continue;
        }
        if (auto entry = EntryOf(static_cast<const ACE_HEADER*>(ace))) security.dacl->push_back(std::move(*entry));
    }
    return security;
}

std::string RunningAccountSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::string();
    const UniqueKernel token(opened);
    // Room for the largest SID there is, so one call is enough.
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, &buffer, sizeof buffer, &size)) return std::string();
    return SidText(buffer.user.User.Sid);
}

bool SystemProgramPlace::IsLocalFixedVolume(const std::string& root) {
    // A network share's permissions are another machine's to decide, and a
    // removable disk's can be rewritten on any other computer.
    return GetDriveTypeW(ToWide(root).c_str()) == DRIVE_FIXED;
}

bool SystemProgramPlace::IsReparsePoint(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(ToWide(folder).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace brimlow::win
