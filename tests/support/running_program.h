#pragma once
// A real program.exe started as its own process, and its main window as a
// second process sees it: controls found by their identifiers, read and set
// with window messages.

#include <windows.h>

#include <string>
#include <vector>

namespace brimlow::testing {

class RunningProgram {
public:
    // The program at this path, started the way the Run key or a shortcut
    // starts it: by its full path, in the given working folder.
    RunningProgram(const std::string& program, const std::string& workingFolder, const std::string& arguments = "");
    // Ends the program if it still runs.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Pid() const { return pid_; }

    // Waits until the main window is on the screen and has handled what it
    // was sent: the window exists, hidden, before the rows are loaded and is
    // shown when the start-up is done, so a test that reads or edits the
    // rows waits for this. False if the program ended or showed no window.
    bool WaitForForm(DWORD timeoutMs = 20000);
    HWND Form() const { return form_; }
    HWND Control(int id) const { return GetDlgItem(form_, id); }

    // Texts in UTF-8.
    std::string Text(int id) const;
    void SetText(int id, const std::string& text) const;
    int Check(int id) const;
    void SetCheck(int id, int state) const;
    // A click on a button, posted like a real click, so a modal dialog it
    // opens does not block the test.
    void Click(int id) const;
    // Closes the main window as its close box does.
    void Close() const;

    // Waits until the program's window thread has handled everything sent to
    // it so far. Hiding a window blocks its thread for about two seconds
    // under Wine without a window manager (it waits for the X window to be
    // withdrawn), so a test that hides the window waits here first.
    bool WaitForIdle(DWORD timeoutMs = 10000) const;

    bool Running() const;
    // The exit code, or STILL_ACTIVE if the program did not end in time.
    DWORD WaitForExit(DWORD timeoutMs = 20000) const;
    // Top-level windows the program has now, visible or not.
    std::vector<HWND> Windows() const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND form_ = nullptr;
};

}  // namespace brimlow::testing
