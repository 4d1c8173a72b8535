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
// Modify", which applies to them, not to C:\.
ObjectSecurity SystemDriveRoot() {
    return {kInstaller, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess), Allow(kUsers, kReadAndExecute),
                          Allow(kAuthenticated, kModify, true), Allow(kAuthenticated, kAppendData)}}};
}

// A new NTFS data drive's root: "Authenticated Users: Modify" on the root
// itself and on all it holds.
ObjectSecurity DataDriveRoot() {
    return {kAdmins, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess), Allow(kAuthenticated, kModify),
                       Allow(kUsers, kReadAndExecute)}}};
}

// A folder an administrator made in such a root, as it inherits.
ObjectSecurity MadeIn(const ObjectSecurity& root) {
    ObjectSecurity made{kAdmins, std::vector<AccessEntry>{}};
    for (const AccessEntry& entry : *root.dacl) {
        if (entry.mask != kAppendData) made.dacl->push_back(Allow(entry.sid, entry.mask));
    }
    return made;
}

ObjectSecurity Tightened() { return {kAdmins, {{Allow(kAdmins, kFullAccess), Allow(kSystem, kFullAccess)}}}; }

TEST(OnlyTrustedCanMove, OnlyRightsThatMoveOrReplaceWhatAFolderHoldsCount) {
    EXPECT_TRUE(OnlyTrustedCanMove(SystemDriveRoot(), true, kRunner)) << "adding a folder moves nothing";
    EXPECT_TRUE(OnlyTrustedCanMove(ProgramFiles(), false, kRunner)) << "CREATOR OWNER's entry is only handed down";
    EXPECT_FALSE(OnlyTrustedCanMove(MadeIn(SystemDriveRoot()), false, kRunner)) << "C:\\Tools: any user renames it";
    // The data drive's Modify holds DELETE, which a root cannot be used for.
    EXPECT_TRUE(OnlyTrustedCanMove(DataDriveRoot(), true, kRunner));
    EXPECT_FALSE(OnlyTrustedCanMove(DataDriveRoot(), false, kRunner));
    EXPECT_FALSE(OnlyTrustedCanMove(MadeIn(DataDriveRoot()), false, kRunner)) << "D:\\Tools";

    for (std::uint32_t right : {kDelete, kDeleteChild, kWriteDac, kWriteOwner, kGenericAll}) {
        ObjectSecurity parent = Tightened();
        parent.dacl->push_back(Allow(kUsers, kReadAndExecute | right));
        EXPECT_FALSE(OnlyTrustedCanMove(parent, false, kRunner)) << right;
        EXPECT_EQ(OnlyTrustedCanMove(parent, true, kRunner), right == kDelete) << right;
    }
    ObjectSecurity parent = Tightened();
    parent.dacl->push_back(Allow(kUsers, kReadAndExecute | kWriteData | kAppendData | kGenericWrite));
    EXPECT_TRUE(OnlyTrustedCanMove(parent, false, kRunner)) << "adding files and folders moves nothing";
    parent.owner = "S-1-5-21-1004336348-1177238915-682003330-1002";
    EXPECT_FALSE(OnlyTrustedCanMove(parent, false, kRunner)) << "an owner may rewrite the list";
}

TEST(IsPlainDrivePath, OnlyAFullPathOnADriveLetter) {
    for (const char* plain : {"C:\\Program Files\\Brimlow", "d:\\Tools\\", "C:\\"}) EXPECT_TRUE(IsPlainDrivePath(plain)) << plain;
    for (const char* other : {"\\\\server\\share\\Brimlow", "\\\\?\\C:\\Brimlow", "\\\\?\\UNC\\server\\share", "C:Brimlow",
                              "C:", "Brimlow", "C:\\Tools\\..\\Brimlow", "C:\\Tools\\\\Brimlow", "C:\\Tools/Brimlow",
                              "C:\\Tools:stream", ""}) {
        EXPECT_FALSE(IsPlainDrivePath(other)) << other;
    }
}

// The system's answers about a few folders, as a map of paths.
class FakePlace : public ProgramPlace {
public:
    std::set<std::string> fixedVolumes{"C:\\", "D:\\"};
    std::set<std::string> reparsePoints;
    std::map<std::string, ObjectSecurity> objects{{"C:\\", SystemDriveRoot()},
                                                  {"C:\\Program Files", ProgramFiles()},
                                                  {"C:\\Program Files\\Brimlow", Tightened()},
                                                  {"C:\\Program Files\\Brimlow\\Program.exe", Tightened()},
                                                  {"C:\\Tools", MadeIn(SystemDriveRoot())},
                                                  {"C:\\Tools\\Brimlow", Tightened()},
                                                  {"D:\\", DataDriveRoot()},
                                                  {"D:\\Brimlow", Tightened()},
                                                  {"D:\\Tools", MadeIn(DataDriveRoot())},
                                                  {"D:\\Tools\\Brimlow", Tightened()}};
    int asked = 0;

    bool IsLocalFixedVolume(const std::string& root) override { return ++asked, fixedVolumes.count(root) > 0; }
    bool IsReparsePoint(const std::string& folder) override { return ++asked, reparsePoints.count(folder) > 0; }
    std::optional<ObjectSecurity> Security(const std::string& path) override {
        ++asked;
        const auto found = objects.find(path);
        if (found == objects.end()) return std::nullopt;
        return found->second;
    }
};

bool Protected(const std::string& folder, FakePlace& place) {
    return OnlyTrustedCanChangeOrMove(folder, {"data", "Program.exe", "data\\shortcuts.ini"}, place, kRunner);
}

TEST(OnlyTrustedCanChangeOrMove, EveryFolderUpToTheRootCountsAndALinkOrAVolumeNotFixedHereIsNeverProtected) {
    FakePlace place;
    EXPECT_TRUE(Protected("C:\\Program Files\\Brimlow", place));
    EXPECT_TRUE(Protected("C:\\Program Files\\Brimlow\\", place));
    EXPECT_TRUE(Protected("D:\\Brimlow", place)) << "tightened, in the data drive's root";
    EXPECT_FALSE(Protected("C:\\", place)) << "every user may add to C:\\";
    EXPECT_FALSE(Protected("C:\\Tools\\Brimlow", place)) << "tightened, but C:\\Tools stays open";
    EXPECT_FALSE(Protected("D:\\Tools\\Brimlow", place));
    EXPECT_FALSE(Protected("C:\\Program Files\\Gone", place));
    place.objects["C:\\Program Files\\Brimlow\\data\\shortcuts.ini"] = MadeIn(DataDriveRoot());
    EXPECT_FALSE(Protected("C:\\Program Files\\Brimlow", place)) << "a file inside is judged as before";
    place.objects.erase("C:\\Program Files\\Brimlow\\data\\shortcuts.ini");

    // A junction to the protected folder, and a link above it.
    place.objects["C:\\BrimlowLink"] = Tightened();
    place.reparsePoints = {"C:\\BrimlowLink"};
    EXPECT_FALSE(Protected("C:\\BrimlowLink", place));
    place.reparsePoints = {"C:\\Program Files"};
    EXPECT_FALSE(Protected("C:\\Program Files\\Brimlow", place));
    place.reparsePoints.clear();

    // A removable or network drive, and a UNC path, which is not even asked about.
    place.fixedVolumes = {"C:\\"};
    EXPECT_FALSE(Protected("D:\\Brimlow", place));
    place.asked = 0;
    EXPECT_FALSE(Protected("\\\\server\\share\\Brimlow", place));
    EXPECT_EQ(place.asked, 0);
}

}  // namespace
}  // namespace brimlow
