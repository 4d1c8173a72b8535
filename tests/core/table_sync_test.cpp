#include "table_sync.h"

#include <gtest/gtest.h>

namespace brimlow {
namespace {

// The file as read: an old code-page table, whose rows write other bytes.
const std::string kRead = "old code page bytes";
const std::string kRowsAsRead = "rows as read";
const std::string kEdited = "rows edited";
const std::string kOther = "another writer's version";

TableSync ReadTable() {
    TableSync sync;
    sync.Remember(kRead, kRowsAsRead);
    return sync;
}

TEST(TableSync, AtAChangeReloadsOnlyWhenTheFileChangedAndTheRowsAreNotEdited) {
    const TableSync sync = ReadTable();
    EXPECT_EQ(sync.AtChange(kRead, kRowsAsRead), ChangeAction::Nothing);
    EXPECT_EQ(sync.AtChange(kRead, kEdited), ChangeAction::Nothing);
    EXPECT_EQ(sync.AtChange(kOther, kRowsAsRead), ChangeAction::Reload);
    EXPECT_EQ(sync.AtChange(std::nullopt, kRowsAsRead), ChangeAction::Reload) << "a missing file has changed";
    EXPECT_EQ(sync.AtChange(kOther, kEdited), ChangeAction::Hold);
    EXPECT_EQ(sync.AtChange(std::nullopt, kEdited), ChangeAction::Hold);
    // The other writer wrote exactly the edited rows (Save onto the file).
    EXPECT_EQ(sync.AtChange(kEdited, kEdited), ChangeAction::Adopt);
}

TEST(TableSync, AtACloseEveryCaseOfFileChangedAndRowsEdited) {
    const TableSync sync = ReadTable();
    // Not changed, not edited: the old code-page file is written as UTF-8 rows.
    EXPECT_EQ(sync.AtClose(kRead, kRowsAsRead), CloseAction::Write);
    EXPECT_EQ(sync.AtClose(kRead, kEdited), CloseAction::Write);
    EXPECT_EQ(sync.AtClose(kOther, kRowsAsRead), CloseAction::Nothing);
    EXPECT_EQ(sync.AtClose(std::nullopt, kRowsAsRead), CloseAction::Nothing);
    EXPECT_EQ(sync.AtClose(kOther, kEdited), CloseAction::KeepCopyAndWrite);
    EXPECT_EQ(sync.AtClose(std::nullopt, kEdited), CloseAction::Write) << "no other version to keep";
    // The file already holds exactly what the rows would write.
    EXPECT_EQ(sync.AtClose(kEdited, kEdited), CloseAction::Nothing);
}

TEST(TableSync, AnUnreadableFileIsReadAgainAtAChangeAndNeverWrittenOverAtAClose) {
    const TableSync sync = ReadTable();
    const TableOnDisk unreadable = TableOnDisk::Unreadable();
    EXPECT_EQ(sync.AtChange(unreadable, kRowsAsRead), ChangeAction::ReadAgain);
    EXPECT_EQ(sync.AtChange(unreadable, kEdited), ChangeAction::ReadAgain);
    EXPECT_EQ(sync.AtClose(unreadable, kEdited), CloseAction::CannotRead) << "a version never read is written over";
    EXPECT_EQ(sync.AtClose(unreadable, kRowsAsRead), CloseAction::Nothing) << "rows as read have nothing to save";
    EXPECT_FALSE(unreadable == TableOnDisk(std::nullopt)) << "unreadable is not missing";
    EXPECT_EQ(TableSync().AtClose(unreadable, kEdited), CloseAction::Nothing);
}

TEST(TableSync, BeforeAnyReadNothingHasChangedAndACloseWritesAsAlways) {
    const TableSync sync;
    EXPECT_FALSE(sync.Remembered());
    EXPECT_FALSE(sync.FileChanged(std::nullopt));
    EXPECT_FALSE(sync.RowsEdited(kEdited));
    EXPECT_EQ(sync.AtChange(kOther, kEdited), ChangeAction::Nothing);
    EXPECT_EQ(sync.AtClose(std::nullopt, kEdited), CloseAction::Write);
}

TEST(TableSync, ABadVersionIsReportedOnceUntilTheFileChangesOrLoads) {
    TableSync sync = ReadTable();
    EXPECT_TRUE(sync.FirstReportOf(kOther));
    EXPECT_FALSE(sync.FirstReportOf(kOther));
    EXPECT_TRUE(sync.FirstReportOf(std::nullopt));
    EXPECT_TRUE(sync.FirstReportOf(kOther));
    EXPECT_TRUE(sync.FirstReportOf(TableOnDisk::Unreadable()));
    EXPECT_FALSE(sync.FirstReportOf(TableOnDisk::Unreadable()));
    sync.Remember(kEdited, kEdited);
    EXPECT_TRUE(sync.FirstReportOf(kOther)) << "a good load in between";
}

TEST(TableSync, DatedCopyNamesSortByTimeAndCountWithinOneSecond) {
    EXPECT_EQ(DatedCopyName(2026, 12, 9, 10, 15, 0), "shortcuts-20261209-101500.ini");
    EXPECT_EQ(DatedCopyName(2026, 1, 2, 3, 4, 5, 2), "shortcuts-20260102-030405-2.ini");
}

}  // namespace
}  // namespace brimlow
