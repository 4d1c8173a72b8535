#include "key_log_window.h"

#include <cstdio>
#include <iterator>

#include "messages.h"

namespace brimlow::testing {
namespace {

constexpr const char* kClass = "BrimlowTestKeyLog";

std::string Press(bool down, WPARAM key) {
    char text[16];
    std::snprintf(text, sizeof text, "%s %02X", down ? "down" : "up", static_cast<unsigned>(key));
    return text;
}

}  // namespace

KeyLogWindow::KeyLogWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &KeyLogWindow::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, kClass, "front", WS_POPUP | WS_BORDER, 40, 40, 240, 120, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    WaitUntil([&] { return GetForegroundWindow() == hwnd_; }, 3000);
}

KeyLogWindow::~KeyLogWindow() { DestroyWindow(hwnd_); }

LRESULT CALLBACK KeyLogWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<KeyLogWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const bool key = message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    if (self != nullptr && key) {
        self->keys_.push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
        // Not to DefWindowProc: Alt would open the window's menu loop.
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<std::string> KeyLogWindow::Presses() const {
    std::vector<std::string> presses;
    for (const MSG& key : keys_) presses.push_back(Press(key.message == WM_KEYDOWN || key.message == WM_SYSKEYDOWN, key.wParam));
    return presses;
}

std::string KeyLogWindow::Log() const {
    std::string log;
    for (const MSG& key : keys_) {
        const char* name = key.message == WM_KEYDOWN ? "WM_KEYDOWN" : key.message == WM_KEYUP ? "WM_KEYUP"
                           : key.message == WM_SYSKEYDOWN ? "WM_SYSKEYDOWN" : "WM_SYSKEYUP";
        char line[64];
        std::snprintf(line, sizeof line, "%s%s 0x%02X", log.empty() ? "" : ", ", name, static_cast<unsigned>(key.wParam));
        log += line;
    }
    return log;
}

std::vector<std::string> KeyLogWindow::PressesOf(std::initializer_list<WORD> keys) {
    std::vector<std::string> presses;
    for (WORD key : keys) presses.push_back(Press(true, key));
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) presses.push_back(Press(false, *it));
    return presses;
}

}  // namespace brimlow::testing
