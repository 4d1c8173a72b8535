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

// Under Wine, the pointer moving onto one of its windows, or a window
// appearing under the pointer, makes Wine bring its key state in line with
// the X keyboard, where no key is down: a key pressed just before is
// forgotten. So the tests keep the pointer in the screen's bottom-right
// corner, where none of their windows appears, except to click.
void ParkPointer();

// Moves the pointer onto a window at this point of the screen and waits
// until Wine has synced its key state for it, so keys pressed afterwards
// stay down. False if no sync was seen.
bool MovePointerOnto(POINT point);

}  // namespace brimlow::testing
