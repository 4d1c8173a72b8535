#pragma once
// The application the user is working in, played by a window of the test's
// own: in front, with the keyboard focus, it records every key message it
// receives, so a test can show that it got exactly the keys that were
// pressed and nothing else.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace brimlow::testing {

class KeyLogWindow {
public:
    // Shown away from the pointer's corner, so Wine keeps its key state.
    KeyLogWindow();
    ~KeyLogWindow();
    KeyLogWindow(const KeyLogWindow&) = delete;
    KeyLogWindow& operator=(const KeyLogWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    // "down 11" or "up 4E" per key message, in hex, system keys alike.
    std::vector<std::string> Presses() const;
    // The messages as received, for the test's output.
    std::string Log() const;

    // What a window receives while these keys are pressed in order and
    // released in reverse order.
    static std::vector<std::string> PressesOf(std::initializer_list<WORD> keys);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    std::vector<MSG> keys_;
};

}  // namespace brimlow::testing
