#pragma once
// Drives a real program.exe from outside, the way a user's keyboard and mouse
// would: a private copy of the program in a fresh folder, its controls found
// by their identifiers, keys pressed with SendInput.

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace brimlow::e2e {

// build/win/bin: where program.exe and Ostrad.dll are built.
std::string BinFolder();

// A fresh folder with program.exe, Ostrad.dll, help.txt (when built) and the
// probe, removed again at the end of the test.
class ProgramCopy {
public:
    explicit ProgramCopy(const std::string& name);
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string PathOf(const std::string& relative) const { return folder_ + "\\" + relative; }

    // Copies the probe in under the given name; returns its full path.
    std::string AddProbe(const std::string& name = "probe.exe") const;

    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    bool Rename(const std::string& from, const std::string& to) const;

private:
    std::string folder_;
};

// The fifty lines of a shortcuts file, with CR LF after each.
struct Row {
    std::string firstKey = "CTRL";
    std::string letter = "N";
    std::string path;
    std::string windowState = "1 - Normal";
    std::string active = "0";
};
std::string ShortcutsFile(const std::vector<Row>& rows);

// One start of the probe: its name, show state and creation time.
struct ProbeStart {
    std::string name;
    int show = -1;
    std::uint64_t created = 0;
    std::string args;
};
std::vector<ProbeStart> ProbeStarts(const ProgramCopy& copy);
// The starts once the probes that are still starting have written their
// lines: waits until the count stops growing (five seconds at most).
std::vector<ProbeStart> SettledProbeStarts(const ProgramCopy& copy);

class RunningProgram {
public:
    explicit RunningProgram(const ProgramCopy& copy, const std::string& arguments = "");
    // The program.exe of any folder (an installed or unpacked copy), started
    // by its full path from another working folder, as a shortcut or the Run
    // key starts it.
    RunningProgram(const std::string& folder, const std::string& workingFolder, const std::string& arguments = "");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Pid() const { return pid_; }

    // Waits until the main window exists; false if the program ended first.
    bool WaitForForm(DWORD timeoutMs = 20000);
    HWND Form() const { return form_; }
    HWND Control(int id) const { return GetDlgItem(form_, id); }

    std::string Text(int id) const;
    void SetText(int id, const std::string& text) const;
    int Check(int id) const;
    void SetCheck(int id, int state) const;
    void Click(int id) const;

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

// Presses the keys in order, holds them, releases them in reverse order.
void HoldKeys(std::initializer_list<WORD> keys, DWORD holdMs);
void KeyDown(WORD key);
void KeyUp(WORD key);
// Releases those of the keys that are still down after a failed test. Only
// those: under Wine a key-up for a key that is not down leaves the next
// Ctrl press unseen by GetAsyncKeyState.
void ReleaseKeysLeftDown(std::initializer_list<WORD> keys);
template <std::size_t N>
void ReleaseKeysLeftDown(const WORD (&keys)[N]) {
    for (WORD key : keys) {
        if (GetAsyncKeyState(key) < 0) KeyUp(key);
    }
}

// Pumps this thread's messages while waiting.
void Wait(DWORD ms);
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

}  // namespace brimlow::e2e
