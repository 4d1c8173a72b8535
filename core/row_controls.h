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
