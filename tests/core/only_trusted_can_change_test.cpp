#include "only_trusted_can_change.h"

#include <gtest/gtest.h>

namespace brimlow {
namespace {

using Kind = AccessEntry::Kind;

const std::string kRunner = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kOtherUser = "S-1-5-21-1004336348-1177238915-682003330-1002";
const std::string kAdmins(kAdministratorsSid);
const std::string kSystem(kLocalSystemSid);
const std::string kInstaller(kTrustedInstallerSid);
const std::string kEveryone = "S-1-1-0";
const std::string kUsers = "S-1-5-32-545";
const std::string kAuthenticatedUsers = "S-1-5-11";
const std::string kCreatorOwner = "S-1-3-0";
const std::string kAllAppPackages = "S-1-15-2-1";

constexpr std::uint32_t kFullAccess = 0x1f01ff;
constexpr std::uint32_t kModify = 0x1301bf;
constexpr std::uint32_t kReadAndExecute = 0x1200a9;
constexpr std::uint32_t kGenericReadExecute = 0xa0000000;

AccessEntry Allow(const std::string& sid, std::uint32_t mask) { return {Kind::Allow, false, mask, sid}; }
AccessEntry AllowInside(const std::string& sid, std::uint32_t mask) { return {Kind::Allow, true, mask, sid}; }
AccessEntry Deny(const std::string& sid, std::uint32_t mask) { return {Kind::Deny, false, mask, sid}; }

// "C:\Program Files" as Windows 10 and 11 ship it: owned by TrustedInstaller,
// users read and run, everything handed down only to what is inside.
ObjectSecurity ProgramFiles() {
    return {kInstaller,
            std::vector<AccessEntry>{
                Allow(kInstaller, kFullAccess), AllowInside(kInstaller, kGenericAll),
                Allow(kSystem, kModify), AllowInside(kSystem, kGenericAll),
                Allow(kAdmins, kModify), AllowInside(kAdmins, kGenericAll),
                Allow(kUsers, kReadAndExecute), AllowInside(kUsers, kGenericReadExecute),
                AllowInside(kCreatorOwner, kGenericAll),
                Allow(kAllAppPackages, kReadAndExecute), AllowInside(kAllAppPackages, kGenericReadExecute),
            }};
}

// A folder an administrator made in C:\ : it inherits the root's
// "Authenticated Users: Modify".
ObjectSecurity ToolsFolder() {
    return {kRunner, std::vector<AccessEntry>{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess),
                                              Allow(kUsers, kReadAndExecute), Allow(kAuthenticatedUsers, kModify)}};
}

TEST(OnlyTrustedCanChange, ProgramFilesIsProtectedAndAFolderAnyUserMayModifyIsNot) {
    EXPECT_TRUE(OnlyTrustedCanChange(ProgramFiles(), kRunner));
    EXPECT_FALSE(OnlyTrustedCanChange(ToolsFolder(), kRunner));

    ObjectSecurity tools = ToolsFolder();
    tools.dacl->pop_back();
    EXPECT_TRUE(OnlyTrustedCanChange(tools, kRunner)) << "users who only read and run";
    EXPECT_FALSE(OnlyTrustedCanChange(tools, kOtherUser)) << "started by another account, the owner is not trusted";

    // Wine makes the list from the Unix mode: 755, then o+w.
    ObjectSecurity wine{kRunner, std::vector<AccessEntry>{Allow(kSystem, kFullAccess), Allow(kRunner, kFullAccess),
                                                          Allow(kEveryone, kReadAndExecute)}};
    EXPECT_TRUE(OnlyTrustedCanChange(wine, kRunner));
    wine.dacl->back().mask = 0x1301ff;
    EXPECT_FALSE(OnlyTrustedCanChange(wine, kRunner));
}

TEST(OnlyTrustedCanChange, EachChangeRightGrantedToAnotherAccountOpensTheObject) {
    for (std::uint32_t right : {kWriteData, kAppendData, kDeleteChild, kDelete, kWriteDac, kWriteOwner, kGenericAll,
                                kGenericWrite, kFullAccess}) {
        SCOPED_TRACE(right);
        ObjectSecurity object = ProgramFiles();
        object.dacl->push_back(Allow(kUsers, kReadAndExecute | right));
        EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner));
        // To a trusted account, or to whoever owns it, the same right is no
        // opening.
        object.dacl->back().sid = kRunner;
        EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner));
        object.dacl->back().sid = std::string(kOwnerRightsSid);
        EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner));
        // An account that could not be read is nobody trusted.
        object.dacl->back().sid.clear();
        EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner));
    }
    // Writing attributes and extended attributes changes nothing that runs.
    ObjectSecurity object = ProgramFiles();
    object.dacl->push_back(Allow(kEveryone, kReadAndExecute | 0x0100 | 0x0010));
    EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner));
}

TEST(OnlyTrustedCanChange, AMissingListOrAnOwnerThatIsNotTrustedOpensTheObject) {
    EXPECT_FALSE(OnlyTrustedCanChange({kInstaller, std::nullopt}, kRunner)) << "no list: everyone may do anything";
    EXPECT_TRUE(OnlyTrustedCanChange({kInstaller, std::vector<AccessEntry>{}}, kRunner)) << "an empty list grants nothing";

    ObjectSecurity object = ProgramFiles();
    object.owner = kOtherUser;
    EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner)) << "an owner may rewrite the list";
    object.owner.clear();
    EXPECT_FALSE(OnlyTrustedCanChange(object, "")) << "an unread owner is not an unread running account";
    for (const std::string& owner : {kAdmins, kSystem, kInstaller, kRunner}) {
        object.owner = owner;
        EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner)) << owner;
    }
}

TEST(OnlyTrustedCanChange, DenyEntriesNeitherOpenNorProtectAndInheritOnlyEntriesDoNotApply) {
    ObjectSecurity object = ProgramFiles();
    object.dacl->insert(object.dacl->begin(), Deny(kEveryone, kFullAccess));
    EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner)) << "a deny entry opens nothing";

    ObjectSecurity tools = ToolsFolder();
    tools.dacl->insert(tools.dacl->begin(), Deny(kAuthenticatedUsers, kChangeRights));
    EXPECT_FALSE(OnlyTrustedCanChange(tools, kRunner)) << "a deny entry lends no protection";

    object = ProgramFiles();
    object.dacl->push_back(AllowInside(kEveryone, kGenericAll));
    EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner)) << "only handed down to what is inside";
    object.dacl->back().inheritOnly = false;
    EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner));
}

}  // namespace
}  // namespace brimlow
