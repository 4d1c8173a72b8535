#include "keyboard.h"

#include <iterator>

#include "messages.h"

namespace brimlow::testing {
namespace {

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Right Ctrl and Right Alt (AltGr) are told from the left keys this way.
    if (key == VK_RCONTROL || key == VK_RMENU) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

bool IsDown(WORD key) { return GetAsyncKeyState(key) < 0; }

}  // namespace

void KeyDown(WORD key) {
    INPUT input = KeyInput(key, false);
    SendInput(1, &input, sizeof(INPUT));
}

void KeyUp(WORD key) {
    INPUT input = KeyInput(key, true);
    SendInput(1, &input, sizeof(INPUT));
}

void HoldKeys(std::initializer_list<WORD> keys, DWORD holdMs) {
    for (WORD key : keys) {
        KeyDown(key);
        Wait(30);
    }
    Wait(holdMs);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        KeyUp(*it);
        Wait(30);
    }
}

void ReleaseKeysLeftDown() {
    // From Backspace up: the codes below it are the mouse buttons.
    for (WORD key = VK_BACK; key < 0xFF; ++key) {
        if (IsDown(key)) KeyUp(key);
    }
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

void ParkPointer() { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); }

bool MovePointerOnto(POINT point) {
    if (!UnderWine()) return SetCursorPos(point.x, point.y) != FALSE;
    // The sync is seen by a key that nothing reads: held down before the
    // move, it is forgotten once the sync is done. The move starts from the
    // corner, so it always enters the window and always brings a sync.
    constexpr WORD kMarker = VK_F9;
    ParkPointer();
    KeyDown(kMarker);
    SetCursorPos(point.x, point.y);
    const bool synced = WaitUntil([] { return !IsDown(kMarker); }, 3000);
    if (!synced) KeyUp(kMarker);
    return synced;
}

}  // namespace brimlow::testing
