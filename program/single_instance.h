#pragma once
// One running copy per program folder. Two copies of one folder would both
// poll, so every hot key would open its target twice, and whichever closed
// last would save its rows over the other's edits. The first copy holds a
// named mutex for its whole life; a later start finds the first copy's main
// window, asks it to show itself and ends, touching no file and no key.

#include <windows.h>

#include <optional>
#include <string>

#include "handles.h"

namespace brimlow::win {

// Where the first copy makes its main window known to later starts: a few
// bytes of shared memory named after the folder's lock.
class PublishedWindow {
public:
    // Made by the first copy, at once after it took the lock.
    explicit PublishedWindow(const std::string& lockName);
    PublishedWindow(const PublishedWindow&) = delete;
    PublishedWindow& operator=(const PublishedWindow&) = delete;

    // Once the window is ready to be shown: names it and this process, and
    // lets the show request through to it.
    void Publish(HWND form);

    // A later start: waits at most timeoutMs for a published window, then
    // lets that window's process take the foreground and asks it to show.
    // False when no window appeared in time.
    static bool AskToShow(const std::string& lockName, DWORD timeoutMs);
    // A start with /pause or /resume: waits at most timeoutMs for a
    // published window and asks it to pause or resume the hot keys, waiting
    // for its answer as long again. False when no window appeared or it did
    // not answer.
    static bool AskToPause(const std::string& lockName, bool pause, DWORD timeoutMs);

private:
    struct Shared;  // the window and its process
    // The published window and its process, once there and still that
    // process's; nullptr when none appeared within timeoutMs.
    static HWND WaitForWindow(const std::string& lockName, DWORD timeoutMs, DWORD& processId);

    UniqueKernel mapping_;
    UniqueView view_;
};

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

    // A start that only passes a request on: pauses (or resumes) the copy of
    // this program file's folder that runs. The lock is looked for, never
    // taken, so with no copy running nothing starts and a start of the
    // program meanwhile is not taken for a running copy. False when no copy
    // runs or it did not answer within timeoutMs.
    static bool PauseRunningCopy(const wchar_t* programFile, bool pause, DWORD timeoutMs);

private:
    bool first_ = true;
    std::string name_;
    UniqueKernel mutex_;
    std::optional<PublishedWindow> published_;
};

// The message a later start sends the first copy's main window: show
// yourself, as Ctrl+Alt+F1 does, and come to the front.
UINT ShowMainWindowMessage();

// The message a start with /pause (wParam 1) or /resume (wParam 0) sends the
// first copy's main window, and the window's answer once it has done it.
UINT PauseHotKeysMessage();
inline constexpr LRESULT kPauseHotKeysDone = 1;

}  // namespace brimlow::win
