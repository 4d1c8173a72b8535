#include "tick.h"

#include <vector>

namespace brimlow {

std::optional<std::int16_t> ShowCommandOf(std::string_view windowState) {
    if (windowState.empty()) return std::nullopt;
    const char first = windowState.front();
    if (first < '0' || first > '9') return std::nullopt;
    return static_cast<std::int16_t>(first - '0');
}

HotKeyModifiers ModifiersDown(KeyboardState& keyboard) {
    HotKeyModifiers down = 0;
    if (keyboard.Query(kVkControl) & kKeyDown) down |= kModControl;
    if (keyboard.Query(kVkMenu) & kKeyDown) down |= kModAlt;
    if (keyboard.Query(kVkShift) & kKeyDown) down |= kModShift;
    if ((keyboard.Query(kVkLWin) | keyboard.Query(kVkRWin)) & kKeyDown) down |= kModWin;
    return down;
}

namespace {

struct PendingLaunch {
    std::string file;
    std::int16_t showCmd;
};

std::optional<PendingLaunch> RowLaunch(const RowControls& rows, int row) {
    if (rows.Active(row) != kActiveOn) return std::nullopt;
    const auto showCmd = ShowCommandOf(rows.Text(Box::WindowState, row));
    if (!showCmd) return std::nullopt;
    // The path goes to the shell exactly as the user wrote it: a network path
    // "\\server\share\app.exe" must keep its two leading backslashes only.
    return PendingLaunch{rows.Text(Box::Path, row), *showCmd};
}

// Right Alt is asked for only when a CTRL row's keys are down, and once per
// tick, so a tick with no key down makes no more queries than before. A quick
// AltGr+E, pressed and let go between two ticks, leaves only the bits "pressed
// since" of Ctrl, E and Right Alt: that bit counts as down too, as it does for
// the row's own keys.
class AltGrState {
public:
    explicit AltGrState(KeyboardState& keyboard) : keyboard_(keyboard) {}
    bool Down() {
        if (!asked_) down_ = (keyboard_.Query(kVkRMenu) & (kKeyDown | kKeyPressed)) != 0;
        asked_ = true;
        return down_;
    }

private:
    KeyboardState& keyboard_;
    bool asked_ = false;
    bool down_ = false;
};

}  // namespace

void RunTick(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions,
             TickMemory& memory) noexcept {
    std::vector<PendingLaunch> launches;
    std::uint32_t launchedRows = 0;
    std::uint32_t heldRows = 0;  // a key of the row is down
    AltGrState altGr(keyboard);
    for (int row = 0; row < kRowCount; ++row) {
        try {
            const std::uint16_t first = keyboard.Query(codes.first[row]);
            const std::uint16_t second = keyboard.Query(codes.second[row]);
            const std::uint32_t bit = std::uint32_t{1} << row;
            if (((first | second) & kKeyDown) != 0) heldRows |= bit;
            if ((first & second) == 0) continue;
            if (codes.first[row] == kVkControl && altGr.Down()) continue;
            if (auto launch = RowLaunch(rows, row)) {
                launches.push_back(std::move(*launch));
                launchedRows |= bit;
            }
        } catch (...) {
            // Skip-on-error: a row that fails is passed over for this tick.
        }
    }
    // The chord is let go when no key of a row that launched is down.
    const bool releaseRound = launches.empty() && memory.launchedRows != 0 && (memory.launchedRows & heldRows) == 0;
    memory.launchedRows = releaseRound ? 0 : memory.launchedRows | launchedRows;
    bool show = false;
    try {
        const std::uint16_t ctrl = keyboard.Query(kVkControl);
        const std::uint16_t alt = keyboard.Query(kVkMenu);
        const std::uint16_t f1 = keyboard.Query(kVkF1);
        show = (ctrl & alt & f1) != 0;
    } catch (...) {
    }
    if (launches.empty() && !show && !releaseRound) return;

    // One request per tick, however many rows fire. Without the right the
    // launches go ahead all the same; their windows may open behind.
    bool front = false;
    try {
        front = actions.TakeForegroundRight(ModifiersDown(keyboard));
        if (front && (!launches.empty() || releaseRound)) actions.PassForegroundRightOn();
    } catch (...) {
    }
    for (const PendingLaunch& launch : launches) {
        try {
            actions.Launch(launch.file, launch.showCmd, std::string());
        } catch (...) {
        }
    }
    if (!show) return;
    try {
        actions.ShowMainWindow();
        if (front) actions.BringMainWindowToFront();
    } catch (...) {
    }
}

void RunPausedTick(KeyboardState& keyboard, TickActions& actions) noexcept {
    try {
        const std::uint16_t ctrl = keyboard.Query(kVkControl);
        const std::uint16_t alt = keyboard.Query(kVkMenu);
        const std::uint16_t f1 = keyboard.Query(kVkF1);
        if ((ctrl & alt & f1) == 0) return;
    } catch (...) {
        return;
    }
    // The show as a running tick makes it; without the right the window is
    // at least shown.
    bool front = false;
    try {
        front = actions.TakeForegroundRight(ModifiersDown(keyboard));
    } catch (...) {
    }
    try {
        actions.ShowMainWindow();
        if (front) actions.BringMainWindowToFront();
    } catch (...) {
    }
}

bool Ticker::Run(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions) noexcept {
    if (running_) return false;
    running_ = true;
    if (paused_) {
        RunPausedTick(keyboard, actions);
    } else {
        RunTick(rows, codes, keyboard, actions, memory_);
    }
    running_ = false;
    return true;
}

}  // namespace brimlow
