#pragma once
// Keys and the pointer as a user's hands move them: through the system's
// input queue (SendInput), so the program under test sees them as it sees a
// real keyboard and mouse.

#include <windows.h>

#include <initializer_list>

namespace brimlow::testing {

void KeyDown(WORD key);
void KeyUp(WORD key);
// Presses the keys in order, holds them, releases them in reverse order.
void HoldKeys(std::initializer_list<WORD> keys, DWORD holdMs);
// Releases every key that is still down, as a test that failed halfway may
// leave them. Only those: under Wine a key-up for a key that is not down
// leaves the next Ctrl press unseen by GetAsyncKeyState.
void ReleaseKeysLeftDown();

bool UnderWine();

}  // namespace brimlow::testing
