#pragma once
// One running copy per program folder. Two copies of one folder would both
// poll, so every hot key would open its target twice, and whichever closed
// last would save its rows over the other's edits. The first copy holds a
// named mutex for its whole life; a later start finds the first copy's main
// window, asks it to show itself and ends, touching no file and no key.

#include <windows.h>

#include <string>

#include "handles.h"

namespace brimlow::win {

class SingleInstance {
public:
    // Takes the folder's lock for the program file at this path (the running
    // module's when empty).
    explicit SingleInstance(const wchar_t* programFile = nullptr);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another copy of the same folder already runs.
    bool IsFirst() const { return first_; }

    // The first copy: makes its main window known to later starts, once the
    // window is ready to be shown.
    void PublishWindow(HWND form);

    // A later copy: waits at most timeoutMs for the first copy's window, then
    // lets that copy take the foreground and asks it to show its window.
    // False when no window appeared in time (the first copy is still starting
    // or is stuck in its start-up error box).
    bool ShowFirstCopy(DWORD timeoutMs) const;

    // The folder's lock name: "Local\Brimlow-" and the hash of the folder
    // spelled as Windows compares it.
    static std::string NameFor(const wchar_t* programFile);

private:
    struct Published;  // what the first copy shares: its window and process

    bool first_ = true;
    std::string name_;
    UniqueKernel mutex_;
    UniqueKernel mapping_;
    UniqueView view_;
};

// The message a later start sends the first copy's main window: show
// yourself, as Ctrl+Alt+F1 does, and come to the front.
UINT ShowMainWindowMessage();

}  // namespace brimlow::win
