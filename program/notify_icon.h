#pragma once
// The program's icon in the notification area. Brimlow watches the keyboard
// while its window is hidden, often for a whole session; the icon shows that
// it runs and is the way back to the window for a user who has forgotten
// Ctrl+Alt+F1. The icon only asks: the window decides what a click does.

#include <windows.h>

#include <string>

#include "handles.h"

namespace brimlow::win {

// What an event of the icon asks the window to do.
enum class NotifyIconCommand { None, Show, Hide, Pause, Exit };

// The icon's menu items, as TrackPopupMenuEx returns them.
enum NotifyIconMenuItem : UINT { kShowItem = 1, kHideItem = 2, kExitItem = 3, kPauseItem = 4 };

class NotifyIcon {
public:
    NotifyIcon() = default;
    ~NotifyIcon() { Remove(); }
    NotifyIcon(const NotifyIcon&) = delete;
    NotifyIcon& operator=(const NotifyIcon&) = delete;

    // Adds the icon for the window, at the size the shell draws notification
    // icons in. A shell without a notification area refuses; the program
    // runs on without the icon, and adds it when the shell announces itself
    // (Restore).
    bool Add(HWND window);
    // The shell (re)started and lost its icons, or its taskbar changed DPI:
    // adds the icon again at the shell's size, if Add was asked for and
    // Remove was not.
    void Restore();
    // A DPI changed: the icon again at the shell's size.
    void Reload();
    // Removes the icon; nothing when it is not there.
    void Remove();

    // A warning balloon from the icon, for news that must not stop the
    // user with a modal box (the program is usually hidden). Texts in the
    // process's code page; the shell cuts them to its limits. False when
    // there is no icon to show it from.
    bool ShowBalloon(const std::string& title, const std::string& text);
    // The text of the last balloon asked for, shown or not.
    const std::string& LastBalloon() const { return lastBalloon_; }

    // While the hot keys are paused the icon is the paused picture and its
    // tip says so; resumed, both are as at the start. Told to the shell at
    // once when the icon is there, and kept for when it is added again.
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // The tip the shell was last given, or is given when the icon is added.
    const wchar_t* Tip() const;
    // The icon handed to the shell.
    HICON Icon() const { return icon_.Get(); }

    // The size in pixels of the icon the shell was last given.
    int IconSize() const { return iconSize_; }

    // Handles the icon's message (NOTIFYICON_VERSION_4 form): a click or
    // Enter on the icon shows the window, a right click or the menu key
    // opens the menu there.
    NotifyIconCommand OnMessage(WPARAM wParam, LPARAM lParam) const;

    // The menu for a window that is shown or hidden: "Show Brimlow" first
    // and default, "Hide Window" greyed while hidden, "Pause hot keys"
    // checked while paused, a separator, "Exit".
    static UniqueMenu MakeMenu(bool windowVisible, bool paused);

    // The message Explorer broadcasts when its taskbar is made.
    static UINT TaskbarCreatedMessage();

private:
    NOTIFYICONDATAW Data(UINT flags) const;
    bool AddToShell();
    NotifyIconCommand TrackMenu(POINT at) const;
    // Loads the icon at the shell's size; gives back the one it replaces,
    // which the shell may hold until it is told of the new one.
    UniqueIcon TakeIcon();

    HWND window_ = nullptr;  // set from Add until Remove
    bool added_ = false;
    UniqueIcon icon_;
    int iconSize_ = 0;
    bool paused_ = false;
    std::string lastBalloon_;
};

}  // namespace brimlow::win
