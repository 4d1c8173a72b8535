#pragma once
// The names the program and its tests share: child-window identifiers of the
// main window and the About box, the menu's item numbers, the toolbar's
// button indices, the window class and title and the product name. The
// end-to-end tests find the controls of a running
// program by these numbers, so they include this header rather than
// repeating them.

#include <cstdint>

namespace brimlow::ids {

inline constexpr int kText1 = 1000;     // first-key boxes, + row
inline constexpr int kText3 = 1010;     // letter boxes, + row
inline constexpr int kText2 = 1020;     // path boxes, + row
inline constexpr int kCombo1 = 1030;    // window-state boxes, + row
inline constexpr int kCheck1 = 1040;    // Active boxes, + row
inline constexpr int kPicture3 = 1050;  // icon boxes, + row
inline constexpr int kLabel1 = 1060;    // "+" labels, + row
inline constexpr int kCommand1 = 1100;  // the Hide button
inline constexpr int kToolbar1 = 1101;

// Menu item numbers, in the order the items are added, separators and
// top-level items included; the menu reports a chosen item by its number.
enum MenuItem : int {
    kMenuFile = 1,
    kMenuOpen = 2,
    kMenuSave = 3,
    kMenuFileSeparator = 4,
    kMenuExit = 5,
    kMenuHelp = 6,
    kMenuContext = 7,
    kMenuHelpSeparator = 8,
    kMenuAbout = 9,
    kMenuHideWindow = 10,
};
inline constexpr int kMenuItemCount = 10;

// Toolbar buttons by their 1-based index; 1 and 4 are separators.
enum ToolbarButton : std::int16_t {
    kButtonSeparator1 = 1,
    kButtonOpen = 2,
    kButtonSave = 3,
    kButtonSeparator2 = 4,
    kButtonHelp = 5,
};
inline constexpr int kToolbarButtonCount = 5;

// The command id of a menu item or toolbar button: its number on top of a
// base of its own, so the two never meet.
inline constexpr int kMenuItemBase = 40000;
inline constexpr int kToolbarButtonBase = 41000;
inline constexpr int MenuCommand(int itemNumber) { return kMenuItemBase + itemNumber; }
inline constexpr int ToolbarCommand(int index) { return kToolbarButtonBase + index; }

// The notification-area icon: its number among the main window's icons, and
// the message the shell sends the main window for it (WM_APP + 1).
inline constexpr unsigned kNotifyIconId = 1;
inline constexpr unsigned kNotifyIconMessage = 0x8000 + 1;

// The About box's controls; its OK button is IDOK.
inline constexpr int kAboutImage1 = 100;
inline constexpr int kAboutTitle = 101;
inline constexpr int kAboutVersion = 102;
inline constexpr int kAboutLabel1 = 103;

inline constexpr const char* kProductName = "Brimlow";
inline constexpr const char* kForm1Class = "BrimlowForm1";
inline constexpr const char* kForm1Title = "Form1";

}  // namespace brimlow::ids
