#pragma once
// One tick of the keyboard polling: which rows fire and whether Ctrl+Alt+F1
// brings the main window back. The keyboard and the effects come in through
// two small interfaces so the decision is tested without a desktop.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "row_controls.h"

namespace brimlow {

inline constexpr std::int32_t kVkShift = 16;
inline constexpr std::int32_t kVkControl = 17;
inline constexpr std::int32_t kVkMenu = 18;  // Alt
inline constexpr std::int32_t kVkF1 = 112;
inline constexpr std::int32_t kVkLWin = 91;
inline constexpr std::int32_t kVkRWin = 92;
// Right Alt. On the layouts that have AltGr, Windows reports AltGr as Left
// Ctrl plus Right Alt, so Ctrl reads "down" while the user types € or ń.
inline constexpr std::int32_t kVkRMenu = 165;

// The two bits of a key-state result: down now, and pressed since the
// previous query of that key.
inline constexpr std::uint16_t kKeyDown = 0x8000;
inline constexpr std::uint16_t kKeyPressed = 0x0001;

// Key-state queries a tick makes: two per row and three for Ctrl+Alt+F1.
// A tick that fires asks a few more (Right Alt, the modifiers).
inline constexpr int kQueriesPerTick = 2 * kRowCount + 3;
// While the hot keys are paused a tick asks only for Ctrl+Alt+F1.
inline constexpr int kQueriesPerPausedTick = 3;

// Modifier keys as a system hot key names them; the values are those of
// MOD_ALT, MOD_CONTROL, MOD_SHIFT and MOD_WIN.
using HotKeyModifiers = std::uint32_t;
inline constexpr HotKeyModifiers kModAlt = 0x1;
inline constexpr HotKeyModifiers kModControl = 0x2;
inline constexpr HotKeyModifiers kModShift = 0x4;
inline constexpr HotKeyModifiers kModWin = 0x8;

class KeyboardState {
public:
    virtual ~KeyboardState() = default;
    // The raw 16-bit result of GetAsyncKeyState: bit 15 while the key is down,
    // bit 0 when it has been pressed since the previous query.
    virtual std::uint16_t Query(std::int32_t virtualKey) = 0;
};

class TickActions {
public:
    virtual ~TickActions() = default;
    // Asks the launcher to open a file. A failure is that call's alone: the
    // tick goes on with the next row.
    virtual void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) = 0;
    virtual void ShowMainWindow() = 0;
    // Asked once by a tick that is about to launch or show, before it does,
    // and once by the release round: the right to bring a window to the
    // front, taken in a way that hands the application in front no key of
    // its own, which is why it is given the modifiers that are down at this
    // moment. True when it was granted.
    virtual bool TakeForegroundRight(HotKeyModifiers down) = 0;
    // With the right, before the launches and in the release round: lets the
    // programs started open in front of the application the user is working
    // in, until the user's next input.
    virtual void PassForegroundRightOn() = 0;
    // With the right, after the show: puts the main window in front.
    virtual void BringMainWindowToFront() = 0;
};

// The show command is the first character of the window-state text; a text
// that does not start with a digit gives none, and the row is skipped.
std::optional<std::int16_t> ShowCommandOf(std::string_view windowState);

// The modifiers that are down now, from bit 15 of each; either Windows key
// counts as the one modifier.
HotKeyModifiers ModifiersDown(KeyboardState& keyboard);

// What a tick leaves for the next one: the rows that launched since the last
// release round, one bit per row.
struct TickMemory {
    std::uint32_t launchedRows = 0;
};

// Runs one tick. Nothing escapes it: a step that fails is skipped and the
// tick goes on with the next one. The rows to fire are decided first, then
// launched one after another in row order after the one foreground request.
// A row whose first key is CTRL does not fire while Right Alt is down or was
// pressed since it was last asked: that Ctrl is AltGr, and the user is typing
// a character.
//
// The release round: the right passed on at a launch lasts only until the
// user's next input, and the chord's own key-ups are that input, so a target
// slower to show its window than the user's fingers would open behind. The
// first tick that launches nothing and finds no key of the rows that
// launched down any more takes the right again and passes it on once more;
// it then lasts until the user touches the keyboard or the mouse again. One
// per release, however many rows and ticks launched.
void RunTick(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions,
             TickMemory& memory) noexcept;

// A tick while the hot keys are paused: no row fires, and only Ctrl, Alt and
// F1 are asked for, so the keys belong to the application in front; the
// chord still shows the main window, as there must always be a way back.
void RunPausedTick(KeyboardState& keyboard, TickActions& actions) noexcept;

// Runs the ticks, never one inside another. A launch can wait in a message
// loop of the shell's (the security warning of a downloaded file, a DDE
// conversation), where the timer's next ticks are delivered; while the keys
// stay down, each of those would launch again from inside the first.
class Ticker {
public:
    // False when a tick was already under way and this one was skipped.
    bool Run(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions) noexcept;
    // A row launched and its release round is still to come.
    bool ReleaseRoundDue() const { return memory_.launchedRows != 0; }

    // Paused, every tick is a paused tick. Every start begins unpaused. A
    // release round still due is dropped: the pause was asked for by a click
    // or a script after the chord, and a paused tick launches nothing that
    // could want the right.
    void SetPaused(bool paused) {
        paused_ = paused;
        if (paused) memory_ = TickMemory{};
    }
    bool Paused() const { return paused_; }

private:
    bool running_ = false;
    TickMemory memory_;
    bool paused_ = false;
};

}  // namespace brimlow
