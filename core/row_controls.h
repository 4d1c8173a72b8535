#pragma once
// The seam between the core and the window. The ten rows of controls are the
// only store of a row's values; the core reads and writes them through this
// interface so the same logic runs over real Win32 controls and over an
// in-memory table in native tests.

#include <array>
#include <cstdint>
#include <string>

namespace brimlow {

inline constexpr int kRowCount = 10;
// The code tables have one entry more than there are rows; entry 10 belongs to
// no row and stays 0 for the whole run.
inline constexpr int kCodeTableSize = 11;

// The four text boxes of a row.
enum class Box { FirstKey, Letter, Path, WindowState };

// States of the Active box.
inline constexpr int kActiveOff = 0;
inline constexpr int kActiveOn = 1;
inline constexpr int kActiveDimmed = 2;

// A click on the Active box ticks an unticked or dimmed box and clears a
// ticked one: a dimmed row is one the user has not decided on, and a click
// is a decision to use it.
constexpr int ActiveAfterClick(int state) { return state == kActiveOn ? kActiveOff : kActiveOn; }

// Every row's values from the window's creation until a shortcuts file is
// read; the Active box starts ticked.
inline constexpr const char* kInitialFirstKey = "CTRL";
inline constexpr const char* kInitialLetter = "N";
inline constexpr const char* kInitialPath = "C:\\Windows\\Notepad.exe";
inline constexpr const char* kInitialWindowState = "1 - Normal";

class RowControls {
public:
    virtual ~RowControls() = default;

    virtual std::string Text(Box box, int row) const = 0;
    // Replacing a letter box's text raises its change event, exactly as typing
    // does; implementations must keep that (loading a file relies on it).
    virtual void SetText(Box box, int row, const std::string& text) = 0;

    virtual int Active(int row) const = 0;
    virtual void SetActive(int row, int state) = 0;
};

// First-key codes and second-key codes: Windows virtual-key codes, 0 for
// "no key". Only resolution and key-down ever write them; nothing resets them.
struct KeyCodes {
    std::array<std::int32_t, kCodeTableSize> first{};
    std::array<std::int32_t, kCodeTableSize> second{};
};

}  // namespace brimlow
