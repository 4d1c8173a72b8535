// Entering a row's keys in the running program as a user does: a real click
// puts the focus in a box, real key presses go to it, and what the row then
// launches shows which codes it holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "control_ids.h"
#include "driver.h"
#include "mouse.h"

namespace brimlow::e2e {
namespace {

constexpr DWORD kHoldMs = 300;

class HotkeyEntry : public ProgramTest {
protected:
    bool ClickInto(int id) { return e2e::ClickInto(*program_, id); }

    // The focus goes to a box whose row is not active, so the keys held
    // to test a row type into nothing that matters.
    void ParkFocus() { ASSERT_TRUE(ClickInto(ids::kText2 + 9)); }

    // The letter box of row 0 clicked, its text selected to be typed over.
    void SelectLetterBox() {
        ASSERT_TRUE(ClickInto(ids::kText3));
        SendMessageA(program_->Control(ids::kText3), EM_SETSEL, 0, -1);
    }

    // One key pressed and released in the focused box, then handled.
    void Press(WORD key) {
        HoldKeys({key}, 150);
        program_->WaitForIdle();
    }

    // Types the text into the focused box one key press at a time, with
    // Shift held for the characters that need it.
    void Type(const std::string& text) {
        for (char c : text) {
            const SHORT scan = VkKeyScanA(c);
            const WORD key = LOBYTE(scan);
            const bool shift = (HIBYTE(scan) & 1) != 0;
            if (shift) KeyDown(VK_SHIFT);
            KeyDown(key);
            KeyUp(key);
            if (shift) KeyUp(VK_SHIFT);
            Wait(20);
        }
        program_->WaitForIdle();
    }

    // Holds the keys and gives the names of the targets started since the
    // last call.
    std::vector<std::string> StartsOn(std::initializer_list<WORD> keys) {
        HoldKeys(keys, kHoldMs);
        const auto starts = SettledStarts();
        std::vector<std::string> names;
        for (size_t i = seen_; i < starts.size(); ++i) names.push_back(starts[i].name);
        seen_ = starts.size();
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }

    size_t seen_ = 0;
};

using Names = std::vector<std::string>;

TEST_F(HotkeyEntry, PressingDeleteBackspacePageUpOrCtrlInAFirstKeyBoxBindsThatKey) {
    const std::string del = copy_.AddProbe("delete.exe");
    const std::string back = copy_.AddProbe("back.exe");
    const std::string pageUp = copy_.AddProbe("pageup.exe");
    const std::string ctrl = copy_.AddProbe("ctrl.exe");
    Start({{"INSERT", "K", del, "1 - Normal", "1"},
           {"INSERT", "K", back, "1 - Normal", "1"},
           {"INSERT", "K", pageUp, "1 - Normal", "1"},
           {"INSERT", "K", ctrl, "1 - Normal", "1"}});

    const struct {
        int row;
        WORD key;
        const char* shown;
    } presses[] = {{0, VK_DELETE, "DELETE"}, {1, VK_BACK, "BACKSPACE"}, {2, VK_PRIOR, "PAGE UP"}, {3, VK_CONTROL, "CTRL"}};
    for (const auto& press : presses) {
        ASSERT_TRUE(ClickInto(ids::kText1 + press.row)) << "row " << press.row << " has no focus";
        Press(press.key);
        EXPECT_EQ(program_->Text(ids::kText1 + press.row), press.shown);
    }
    ASSERT_TRUE(SettledStarts().empty()) << "no row is complete without its K";

    ParkFocus();
    EXPECT_EQ(StartsOn({VK_DELETE, 'K'}), Names{"delete.exe"});
    EXPECT_EQ(StartsOn({VK_BACK, 'K'}), Names{"back.exe"});
    EXPECT_EQ(StartsOn({VK_PRIOR, 'K'}), Names{"pageup.exe"});
    EXPECT_EQ(StartsOn({VK_CONTROL, 'K'}), Names{"ctrl.exe"});
}

TEST_F(HotkeyEntry, OnlyATypedCapitalLetterRebindsTheSecondKeyAndAnEmptyBoxKeepsIt) {
    const std::string probe = copy_.AddProbe();
    Start({{"CTRL", "N", probe, "1 - Normal", "1"}});
    ParkFocus();
    ASSERT_EQ(StartsOn({VK_CONTROL, 'N'}), Names{"probe.exe"});

    // "K" typed over the selected "N".
    ASSERT_NO_FATAL_FAILURE(SelectLetterBox());
    HoldKeys({VK_SHIFT, 'K'}, 150);
    program_->WaitForIdle();
    EXPECT_EQ(program_->Text(ids::kText3), "K");
    ParkFocus();
    EXPECT_EQ(StartsOn({VK_CONTROL, 'K'}), Names{"probe.exe"});
    EXPECT_EQ(StartsOn({VK_CONTROL, 'N'}), Names{});

    // A lower-case "k" is no key name: K stays bound.
    ASSERT_NO_FATAL_FAILURE(SelectLetterBox());
    Press('K');
    EXPECT_EQ(program_->Text(ids::kText3), "k");
    ParkFocus();
    EXPECT_EQ(StartsOn({VK_CONTROL, 'K'}), Names{"probe.exe"});

    // Emptied: still K.
    ASSERT_NO_FATAL_FAILURE(SelectLetterBox());
    Press(VK_DELETE);
    EXPECT_EQ(program_->Text(ids::kText3), "");
    ParkFocus();
    EXPECT_EQ(StartsOn({VK_CONTROL, 'K'}), Names{"probe.exe"});
    EXPECT_EQ(StartsOn({VK_CONTROL, 'N'}), Names{});
    EXPECT_TRUE(program_->Running());
}

// The text is far wider than the box; the row's own state was Maximized, so
// a normal start can only come from what was typed.
TEST_F(HotkeyEntry, AWindowStateTypedPastTheBoxWidthIsKeptWholeAndItsFirstCharacterCounts) {
    const std::string probe = copy_.AddProbe();
    Start({{"INSERT", "K", probe, "3 - Maximized", "1"}});
    const std::string typed = "1 - Normal and some more words";
    ASSERT_EQ(typed.size(), 30u);

    ASSERT_TRUE(ClickInto(ids::kCombo1)) << "the window-state box has no focus";
    SendMessageA(program_->Control(ids::kCombo1), CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    Type(typed);
    EXPECT_EQ(program_->Text(ids::kCombo1), typed);

    ParkFocus();
    ASSERT_EQ(StartsOn({VK_INSERT, 'K'}), Names{"probe.exe"});
    for (const ProbeStart& start : SettledStarts()) EXPECT_EQ(start.show, SW_SHOWNORMAL);
}

}  // namespace
}  // namespace brimlow::e2e
