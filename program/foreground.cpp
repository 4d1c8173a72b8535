#include "foreground.h"

namespace brimlow::win {
namespace {

static_assert(MOD_ALT == kModAlt && MOD_CONTROL == kModControl && MOD_SHIFT == kModShift && MOD_WIN == kModWin);

constexpr UINT kRoundKey = VK_F22;
// Within the range of ids an application's own hot keys use (to 0xBFFF).
constexpr int kRoundHotKeyId = 0xB022;
// The WM_HOTKEY follows the injected key at once; the bound is for a desktop
// that takes no injected input (the secure desktop, a front window of higher
// integrity), where the launch then goes ahead without the right.
constexpr ULONGLONG kRoundWaitMs = 40;

// The hot key lives only as long as the round: a key held by Brimlow for
// longer would be taken away from every other program.
class ScopedHotKey {
public:
    ScopedHotKey(HWND window, UINT modifiers, UINT key)
        : window_(window), registered_(RegisterHotKey(window, kRoundHotKeyId, modifiers, key) != FALSE) {}
    ~ScopedHotKey() {
        if (registered_) UnregisterHotKey(window_, kRoundHotKeyId);
    }
    ScopedHotKey(const ScopedHotKey&) = delete;
    ScopedHotKey& operator=(const ScopedHotKey&) = delete;
    bool Registered() const { return registered_; }

private:
    HWND window_;
    bool registered_;
};

// Only the key going down: a hot key takes the key-down alone, and the
// key-up would still reach the window in front as a WM_KEYUP of F22 (as
// Wine does, and as Windows does with the shell's own hot keys). F22 therefore stays down in the system's key
// state; no keyboard has the key, and each later round's F22, a repeat of a
// key already down, gives the hot key again, which is why the hot key is
// registered without MOD_NOREPEAT.
bool InjectRoundKey() {
    INPUT key{};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = kRoundKey;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(kRoundKey, MAPVK_VK_TO_VSC));
    return SendInput(1, &key, sizeof(INPUT)) == 1;
}

// Takes WM_HOTKEY of this window from the queue and nothing else, so no
// other message of the program (a timer tick, a click) runs meanwhile.
bool WaitForRoundHotKey(HWND window) {
    const ULONGLONG end = GetTickCount64() + kRoundWaitMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, window, WM_HOTKEY, WM_HOTKEY, PM_REMOVE | PM_QS_POSTMESSAGE)) {
            if (msg.wParam == static_cast<WPARAM>(kRoundHotKeyId)) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_HOTKEY, 0);
    }
}

}  // namespace

bool TakeForegroundRight(HWND window, HotKeyModifiers down) {
    const ScopedHotKey hotKey(window, down, kRoundKey);
    // Another program holds F22 with these modifiers: injecting it would
    // set off that program's hot key.
    if (!hotKey.Registered()) return false;
    return InjectRoundKey() && WaitForRoundHotKey(window);
}

void SystemTickCalls::Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) {
    // The shell's answer and a missing launcher alike are ignored here: the
    // row simply fires again on the next tick while its keys are down.
    (void)launcher_.Call(file, showCmd, directory);
}

void SystemTickCalls::AllowSetForegroundWindow() { ::AllowSetForegroundWindow(ASFW_ANY); }

void SystemTickCalls::SetForegroundWindow(HWND window) { ::SetForegroundWindow(window); }

}  // namespace brimlow::win
