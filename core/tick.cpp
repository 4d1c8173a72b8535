#include "tick.h"

namespace brimlow {

std::optional<std::int16_t> ShowCommandOf(std::string_view windowState) {
    if (windowState.empty()) return std::nullopt;
    const char first = windowState.front();
    if (first < '0' || first > '9') return std::nullopt;
    return static_cast<std::int16_t>(first - '0');
}

namespace {

void LaunchRow(const RowControls& rows, TickActions& actions, int row) {
    if (rows.Active(row) != kActiveOn) return;
    const auto showCmd = ShowCommandOf(rows.Text(Box::WindowState, row));
    if (!showCmd) return;
    // The path goes to the shell exactly as the user wrote it: a network path
    // "\\server\share\app.exe" must keep its two leading backslashes only.
    actions.Launch(rows.Text(Box::Path, row), *showCmd, std::string());
}

}  // namespace

void RunTick(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions) noexcept {
    for (int row = 0; row < kRowCount; ++row) {
        try {
            const std::uint16_t first = keyboard.Query(codes.first[row]);
            const std::uint16_t second = keyboard.Query(codes.second[row]);
            if ((first & second) == 0) continue;
            LaunchRow(rows, actions, row);
        } catch (...) {
            // Skip-on-error: a row that fails is passed over for this tick.
        }
    }
    try {
        const std::uint16_t ctrl = keyboard.Query(kVkControl);
        const std::uint16_t alt = keyboard.Query(kVkMenu);
        const std::uint16_t f1 = keyboard.Query(kVkF1);
        if ((ctrl & alt & f1) != 0) actions.ShowMainWindow();
    } catch (...) {
    }
}

}  // namespace brimlow
