#pragma once
// The right to bring a window to the front, for a program that only watches
// the keys. Windows lets a process set the foreground window only when it is
// in front, was started by the process in front, or received the last input
// event; the keys of a chord go to the application in front, so without more
// Brimlow has no right, and the program it starts opens behind. A hot key
// delivered to Brimlow's window is input that Brimlow receives: that is the
// one documented way to the right, and it takes no key away from anyone.

#include <windows.h>

#include <cstdint>
#include <string>

#include "module1.h"
#include "tick.h"

namespace brimlow::win {

// Registers, for this moment only, a hot key on F22 (a key no ordinary
// keyboard has) with exactly the modifiers that are down, injects F22 going
// down (never up: the hot key would not take the key-up) and waits for that
// WM_HOTKEY alone, a few tens of milliseconds at most, without
// dispatching anything else. The modifiers must match exactly: a hot key
// that does not match leaves F22 to the application in front. False when the
// key is taken by another program or the message does not come; nothing is
// injected when the hot key could not be registered.
bool TakeForegroundRight(HWND window, HotKeyModifiers down);

// The calls through which a tick reaches other programs, behind one seam so
// a test that hosts the main window sees which were made and in what order.
class TickCalls {
public:
    virtual ~TickCalls() = default;
    virtual void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) = 0;
    // AllowSetForegroundWindow(ASFW_ANY): the programs the launcher starts
    // may come to the front.
    virtual void AllowSetForegroundWindow() = 0;
    virtual void SetForegroundWindow(HWND window) = 0;
};

// The system's calls and the program's launcher.
class SystemTickCalls final : public TickCalls {
public:
    explicit SystemTickCalls(Module1::Ostrad& launcher) : launcher_(launcher) {}
    void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) override;
    void AllowSetForegroundWindow() override;
    void SetForegroundWindow(HWND window) override;

private:
    Module1::Ostrad& launcher_;
};

}  // namespace brimlow::win
