#include "foreground.h"

namespace brimlow::win {
namespace {

static_assert(MOD_ALT == kModAlt && MOD_CONTROL == kModControl && MOD_SHIFT == kModShift && MOD_WIN == kModWin);

constexpr UINT kRoundKey = VK_F22;
// The WM_HOTKEY follows the injected key at once; the bound is for a desktop
// that takes no injected input (the secure desktop, a front window of higher
// integrity), where the launch then goes ahead without the right.
constexpr ULONGLONG kRoundWaitMs = 40;
// How long the hot keys may wait for a key that is late. Held longer, F22
// would be taken away from every other program.
constexpr ULONGLONG kRegisteredMs = 1000;

bool InjectRoundKey(bool up) {
    INPUT key{};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = kRoundKey;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(kRoundKey, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return SendInput(1, &key, sizeof(INPUT)) == 1;
}

DWORD LastInputTime() {
    LASTINPUTINFO info{sizeof info, 0};
    return GetLastInputInfo(&info) ? info.dwTime : 0;
}

}  // namespace

void ForegroundRound::UnregisterAll() {
    for (UINT modifiers = 0; modifiers < kCombinations; ++modifiers) {
        if ((registered_ & (std::uint32_t{1} << modifiers)) != 0) {
            UnregisterHotKey(window_, static_cast<int>(kFirstHotKeyId + modifiers));
        }
    }
    registered_ = 0;
    unanswered_ = 0;
}

bool ForegroundRound::Take(HWND window, HotKeyModifiers down) {
    window_ = window;
    // Each round's F22, a repeat of a key already down, gives the hot key
    // again, which is why the hot keys are registered without MOD_NOREPEAT.
    // Those a round before left registered are used as they are.
    for (UINT modifiers = 0; modifiers < kCombinations; ++modifiers) {
        const std::uint32_t bit = std::uint32_t{1} << modifiers;
        if ((registered_ & bit) == 0 &&
            RegisterHotKey(window_, static_cast<int>(kFirstHotKeyId + modifiers), modifiers, kRoundKey)) {
            registered_ |= bit;
        }
    }
    if ((registered_ & (std::uint32_t{1} << (down & (kCombinations - 1)))) == 0 || !InjectRoundKey(false)) {
        if (unanswered_ == 0) UnregisterAll();
        return false;
    }
    keyDown_ = true;
    roundSinceTick_ = true;
    ++unanswered_;
    // Takes the round's WM_HOTKEY from the queue and nothing else, so no
    // other message of the program (a timer tick, a click) runs meanwhile.
    const ULONGLONG end = GetTickCount64() + kRoundWaitMs;
    registeredUntil_ = end + kRegisteredMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, window_, WM_HOTKEY, WM_HOTKEY, PM_REMOVE | PM_QS_POSTMESSAGE)) {
            if (OnHotKey(msg.wParam)) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_HOTKEY, 0);
    }
}

bool ForegroundRound::OnHotKey(WPARAM id) {
    if (id - kFirstHotKeyId >= kCombinations) return false;
    if (registered_ != 0 && --unanswered_ <= 0) UnregisterAll();
    return true;
}

void ForegroundRound::AfterTick(bool roundsOver) {
    if (registered_ != 0 && GetTickCount64() >= registeredUntil_) UnregisterAll();
    if (!keyDown_) return;
    // The input the system has taken by the end of a tick that made a round
    // holds the round's own key (Windows counts injected keys as input too;
    // a round that got its hot key has had its key taken), so only a later
    // input is the user's answer. A round whose key comes later still has
    // passed no right on. The keys of a chord still held are no answer
    // either: F22 goes up once, after the rounds.
    const DWORD input = LastInputTime();
    if (roundSinceTick_) {
        roundSinceTick_ = false;
        inputAfterRound_ = input;
    } else if (roundsOver && input != inputAfterRound_) {
        keyDown_ = !InjectRoundKey(true);
    }
}

ForegroundRound::~ForegroundRound() {
    if (keyDown_) InjectRoundKey(true);
}

void SystemTickCalls::Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) {
    // The shell's answer and a missing launcher alike are ignored here: the
    // row simply fires again on the next tick while its keys are down.
    (void)launcher_.Call(file, showCmd, directory);
}

void SystemTickCalls::AllowSetForegroundWindow() { ::AllowSetForegroundWindow(ASFW_ANY); }

void SystemTickCalls::SetForegroundWindow(HWND window) { ::SetForegroundWindow(window); }

}  // namespace brimlow::win
