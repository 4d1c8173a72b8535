#include "tick.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

#include "fake_rows.h"
#include "key_codes.h"

namespace brimlow {
namespace {

using testing::FakeRows;

// 256 key states; records every query in order.
class FakeKeyboard final : public KeyboardState {
public:
    std::uint16_t Query(std::int32_t vk) override {
        queries.push_back(vk);
        auto it = states.find(vk);
        return it == states.end() ? 0 : it->second;
    }
    void Down(std::int32_t vk) { states[vk] = 0x8000; }
    std::map<std::int32_t, std::uint16_t> states;
    std::vector<std::int32_t> queries;
};

struct Launch {
    std::string file;
    std::int16_t showCmd;
    std::string directory;
};

// Records every effect, and their order in `events` ("front 2": a request with Ctrl).
class RecordingActions final : public TickActions {
public:
    void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) override {
        launches.push_back({file, showCmd, directory});
        events.push_back("launch " + file);
        if (failLaunches) throw std::runtime_error("launcher missing");
    }
    void ShowMainWindow() override {
        ++shows;
        events.push_back("show");
    }
    bool TakeForegroundRight(HotKeyModifiers down) override {
        events.push_back("front " + std::to_string(down));
        return granted;
    }
    void PassForegroundRightOn() override { events.push_back("allow"); }
    void BringMainWindowToFront() override { events.push_back("raise"); }
    std::vector<brimlow::Launch> launches;
    std::vector<std::string> events;
    int shows = 0;
    bool failLaunches = false;
    bool granted = true;
};

using Events = std::vector<std::string>;

class TickTest : public ::testing::Test {
protected:
    void Tick() { ticker.Run(rows, codes, keyboard, actions); }
    void ResolveAll() { ResolveKeyCodes(rows, codes); }
    FakeRows rows;
    KeyCodes codes;
    FakeKeyboard keyboard;
    RecordingActions actions;
    Ticker ticker;
};

TEST_F(TickTest, Makes23QueriesInOrderAndReadsNoBoxWhileNoKeyIsDown) {
    for (int row = 0; row < kRowCount; ++row) {
        rows.Set(row, "UP", std::string(1, static_cast<char>('A' + row)), "p", "1", kActiveOn);
    }
    ResolveAll();
    rows.textReads = 0;
    Tick();
    ASSERT_EQ(keyboard.queries.size(), static_cast<std::size_t>(kQueriesPerTick));
    for (int row = 0; row < kRowCount; ++row) {
        EXPECT_EQ(keyboard.queries[2 * row], 38);
        EXPECT_EQ(keyboard.queries[2 * row + 1], 'A' + row);
    }
    EXPECT_EQ(keyboard.queries[20], 17);
    EXPECT_EQ(keyboard.queries[21], 18);
    EXPECT_EQ(keyboard.queries[22], 112);
    EXPECT_EQ(rows.textReads, 0);
    EXPECT_TRUE(actions.events.empty()) << "no launch and no foreground request";
}

TEST_F(TickTest, AnActiveRowLaunchesItsPathUnchangedWithItsShowCommand) {
    rows.Set(0, "CTRL", "N", "\\\\server\\share\\app.exe", "2 - Minimized", kActiveOn);
    for (int row = 1; row < kRowCount; ++row) rows.Set(row, "UP", "Q", "other", "1", kActiveOn);
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    ASSERT_EQ(actions.launches.size(), 1u);
    EXPECT_EQ(actions.launches[0].file, "\\\\server\\share\\app.exe");
    EXPECT_EQ(actions.launches[0].showCmd, 2);
    EXPECT_EQ(actions.launches[0].directory, "");
}

TEST_F(TickTest, OnlyTickedRowsLaunch) {
    ResolveAll();
    rows.SetActive(0, kActiveOff);
    rows.SetActive(1, kActiveDimmed);
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    EXPECT_EQ(actions.launches.size(), 8u);
}

TEST_F(TickTest, RowsWithTheSameKeysLaunchInRowOrderInOneTick) {
    for (int row = 0; row < kRowCount; ++row) rows.Set(row, "CTRL", "N", "target" + std::to_string(row), "1", kActiveOn);
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    ASSERT_EQ(actions.launches.size(), 10u);
    for (int row = 0; row < kRowCount; ++row) EXPECT_EQ(actions.launches[row].file, "target" + std::to_string(row));
}

TEST_F(TickTest, TheRawResultsAreAndedBitByBit) {
    ResolveAll();
    keyboard.states[17] = 0x8000;  // down
    keyboard.states['N'] = 0x0001;  // pressed and released since the last query
    Tick();
    EXPECT_TRUE(actions.launches.empty());
    keyboard.states[17] = 0x0001;
    Tick();
    EXPECT_EQ(actions.launches.size(), 10u);
}

TEST_F(TickTest, ARowWhoseFirstKeyNeverResolvedNeverLaunches) {
    rows.Set(0, "ctrl", "N", "p", "1", kActiveOn);
    ResolveRowKeyCodes(rows, codes, 0);
    EXPECT_EQ(codes.first[0], 0);
    keyboard.Down('N');  // GetAsyncKeyState(0) is 0: no key
    Tick();
    EXPECT_TRUE(actions.launches.empty());
}

TEST_F(TickTest, WindowStatesThatDoNotStartWithADigitSkipOnlyThatRow) {
    rows.Set(0, "CTRL", "N", "a", "Normal", kActiveOn);
    rows.Set(1, "CTRL", "N", "b", "", kActiveOn);
    rows.Set(2, "CTRL", "N", "c", " 1", kActiveOn);
    rows.Set(3, "CTRL", "N", "d", "7 - lucky", kActiveOn);
    for (int row = 4; row < kRowCount; ++row) rows.Set(row, "UP", "Q", "x", "1", kActiveOn);
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    ASSERT_EQ(actions.launches.size(), 1u);
    EXPECT_EQ(actions.launches[0].file, "d");
    EXPECT_EQ(actions.launches[0].showCmd, 7);
}

TEST_F(TickTest, AFailingLaunchSkipsThatRowAndTheTickGoesOn) {
    ResolveAll();
    actions.failLaunches = true;
    keyboard.Down(17);
    keyboard.Down('N');
    keyboard.Down(18);
    keyboard.Down(112);
    Tick();
    EXPECT_EQ(actions.launches.size(), 10u);
    EXPECT_EQ(actions.shows, 1);
}

TEST_F(TickTest, CtrlAltF1ShowsTheWindowAndNothingElse) {
    for (int row = 0; row < kRowCount; ++row) rows.Set(row, "UP", "Q", "x", "1", kActiveOn);
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down(18);
    Tick();
    EXPECT_EQ(actions.shows, 0);
    keyboard.Down(112);
    Tick();
    Tick();
    EXPECT_EQ(actions.shows, 2);
    EXPECT_TRUE(actions.launches.empty());
}

// One foreground request per tick that fires, with exactly the modifiers
// down, before the launches in row order; the right is passed on, and the
// shown window raised, only when it was granted.
TEST_F(TickTest, OneForegroundRequestWithTheModifiersDownComesBeforeTheLaunchesAndTheShow) {
    rows.Set(0, "UP", "K", "a", "1", kActiveOn);
    rows.Set(1, "UP", "K", "b", "1", kActiveOn);
    ResolveAll();
    for (int vk : {38, int{'K'}, 16, 92}) keyboard.Down(vk);
    Tick();
    keyboard.states.clear();
    for (int vk : {17, 18, 112}) keyboard.Down(vk);
    Tick();
    actions.granted = false;
    Tick();
    EXPECT_EQ(actions.events, (Events{"front 12", "allow", "launch a", "launch b", "front 3", "allow", "show", "raise",
                                      "front 3", "show"}))
        << "Shift and Windows, then Ctrl and Alt with the release round's passing-on";
}

// A tap held over two ticks, let go one key at a time: the right is taken and
// passed on again once both keys are up, and a later quiet tick asks what a
// quiet tick always asks.
TEST_F(TickTest, TheFirstTickAfterTheLaunchesWithTheChordLetGoTakesTheRightAndPassesItOnOnce) {
    rows.Set(0, "CTRL", "N", "a", "1", kActiveOn);
    rows.Set(1, "CTRL", "N", "b", "1", kActiveOn);
    for (int row = 2; row < kRowCount; ++row) rows.Set(row, "UP", "Q", "x", "1", kActiveOn);
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    Tick();
    keyboard.states.erase('N');
    Tick();
    keyboard.states.clear();
    Tick();
    keyboard.queries.clear();
    Tick();
    EXPECT_EQ(actions.events, (Events{"front 2", "allow", "launch a", "launch b", "front 2", "allow", "launch a",
                                      "launch b", "front 0", "allow"}));
    EXPECT_EQ(keyboard.queries.size(), static_cast<std::size_t>(kQueriesPerTick));
}

// AltGr is Left Ctrl plus Right Alt: only CTRL rows stay quiet while it is down.
TEST_F(TickTest, WhileRightAltIsDownOnlyRowsWhoseFirstKeyIsCtrlAreQuiet) {
    rows.Set(0, "CTRL", "E", "ctrl", "1", kActiveOn);
    rows.Set(1, "PAGE UP", "E", "page", "1", kActiveOn);
    ResolveAll();
    for (int vk : {17, int{'E'}, 18, 165, 33, 112}) keyboard.Down(vk);
    Tick();
    EXPECT_EQ(actions.events, (Events{"front 3", "allow", "launch page", "show", "raise"}));
}

// Typed quickly, between two ticks, a key leaves only its bit "pressed since".
TEST_F(TickTest, AQuickAltGrAndTheLetterFireNothingAQuickRightCtrlAndTheLetterFire) {
    rows.Set(0, "CTRL", "E", "ctrl", "1", kActiveOn);
    ResolveAll();
    for (int vk : {17, int{'E'}, 165}) keyboard.states[vk] = kKeyPressed;
    Tick();
    EXPECT_TRUE(actions.launches.empty());
    keyboard.states.erase(165);
    Tick();
    EXPECT_EQ(actions.launches.size(), 1u);
}

// Paused, a held chord fires nothing and only Ctrl, Alt and F1 are asked
// for; Ctrl+Alt+F1 still shows the window and brings it to the front. A
// release round still due when the pause comes is dropped with it.
TEST_F(TickTest, APausedTickAsksOnlyForCtrlAltF1AndStillShows) {
    ResolveAll();
    keyboard.Down(17);
    keyboard.Down('N');
    Tick();
    ASSERT_TRUE(ticker.ReleaseRoundDue());
    ticker.SetPaused(true);
    EXPECT_FALSE(ticker.ReleaseRoundDue());
    actions.events.clear();
    actions.launches.clear();
    keyboard.queries.clear();
    Tick();
    EXPECT_EQ(keyboard.queries, (std::vector<std::int32_t>{17, 18, 112}));
    EXPECT_EQ(keyboard.queries.size(), static_cast<std::size_t>(kQueriesPerPausedTick));
    keyboard.Down(18);
    keyboard.Down(112);
    Tick();
    EXPECT_EQ(actions.events, (Events{"front 3", "show", "raise"}));
    ticker.SetPaused(false);
    Tick();
    EXPECT_EQ(actions.launches.size(), 10u) << "resumed, the rows fire again";
}

TEST(ShowCommandOf, IsTheFirstCharacterWhenItIsADigit) {
    EXPECT_EQ(ShowCommandOf("1 - Normal"), 1);
    EXPECT_EQ(ShowCommandOf("3 - Maximized"), 3);
    EXPECT_EQ(ShowCommandOf("0"), 0);
    EXPECT_FALSE(ShowCommandOf(""));
    EXPECT_FALSE(ShowCommandOf("-1"));
    EXPECT_FALSE(ShowCommandOf("x1"));
}

}  // namespace
}  // namespace brimlow
