#include "only_trusted_can_change.h"

#include <gtest/gtest.h>

namespace brimlow {
namespace {

const std::string kRunner = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kAdmins(kAdministratorsSid), kSystem(kLocalSystemSid), kInstaller(kTrustedInstallerSid);
const std::string kEveryone = "S-1-1-0", kUsers = "S-1-5-32-545";
constexpr std::uint32_t kFullAccess = 0x1f01ff, kModify = 0x1301bf, kReadAndExecute = 0x1200a9;

AccessEntry Allow(const std::string& sid, std::uint32_t mask, bool inheritOnly = false) {
    return {AccessEntry::Kind::Allow, inheritOnly, mask, sid};
}

// "C:\Program Files" as Windows 10 and 11 ship it: owned by TrustedInstaller,
// users read and run, full rights handed down only to what is inside.
ObjectSecurity ProgramFiles() {
    return {kInstaller, {{Allow(kInstaller, kFullAccess), Allow(kSystem, kModify), Allow(kAdmins, kModify),
                          Allow(kUsers, kReadAndExecute), Allow(kInstaller, kGenericAll, true)}}};
}

TEST(OnlyTrustedCanChange, ProgramFilesIsProtectedAndAFolderAnyUserMayModifyIsNot) {
    EXPECT_TRUE(OnlyTrustedCanChange(ProgramFiles(), kRunner));
    // Made by an administrator in C:\, it inherits "Authenticated Users: Modify".
    ObjectSecurity tools{kRunner, std::vector<AccessEntry>{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess),
                                                           Allow(kUsers, kReadAndExecute), Allow("S-1-5-11", kModify)}};
    EXPECT_FALSE(OnlyTrustedCanChange(tools, kRunner));
    tools.dacl->pop_back();
    EXPECT_TRUE(OnlyTrustedCanChange(tools, kRunner));
}

TEST(OnlyTrustedCanChange, EachChangeRightToAnyoneUntrustedOpensTheObject) {
    for (std::uint32_t right : {kWriteData, kAppendData, kDeleteChild, kDelete, kWriteDac, kWriteOwner, kGenericAll,
                                kGenericWrite}) {
        SCOPED_TRACE(right);
        ObjectSecurity object = ProgramFiles();
        object.dacl->push_back(Allow(kUsers, kReadAndExecute | right));
        EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner));
        // To a trusted account or the owner it opens nothing; to an account
        // that could not be read, it does.
        for (const auto& [sid, opens] : {std::pair{kRunner, false}, {std::string(kOwnerRightsSid), false},
                                         {kAdmins, false}, {std::string(), true}}) {
            object.dacl->back().sid = sid;
            EXPECT_EQ(OnlyTrustedCanChange(object, kRunner), !opens) << sid;
        }
    }
}

TEST(OnlyTrustedCanChange, AMissingListOrAnotherOwnerOpensTheObjectWhileDenyAndInheritOnlyEntriesOpenNothing) {
    EXPECT_FALSE(OnlyTrustedCanChange({kInstaller, std::nullopt}, kRunner)) << "no list: everyone may do anything";
    EXPECT_TRUE(OnlyTrustedCanChange({kInstaller, std::vector<AccessEntry>{}}, kRunner));
    ObjectSecurity object = ProgramFiles();
    object.owner = "S-1-5-21-1004336348-1177238915-682003330-1002";
    EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner)) << "an owner may rewrite the list";
    object.owner.clear();
    EXPECT_FALSE(OnlyTrustedCanChange(object, "")) << "an unread owner is not an unread running account";

    object = ProgramFiles();
    object.dacl->insert(object.dacl->begin(), {AccessEntry::Kind::Deny, false, kFullAccess, kEveryone});
    EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner));
    object.dacl->push_back(Allow(kEveryone, kModify));
    EXPECT_FALSE(OnlyTrustedCanChange(object, kRunner)) << "a deny entry before it lends no protection";
    object.dacl->back().inheritOnly = true;
    EXPECT_TRUE(OnlyTrustedCanChange(object, kRunner)) << "only handed down to what is inside";
}

}  // namespace
}  // namespace brimlow
