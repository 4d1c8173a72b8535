// The shortcuts file across two runs of the real program: what one run saves
// at closing, the next loads, and saving it again changes no byte.
#include <gtest/gtest.h>

#include "control_ids.h"
#include "driver.h"
#include "mouse.h"

namespace brimlow::e2e {
namespace {

class RoundTrip : public ProgramTest {
protected:
    // Closing the window saves the rows and ends the program.
    void Close() {
        program_->Close();
        EXPECT_EQ(program_->WaitForExit(), 0u) << "a successful save ends with 0";
    }
};

TEST_F(RoundTrip, RowsEditedThroughTheControlsSurviveARestartByteForByte) {
    const std::string probe = copy_.AddProbe();
    // Texts the boxes must keep as they are: spaces, an unlisted state, the
    // dimmed Active state.
    Start({{"CTRL", "N", "C:\\windows\\win.ini", "2 - Minimized", "0"},
           {" UP", "b", "  C:\\spaced path\\a.txt ", "", "2"},
           {"PAUSE", "Z", "", "Whatever", "0"},
           {"RIGHT", "K", "C:\\nothing.exe", "3 - Maximized", "1"}});
    ASSERT_EQ(program_->Text(ids::kText2 + 1), "  C:\\spaced path\\a.txt ");
    // Row 3: a new target typed in, and Delete pressed in its first-key box.
    program_->SetText(ids::kText2 + 3, probe);
    ASSERT_TRUE(ClickInto(*program_, ids::kText1 + 3));
    HoldKeys({VK_DELETE}, 150);
    ASSERT_TRUE(program_->WaitForIdle());
    ASSERT_EQ(program_->Text(ids::kText1 + 3), "DELETE");
    Close();
    const std::string saved = copy_.ReadFile("data\\shortcuts.ini");
    EXPECT_EQ(saved, ShortcutsFile({{"CTRL", "N", "C:\\windows\\win.ini", "2 - Minimized", "0"},
                                    {" UP", "b", "  C:\\spaced path\\a.txt ", "", "2"},
                                    {"PAUSE", "Z", "", "Whatever", "0"},
                                    {"DELETE", "K", probe, "3 - Maximized", "1"}}));

    StartAgain();
    EXPECT_EQ(program_->Text(ids::kText1 + 3), "DELETE");
    EXPECT_EQ(program_->Check(ids::kCheck1 + 1), BST_INDETERMINATE);
    // The name read back binds Delete again. The keys go to an Active box,
    // clicked twice so it is as it was, where they change no text.
    ASSERT_TRUE(ClickInto(*program_, ids::kCheck1 + 9));
    ASSERT_TRUE(WaitUntil([&] { return program_->Check(ids::kCheck1 + 9) == BST_CHECKED; }, 3000));
    // Two clicks, not a double-click: the second comes after the system's
    // double-click time.
    Wait(GetDoubleClickTime() + 100);
    ASSERT_TRUE(ClickInto(*program_, ids::kCheck1 + 9));
    ASSERT_TRUE(WaitUntil([&] { return program_->Check(ids::kCheck1 + 9) == BST_UNCHECKED; }, 3000));
    HoldKeys({VK_DELETE, 'K'}, 300);
    EXPECT_TRUE(WaitUntil([&] { return !ProbeStarts(copy_).empty(); }, 5000)) << "Delete+K started nothing";
    Close();
    EXPECT_EQ(copy_.ReadFile("data\\shortcuts.ini"), saved);
}

// A table an earlier version wrote in code page 1252: its letters show as
// they were typed, and the close writes them back in UTF-8.
TEST_F(RoundTrip, AnOldTableInCodePage1252ShowsItsLettersAndIsWrittenBackAsUtf8) {
    if (LegacyAnsiCodePage() != 1252) GTEST_SKIP() << "the system code page is " << LegacyAnsiCodePage();
    Start({{"CTRL", "N", "C:\\Users\\Jos\xE9\\Documents\\Liste \xE0 faire.txt", "1 - Normal", "0"}});
    const std::string utf8Path = "C:\\Users\\Jos\xC3\xA9\\Documents\\Liste \xC3\xA0 faire.txt";
    EXPECT_EQ(program_->Text(ids::kText2), utf8Path);
    Close();
    EXPECT_EQ(copy_.ReadFile("data\\shortcuts.ini"),
              ShortcutsFile({{"CTRL", "N", utf8Path, "1 - Normal", "0"}}));
}

}  // namespace
}  // namespace brimlow::e2e
