// The shortcuts file across two runs of the real program: what one run saves
// at closing, the next loads, and saving it again changes no byte.
#include <gtest/gtest.h>

#include <memory>

#include "control_ids.h"
#include "driver.h"
#include "mouse.h"

namespace brimlow::e2e {
namespace {

class RoundTrip : public ::testing::Test {
protected:
    void TearDown() override {
        for (WORD key : {WORD{VK_DELETE}, WORD{'K'}}) KeyUp(key);
    }

    std::unique_ptr<RunningProgram> Run() {
        auto program = std::make_unique<RunningProgram>(copy_);
        EXPECT_TRUE(program->WaitForForm()) << "the main window did not appear";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(program->Form()) != FALSE; }, 5000));
        EXPECT_TRUE(program->WaitForIdle());
        return program;
    }

    // Closing the window saves the rows and ends the program.
    void Close(RunningProgram& program) {
        PostMessageA(program.Form(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u) << "a successful save ends with 0";
    }

    ProgramCopy copy_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(RoundTrip, RowsEditedThroughTheControlsSurviveARestartByteForByte) {
    const std::string probe = copy_.AddProbe();
    // Texts the boxes must keep as they are: spaces, an unlisted state, the
    // dimmed Active state.
    copy_.WriteFile("data\\shortcuts.ini", ShortcutsFile({{"CTRL", "N", "C:\\windows\\win.ini", "2 - Minimized", "0"},
                                                          {" UP", "b", "  C:\\spaced path\\a.txt ", "", "2"},
                                                          {"PAUSE", "Z", "", "Whatever", "0"},
                                                          {"RIGHT", "K", "C:\\nothing.exe", "3 - Maximized", "1"}}));
    {
        auto first = Run();
        ASSERT_EQ(first->Text(ids::kText2 + 1), "  C:\\spaced path\\a.txt ");
        // Row 3: a new target typed in, and Delete pressed in its first-key box.
        first->SetText(ids::kText2 + 3, probe);
        ASSERT_TRUE(ClickInto(*first, ids::kText1 + 3));
        HoldKeys({VK_DELETE}, 150);
        ASSERT_TRUE(first->WaitForIdle());
        ASSERT_EQ(first->Text(ids::kText1 + 3), "DELETE");
        Close(*first);
    }
    const std::string saved = copy_.ReadFile("data\\shortcuts.ini");
    EXPECT_EQ(saved, ShortcutsFile({{"CTRL", "N", "C:\\windows\\win.ini", "2 - Minimized", "0"},
                                    {" UP", "b", "  C:\\spaced path\\a.txt ", "", "2"},
                                    {"PAUSE", "Z", "", "Whatever", "0"},
                                    {"DELETE", "K", probe, "3 - Maximized", "1"}}));

    {
        auto second = Run();
        EXPECT_EQ(second->Text(ids::kText1 + 3), "DELETE");
        EXPECT_EQ(second->Check(ids::kCheck1 + 1), BST_INDETERMINATE);
        // The name read back binds Delete again. The keys go to an Active
        // box, clicked twice so it is as it was, where they change no text.
        ASSERT_TRUE(ClickInto(*second, ids::kCheck1 + 9));
        ASSERT_TRUE(WaitUntil([&] { return second->Check(ids::kCheck1 + 9) == BST_CHECKED; }, 3000));
        Wait(GetDoubleClickTime() + 100);  // two clicks, not a double-click
        ASSERT_TRUE(ClickInto(*second, ids::kCheck1 + 9));
        ASSERT_TRUE(WaitUntil([&] { return second->Check(ids::kCheck1 + 9) == BST_UNCHECKED; }, 3000));
        HoldKeys({VK_DELETE, 'K'}, 300);
        EXPECT_TRUE(WaitUntil([&] { return !ProbeStarts(copy_).empty(); }, 5000)) << "Delete+K started nothing";
        Close(*second);
    }
    EXPECT_EQ(copy_.ReadFile("data\\shortcuts.ini"), saved);
}

}  // namespace
}  // namespace brimlow::e2e
