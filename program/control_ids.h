#pragma once
// Child-window identifiers of the main window. The end-to-end tests find the
// controls of a running program by these numbers.

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

// Menu items carry their item number on top of this base; toolbar buttons
// their 1-based index on top of the other.
inline constexpr int kMenuItemBase = 40000;
inline constexpr int kToolbarButtonBase = 41000;

inline constexpr const char* kForm1Class = "BrimlowForm1";
inline constexpr const char* kForm1Title = "Form1";

}  // namespace brimlow::ids
