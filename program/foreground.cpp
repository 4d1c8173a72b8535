#include "foreground.h"

namespace brimlow::win {
namespace {

static_assert(MOD_ALT == kModAlt && MOD_CONTROL == kModControl && MOD_SHIFT == kModShift && MOD_WIN == kModWin);

constexpr UINT kRoundKey = VK_F22;
// Within the range of ids an application's own hot keys use (to 0xBFFF): the
// first id plus the combination's modifier bits.
constexpr int kFirstRoundHotKeyId = 0xB020;
constexpr int kCombinations = 16;
// The WM_HOTKEY follows the injected key at once; the bound is for a desktop
// that takes no injected input (the secure desktop, a front window of higher
// integrity), where the launch then goes ahead without the right.
constexpr ULONGLONG kRoundWaitMs = 40;
// How long the hot keys may wait for a key that is late. Held longer, F22
// would be taken away from every other program.
constexpr ULONGLONG kRegisteredMs = 1000;

bool IsRoundHotKey(WPARAM id) {
    return id >= static_cast<WPARAM>(kFirstRoundHotKeyId) && id < static_cast<WPARAM>(kFirstRoundHotKeyId + kCombinations);
}

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

ForegroundRound::~ForegroundRound() { End(); }

// Each round's F22, a repeat of a key already down, gives the hot key again,
// which is why the hot keys are registered without MOD_NOREPEAT.
void ForegroundRound::RegisterAll() {
    for (int modifiers = 0; modifiers < kCombinations; ++modifiers) {
        const std::uint32_t bit = std::uint32_t{1} << modifiers;
        if ((registered_ & bit) != 0) continue;
        if (RegisterHotKey(window_, kFirstRoundHotKeyId + modifiers, static_cast<UINT>(modifiers), kRoundKey)) {
            registered_ |= bit;
        }
    }
}

void ForegroundRound::UnregisterAll() {
    for (int modifiers = 0; modifiers < kCombinations; ++modifiers) {
        if ((registered_ & (std::uint32_t{1} << modifiers)) != 0) UnregisterHotKey(window_, kFirstRoundHotKeyId + modifiers);
    }
    registered_ = 0;
    unanswered_ = 0;
}

void ForegroundRound::HotKeyCame() {
    inputAfterRound_ = LastInputTime();
    if (--unanswered_ <= 0) UnregisterAll();
}

bool ForegroundRound::Take(HWND window, HotKeyModifiers down) {
    if (window != window_) UnregisterAll();
    window_ = window;
    RegisterAll();
    if ((registered_ & (std::uint32_t{1} << (down & (kCombinations - 1)))) == 0) {
        if (unanswered_ == 0) UnregisterAll();
        return false;
    }
    if (!InjectRoundKey(false)) {
        if (unanswered_ == 0) UnregisterAll();
        return false;
    }
    keyDown_ = true;
    roundSinceTick_ = true;
    ++unanswered_;
    registeredUntil_ = GetTickCount64() + kRegisteredMs;
    // Takes the round's WM_HOTKEY from the queue and nothing else, so no
    // other message of the program (a timer tick, a click) runs meanwhile.
    const ULONGLONG end = GetTickCount64() + kRoundWaitMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, window_, WM_HOTKEY, WM_HOTKEY, PM_REMOVE | PM_QS_POSTMESSAGE)) {
            if (OnHotKey(msg.wParam)) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_HOTKEY, 0);
    }
    // The key may still come: whatever input the system has taken so far is
    // not the user's answer to this round.
    inputAfterRound_ = LastInputTime();
    return false;
}

bool ForegroundRound::OnHotKey(WPARAM id) {
    if (!IsRoundHotKey(id)) return false;
    if (registered_ != 0) HotKeyCame();
    return true;
}

void ForegroundRound::AfterTick(bool roundsOver) {
    if (registered_ != 0 && GetTickCount64() >= registeredUntil_) UnregisterAll();
    // The keys of a chord still held, or of a tick that made a round, are no
    // answer to it: F22 goes up only once, after the rounds.
    if (roundSinceTick_) {
        roundSinceTick_ = false;
        return;
    }
    if (!keyDown_ || !roundsOver) return;
    if (LastInputTime() != inputAfterRound_) ReleaseKey();
}

void ForegroundRound::ReleaseKey() {
    InjectRoundKey(true);
    keyDown_ = false;
}

void ForegroundRound::End() {
    if (registered_ != 0) UnregisterAll();
    if (keyDown_) ReleaseKey();
}

void SystemTickCalls::Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) {
    // The shell's answer and a missing launcher alike are ignored here: the
    // row simply fires again on the next tick while its keys are down.
    (void)launcher_.Call(file, showCmd, directory);
}

void SystemTickCalls::AllowSetForegroundWindow() { ::AllowSetForegroundWindow(ASFW_ANY); }

void SystemTickCalls::SetForegroundWindow(HWND window) { ::SetForegroundWindow(window); }

}  // namespace brimlow::win
