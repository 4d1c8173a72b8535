// The hot-key engine end to end: the real program polls the keyboard while a
// second process (this test) presses keys with SendInput, and the probe
// records every start the launcher makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "control_ids.h"
#include "driver.h"
#include "program_windows.h"
#include "start_at_logon.h"
#include "support/key_log_window.h"

namespace brimlow::e2e {
namespace {

using testing::KeyLogWindow;
using Keys = std::vector<std::string>;

class Polling : public ProgramTest {
protected:
    void SetUp() override { probe_ = copy_.AddProbe(); }

    // Starts the program with these rows, written both to its shortcuts file
    // and into its controls.
    void Start(const std::vector<Row>& rows) {
        ProgramTest::Start(rows);
        for (int i = 0; i < 10; ++i) EnterRow(*program_, i, rows_[static_cast<size_t>(i)]);
    }

    void HideAndSettle() {
        program_->Click(ids::kCommand1);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(program_->Form()); }, 3000));
        ASSERT_TRUE(program_->WaitForIdle());
        ASSERT_FALSE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 3 * kTickMs))
            << "the tick must not show it by itself";
    }

    std::string probe_;
};

// The window in front gets exactly the keys pressed, never F22 going down.
// F22, down since the rounds, goes up after the user's next key (a Shift
// tap); only its key-up may reach the window in front.
TEST_F(Polling, HoldingCtrlNForOneSecondStartsTheTargetAboutTenTimesInItsWindowState) {
    Start({{"CTRL", "N", probe_, "2 - Minimized", "1"}});
    KeyLogWindow front;
    HoldKeys({VK_CONTROL, 'N'}, 1000);
    Wait(3 * kTickMs);
    HoldKeys({VK_SHIFT}, 150);
    EXPECT_TRUE(WaitUntil([] { return GetAsyncKeyState(VK_F22) >= 0; }, 1000)) << "F22 is still down";
    Wait(2 * kTickMs);
    for (const std::string& key : front.keys) std::printf("the window in front received %s\n", key.c_str());
    Keys keys = front.keys;
    const auto f22Up = std::find(keys.begin(), keys.end(), "WM_KEYUP 85");
    if (f22Up != keys.end()) keys.erase(f22Up);
    EXPECT_EQ(keys, (Keys{"WM_KEYDOWN 11", "WM_KEYDOWN 4E", "WM_KEYUP 4E", "WM_KEYUP 11", "WM_KEYDOWN 10", "WM_KEYUP 10"}));
    const auto starts = SettledStarts();
    EXPECT_GE(starts.size(), 8u);
    EXPECT_LE(starts.size(), 12u);
    for (const auto& start : starts) EXPECT_EQ(start.show, SW_SHOWMINIMIZED);
    EXPECT_TRUE(program_->Running());
}

TEST_F(Polling, RowsThatAreNotTickedOrWhoseStateStartsWithALetterNeverLaunch) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "0"},
           {"CTRL", "N", probe_, "1 - Normal", "2"},
           {"CTRL", "N", probe_, "Normal", "1"}});
    const size_t windowsBefore = program_->Windows().size();
    HoldKeys({VK_CONTROL, 'N'}, 500);
    EXPECT_TRUE(SettledStarts().empty());
    EXPECT_EQ(program_->Windows().size(), windowsBefore) << "no message box";
    EXPECT_TRUE(program_->Running());
}

// Each tick starts row 0's target, then row 1's. When the keys come up while
// row 0's start is under way, that last tick starts row 0's target alone.
TEST_F(Polling, TwoActiveRowsOnTheSameKeysBothLaunchInOneTickTheLowerRowFirst) {
    const std::string first = copy_.AddProbe("first.exe");
    const std::string second = copy_.AddProbe("second.exe");
    Start({{"CTRL", "K", first, "1 - Normal", "1"}, {"CTRL", "K", second, "3 - Maximized", "1"}});
    HoldKeys({VK_CONTROL, 'K'}, 250);
    auto starts = SettledStarts();
    ASSERT_GE(starts.size(), 1u);
    std::stable_sort(starts.begin(), starts.end(),
                     [](const ProbeStart& a, const ProbeStart& b) { return a.created < b.created; });
    std::vector<std::string> order, expected;
    for (size_t i = 0; i < starts.size(); ++i) {
        order.push_back(starts[i].name);
        expected.push_back(i % 2 == 0 ? "first.exe" : "second.exe");
    }
    EXPECT_EQ(order, expected) << "ticks of row 0 then row 1, the last one perhaps of row 0 alone";
    for (const auto& start : starts) EXPECT_EQ(start.show, start.name == "first.exe" ? SW_SHOWNORMAL : SW_SHOWMAXIMIZED);
}

TEST_F(Polling, WithoutTheLauncherTheKeysDoNothingUntilItIsBack) {
    ASSERT_TRUE(copy_.Rename("Ostrad.dll", "Ostrad.away"));
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    HoldKeys({VK_CONTROL, 'N'}, 400);
    EXPECT_TRUE(SettledStarts().empty());
    EXPECT_TRUE(program_->Running());

    ASSERT_TRUE(copy_.Rename("Ostrad.away", "Ostrad.dll"));
    HoldKeys({VK_CONTROL, 'N'}, 400);
    EXPECT_FALSE(SettledStarts().empty()) << "the next press binds the launcher without a restart";
}

// It comes back in front; the window that was in front got no extra key.
TEST_F(Polling, AHiddenMainWindowComesBackOnCtrlAltF1) {
    Start({});
    HideAndSettle();
    KeyLogWindow front;
    HoldKeys({VK_CONTROL, VK_MENU, VK_F1}, 1000);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 3000));
    EXPECT_EQ(GetForegroundWindow(), program_->Form());
    EXPECT_EQ(front.keys, (Keys{"WM_KEYDOWN 11", "WM_KEYDOWN 12", "WM_KEYDOWN 70"})) << "then the focus went";
}

// AltGr is Left Ctrl plus Right Alt: AltGr+E types € and fires no CTRL + E
// row; Right Ctrl + E does.
TEST_F(Polling, AltGrAndALetterLaunchNothingRightCtrlAndTheLetterLaunch) {
    Start({{"CTRL", "E", probe_, "1 - Normal", "1"}});
    HoldKeys({VK_LCONTROL, VK_RMENU, 'E'}, 1000);
    EXPECT_TRUE(SettledStarts().empty());
    HoldKeys({VK_RCONTROL, 'E'}, 1000);
    EXPECT_GE(SettledStarts().size(), 8u);
}

// A launch that waits 300 ms in a message loop of its own while the keys stay
// down: one launch per outer tick, none from the ticks delivered inside it.
TEST_F(Polling, ATickDeliveredInsideALaunchLaunchesNothing) {
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\e2e\\pumping\\Ostrad.dll").c_str(), copy_.PathOf("Ostrad.dll").c_str(), FALSE));
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    HoldKeys({VK_CONTROL, 'N'}, 1000);
    Wait(500);
    const std::string log = copy_.ReadFile("launcher.log");
    const auto calls = std::count(log.begin(), log.end(), '\n');
    EXPECT_TRUE(calls >= 2 && calls <= 5 && log.find("depth=2") == std::string::npos) << log;
}

// A second start of the same folder, spelled another way (its short name, in
// lower case), while the first copy runs hidden: it brings the first copy's
// window back and ends with 0 without touching the table or the registry, and
// a held hot key then fires as often as with one copy.
TEST_F(Polling, ASecondStartOfTheFolderShowsTheFirstCopyEndsWithZeroAndTouchesNothing) {
    const char* runKey = Module3::kRunKey;
    const char* runName = Module3::kRunValueName;
    RestoreValue runValue(HKEY_LOCAL_MACHINE, runKey, runName);
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    HideAndSettle();
    // The first copy registered itself; a second start must not do it again.
    DeleteValue(HKEY_LOCAL_MACHINE, runKey, runName);
    const std::string shortcuts = copy_.PathOf("data\\shortcuts.ini");
    ASSERT_TRUE(testing::SetOldWriteTime(shortcuts));
    const std::string bytes = copy_.ReadFile("data\\shortcuts.ini");
    const ULONGLONG written = testing::WriteTime(shortcuts);

    char shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameA(copy_.PathOf("program.exe").c_str(), shortName, MAX_PATH), 0u);
    std::string spelled = shortName;
    std::transform(spelled.begin(), spelled.end(), spelled.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    const ULONGLONG started = GetTickCount64();
    RunningProgram second(spelled, "C:\\");
    ASSERT_TRUE(second.Started()) << spelled;
    EXPECT_EQ(second.WaitForExit(5000), 0u) << "the second start did not end with 0 within 5 s";
    std::printf("second start of %s ended after %llu ms\n", spelled.c_str(), GetTickCount64() - started);

    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 3000))
        << "the first copy's window did not come back";
    EXPECT_EQ(copy_.ReadFile("data\\shortcuts.ini"), bytes);
    EXPECT_EQ(testing::WriteTime(shortcuts), written);
    EXPECT_FALSE(ReadStringValue(HKEY_LOCAL_MACHINE, runKey, runName)) << "the second start wrote the Run value";

    // The window came back away from the pointer, so Wine kept its key state.
    ASSERT_TRUE(program_->WaitForIdle());
    HoldKeys({VK_CONTROL, 'N'}, 1000);
    const auto starts = SettledStarts();
    EXPECT_GE(starts.size(), 8u);
    EXPECT_LE(starts.size(), 12u) << "more starts than one polling copy makes";
}

// /pause and /resume from a script while the copy runs hidden: each ends with
// 0, shows nothing and writes nothing, and a second one changes nothing.
// Paused, a held chord starts nothing and Ctrl+Alt+F1 still shows the window;
// resumed, the chord starts its target again.
TEST_F(Polling, PauseAndResumeFromAScriptTurnTheHotKeysOffAndOnAndWriteNothing) {
    RestoreValue runValue(HKEY_LOCAL_MACHINE, Module3::kRunKey, Module3::kRunValueName);
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    HideAndSettle();
    DeleteValue(HKEY_LOCAL_MACHINE, Module3::kRunKey, Module3::kRunValueName);
    const std::string shortcuts = copy_.PathOf("data\\shortcuts.ini");
    ASSERT_TRUE(testing::SetOldWriteTime(shortcuts));
    const ULONGLONG written = testing::WriteTime(shortcuts);
    const auto request = [&](const char* arguments) { return copy_.Start(arguments)->WaitForExit(10000); };

    EXPECT_EQ(request("/pause"), 0u);
    EXPECT_EQ(request("/PAUSE"), 0u) << "pausing a paused copy";
    EXPECT_FALSE(IsWindowVisible(program_->Form()));
    HoldKeys({VK_CONTROL, 'N'}, 1000);
    EXPECT_TRUE(SettledStarts().empty()) << "a paused copy started its target";
    HoldKeys({VK_CONTROL, VK_MENU, VK_F1}, 500);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 3000));
    ASSERT_TRUE(program_->WaitForIdle());

    EXPECT_EQ(request("/Resume"), 0u);
    EXPECT_EQ(request("/resume"), 0u) << "resuming a running copy";
    HoldKeys({VK_CONTROL, 'N'}, 1000);
    const auto starts = SettledStarts();
    EXPECT_GE(starts.size(), 8u);
    EXPECT_LE(starts.size(), 12u);
    EXPECT_EQ(testing::WriteTime(shortcuts), written);
    EXPECT_FALSE(ReadStringValue(HKEY_LOCAL_MACHINE, Module3::kRunKey, Module3::kRunValueName));
}

}  // namespace
}  // namespace brimlow::e2e
