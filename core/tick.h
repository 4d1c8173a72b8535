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

inline constexpr std::int32_t kVkControl = 17;
inline constexpr std::int32_t kVkMenu = 18;  // Alt
inline constexpr std::int32_t kVkF1 = 112;

// Key-state queries a tick makes: two per row and three for Ctrl+Alt+F1.
inline constexpr int kQueriesPerTick = 2 * kRowCount + 3;

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
};

// The show command is the first character of the window-state text; a text
// that does not start with a digit gives none, and the row is skipped.
std::optional<std::int16_t> ShowCommandOf(std::string_view windowState);

// Runs one tick. Nothing escapes it: a step that fails is skipped and the
// tick goes on with the next one.
void RunTick(const RowControls& rows, const KeyCodes& codes, KeyboardState& keyboard, TickActions& actions) noexcept;

}  // namespace brimlow
