#pragma once
// Waiting in a test without blocking its own windows: every wait pumps the
// calling thread's messages, so a window the test hosts keeps answering.

#include <windows.h>

namespace brimlow::testing {

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps messages for the given time. For holding keys down and for watching
// that something does not happen; everything else waits on a condition.
inline void Wait(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        PumpMessages();
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now > 20 ? 20 : end - now), QS_ALLINPUT);
    }
}

// Waits until the predicate holds or the time is up; returns the predicate.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!predicate()) {
        if (GetTickCount64() >= end) return predicate();
        Wait(20);
    }
    return true;
}

}  // namespace brimlow::testing
