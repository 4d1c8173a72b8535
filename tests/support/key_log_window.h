#pragma once
// The application the user works in, played by the test's own window in
// front: it records each key message it gets ("WM_KEYDOWN 11", key in hex).

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "messages.h"

namespace brimlow::testing {

class KeyLogWindow {
public:
    // Away from the pointer's corner, so Wine keeps its key state.
    KeyLogWindow() {
        WNDCLASSA wc{0, &KeyLogWindow::Proc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "BrimlowTestKeyLog"};
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_BORDER | WS_VISIBLE, 40, 40, 240, 120, nullptr,
                                nullptr, nullptr, nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&keys));
        SetForegroundWindow(hwnd_);
        WaitUntil([&] { return GetForegroundWindow() == hwnd_; }, 3000);
    }
    ~KeyLogWindow() { DestroyWindow(hwnd_); }

    std::vector<std::string> keys;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        const char* names[] = {"WM_KEYDOWN", "WM_KEYUP", nullptr, nullptr, "WM_SYSKEYDOWN", "WM_SYSKEYUP"};
        auto* keys = reinterpret_cast<std::vector<std::string>*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (keys == nullptr || message < WM_KEYDOWN || message > WM_SYSKEYUP || !names[message - WM_KEYDOWN]) {
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        char key[32];
        std::snprintf(key, sizeof key, "%s %02X", names[message - WM_KEYDOWN], static_cast<unsigned>(wParam));
        keys->push_back(key);
        return 0;  // not to DefWindowProc: Alt would start the window's menu loop
    }
    HWND hwnd_ = nullptr;
};

}  // namespace brimlow::testing
