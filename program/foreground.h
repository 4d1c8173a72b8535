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

// The round: a hot key of Brimlow's on F22 (a key no ordinary keyboard has),
// F22 injected going down, and the wait for that WM_HOTKEY, a few tens of
// milliseconds at most, without dispatching anything else.
//
// The hot key is registered for every combination of Ctrl, Alt, Shift and
// Win, so whatever modifiers are down when the system gets to the injected
// key (the user may let go of one, or press one, after they were read), a
// hot key of Brimlow's takes it and the application in front gets no F22.
// The registrations stay until the WM_HOTKEY has come, here or later in the
// window procedure, or for about a second: a keyboard hook of another
// program can hold the key past the wait. A round made meanwhile uses them.
//
// Only the key going down is injected at the round: a hot key takes the
// key-down alone, and the key-up, reaching the window in front, would be
// input that ends the right just passed on. F22 goes up at the first tick
// after the user's next input that follows the last round (that input has
// ended the right already); the window in front then gets one WM_KEYUP of
// F22.
class ForegroundRound {
public:
    ForegroundRound() = default;
    // F22 goes up when the program ends; the system ends a window's hot keys
    // with the window.
    ~ForegroundRound();
    ForegroundRound(const ForegroundRound&) = delete;
    ForegroundRound& operator=(const ForegroundRound&) = delete;

    // False when the combination of the modifiers down now is held by
    // another program (injecting F22 would set off that program's hot key;
    // nothing is injected), or the message does not come in time.
    bool Take(HWND window, HotKeyModifiers down);
    // A WM_HOTKEY of the window: true when it was a round's.
    bool OnHotKey(WPARAM id);
    // After each tick that ran: ends registrations older than a second and,
    // when roundsOver (no release round is still to come), lets F22 go up
    // once the user's input has followed the last round. While F22 is up
    // and nothing is registered it asks the system nothing; while F22 is
    // down, GetLastInputInfo once.
    void AfterTick(bool roundsOver);

private:
    // Within the range of ids an application's own hot keys use (to 0xBFFF):
    // the first id plus the combination's modifier bits.
    static constexpr WPARAM kFirstHotKeyId = 0xB020;
    static constexpr WPARAM kCombinations = 16;

    void UnregisterAll();

    HWND window_ = nullptr;
    ULONGLONG registeredUntil_ = 0;
    std::uint32_t registered_ = 0;  // one bit per combination of modifiers
    int unanswered_ = 0;            // injected keys whose WM_HOTKEY has not come
    DWORD inputAfterRound_ = 0;     // the last-input time at the end of the last round's tick
    bool keyDown_ = false;
    bool roundSinceTick_ = false;
};

// The calls through which a tick reaches other programs, behind one seam so
// a test that hosts the main window sees which were made and in what order.
class TickCalls {
public:
    virtual ~TickCalls() = default;
    virtual void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) = 0;
    // The round above, for the window, with the modifiers down now.
    virtual bool TakeForegroundRight(HWND window, HotKeyModifiers down) = 0;
    // AllowSetForegroundWindow(ASFW_ANY): the programs the launcher starts
    // may come to the front.
    virtual void AllowSetForegroundWindow() = 0;
    virtual void SetForegroundWindow(HWND window) = 0;
};

// The system's calls, the window's round and the program's launcher.
class SystemTickCalls final : public TickCalls {
public:
    SystemTickCalls(Module1::Ostrad& launcher, ForegroundRound& round) : launcher_(launcher), round_(round) {}
    void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) override;
    bool TakeForegroundRight(HWND window, HotKeyModifiers down) override { return round_.Take(window, down); }
    void AllowSetForegroundWindow() override;
    void SetForegroundWindow(HWND window) override;

private:
    Module1::Ostrad& launcher_;
    ForegroundRound& round_;
};

}  // namespace brimlow::win
