#include "only_trusted_can_change.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace brimlow {
namespace {

const std::string kRunner = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kAdmins(kAdministratorsSid), kSystem(kLocalSystemSid), kInstaller(kTrustedInstallerSid);
const std::string kEveryone = "S-1-1-0", kUsers = "S-1-5-32-545", kAuthenticated = "S-1-5-11",
                  kCreatorOwner = "S-1-3-0";
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

// "C:\" as Windows 10 and 11 set it: every user may make a folder in it
// (append data), and folders made there inherit "Authenticated Users:
// Modify", which applies to them, not to C:\. A new NTFS data drive's root
// has that Modify on itself and on all it holds.
ObjectSecurity SystemDriveRoot() {
    return {kInstaller, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess), Allow(kUsers, kReadAndExecute),
                          Allow(kAuthenticated, kModify, true), Allow(kAuthenticated, kAppendData)}}};
}
ObjectSecurity DataDriveRoot() {
    return {kAdmins, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess), Allow(kAuthenticated, kModify)}}};
}
// "Tools", made by an administrator in such a root: near enough, every entry
// now applies to it.
ObjectSecurity ToolsIn(ObjectSecurity root) {
    for (AccessEntry& entry : *root.dacl) entry.inheritOnly = false;
    return {kAdmins, root.dacl};
}
ObjectSecurity Tightened() { return {kAdmins, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess)}}}; }

TEST(OnlyTrustedCanMove, OnlyRightsThatMoveOrReplaceWhatAFolderHoldsCount) {
    EXPECT_TRUE(OnlyTrustedCanMove(SystemDriveRoot(), true, kRunner)) << "adding a folder moves nothing";
    EXPECT_FALSE(OnlyTrustedCanMove(ToolsIn(SystemDriveRoot()), false, kRunner)) << "any user renames C:\\Tools";
    // Modify holds DELETE, which a root cannot be used for.
    EXPECT_TRUE(OnlyTrustedCanMove(DataDriveRoot(), true, kRunner));
    EXPECT_FALSE(OnlyTrustedCanMove(ToolsIn(DataDriveRoot()), false, kRunner));
    // Each right that moves counts, DELETE except at a root; writing and adding do not.
    for (std::uint32_t right : {kDelete, kDeleteChild, kWriteDac, kWriteOwner, kGenericAll, kWriteData | kGenericWrite}) {
        ObjectSecurity parent = Tightened();
        parent.dacl->push_back(Allow(kUsers, kReadAndExecute | right));
        const bool moves = (right & kGenericWrite) == 0;
        EXPECT_EQ(OnlyTrustedCanMove(parent, false, kRunner), !moves) << right;
        EXPECT_EQ(OnlyTrustedCanMove(parent, true, kRunner), !moves || right == kDelete) << right;
    }
}

struct FakePlace : ProgramPlace {
    std::set<std::string> fixedVolumes{"C:\\", "D:\\"}, reparsePoints;
    std::map<std::string, ObjectSecurity> objects{
        {"C:\\", SystemDriveRoot()}, {"C:\\Program Files", ProgramFiles()}, {"C:\\Program Files\\Brimlow", Tightened()},
        {"C:\\Tools", ToolsIn(SystemDriveRoot())}, {"C:\\Tools\\Brimlow", Tightened()}, {"D:\\", DataDriveRoot()},
        {"D:\\Brimlow", Tightened()}, {"D:\\Tools", ToolsIn(DataDriveRoot())}, {"D:\\Tools\\Brimlow", Tightened()}};
    int asked = 0;

    bool IsLocalFixedVolume(const std::string& root) override { return ++asked, fixedVolumes.count(root) > 0; }
    bool IsReparsePoint(const std::string& folder) override { return reparsePoints.count(folder) > 0; }
    std::optional<ObjectSecurity> Security(const std::string& path) override {
        const auto found = objects.find(path);
        return found != objects.end() ? std::optional(found->second) : std::nullopt;
    }
    bool Protected(const std::string& folder) {
        return OnlyTrustedCanChangeOrMove(folder, {"data", "Program.exe"}, *this, kRunner);
    }
};

TEST(OnlyTrustedCanChangeOrMove, EveryFolderUpToTheRootCountsAndALinkOrAVolumeNotFixedHereIsNeverProtected) {
    FakePlace place;
    EXPECT_TRUE(place.Protected("C:\\Program Files\\Brimlow\\"));
    EXPECT_TRUE(place.Protected("D:\\Brimlow")) << "tightened, in the data drive's root";
    EXPECT_FALSE(place.Protected("C:\\Tools\\Brimlow")) << "tightened, but C:\\Tools stays open";
    EXPECT_FALSE(place.Protected("D:\\Tools\\Brimlow"));
    // A junction to the protected folder, and a link above it.
    place.objects["C:\\BrimlowLink"] = Tightened();
    place.reparsePoints = {"C:\\BrimlowLink"};
    EXPECT_FALSE(place.Protected("C:\\BrimlowLink"));
    place.reparsePoints = {"C:\\Program Files"};
    EXPECT_FALSE(place.Protected("C:\\Program Files\\Brimlow"));
    // A removable or network drive; a UNC or other path is not even asked about.
    place.fixedVolumes = {"C:\\"};
    EXPECT_FALSE(place.Protected("D:\\Brimlow"));
    place.asked = 0;
    for (const char* other : {"\\\\server\\share\\Brimlow", "\\\\?\\C:\\Brimlow", "C:Brimlow", "C:\\Tools\\..\\Brimlow"}) {
        EXPECT_FALSE(place.Protected(other)) << other;
    }
    EXPECT_EQ(place.asked, 0);
}

}  // namespace
}  // namespace brimlow
