#pragma once
// Drives a real program.exe from outside, the way a user's keyboard and mouse
// would: a private copy of the program in a fresh folder, the probe that
// records how the hot keys start it, and the fixture every end-to-end test
// stands on. The shared pieces (the running program, keys, rows files,
// waits) come from tests/support and are named here as e2e's own.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/checks.h"
#include "support/keyboard.h"
#include "support/messages.h"
#include "support/rows_file.h"
#include "support/running_program.h"
#include "support/test_files.h"

namespace brimlow::e2e {

using testing::CurrentTestName;
using testing::HoldKeys;
using testing::Includes;
using testing::KeyDown;
using testing::KeyUp;
using testing::Row;
using testing::RunningProgram;
using testing::ShortcutsFile;
using testing::TenRows;
using testing::Wait;
using testing::WaitUntil;

// The polling timer's period in the program.
inline constexpr DWORD kTickMs = 100;

// A name in UTF-8 that code page 1252 cannot hold, with a character outside
// the Basic Multilingual Plane: "Łukasz Ω 日本 🚀".
inline const std::string kAnyScriptName = "\xC5\x81ukasz \xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9A\x80";

// The system locale's ANSI code page, which tables of earlier versions are
// written in: 1252 here, 932 when Wine runs under a Japanese locale.
inline UINT LegacyAnsiCodePage() {
    DWORD codePage = 0;
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(WCHAR));
    return codePage;
}

// build/win/bin: where program.exe and Ostrad.dll are built.
std::string BinFolder();

// A fresh folder with program.exe, Ostrad.dll, help.txt (when built) and an
// empty data folder, removed again at the end of the test; in the temporary
// folder or the given parent.
class ProgramCopy {
public:
    explicit ProgramCopy(const std::string& name, const std::string& parent = std::string());

    const std::string& Folder() const { return folder_.Path(); }
    std::string PathOf(const std::string& relative) const { return folder_.PathOf(relative); }

    // Copies the probe in under the given name (a path below the folder,
    // whose folders are made); returns its full path.
    std::string AddProbe(const std::string& name = "probe.exe") const;

    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    bool Rename(const std::string& from, const std::string& to) const;

    // The copy's program.exe, started in the copy's folder.
    std::unique_ptr<RunningProgram> Start(const std::string& arguments = "") const;

private:
    testing::TempFolder folder_;
};

// One start of the probe: its file name, show state, creation time, full
// path (UTF-8) and command line.
struct ProbeStart {
    std::string name;
    int show = -1;
    std::uint64_t created = 0;
    std::string path;
    std::string args;
};
// The starts of probes in the copy's folder, or in this folder of it.
std::vector<ProbeStart> ProbeStarts(const ProgramCopy& copy, const std::string& folder = "");
// The starts once no more are coming: waits until none has been added for
// the shell's start-up time and two ticks more, so a start the launcher
// asked for in either of the last two ticks has reached the log (ten seconds
// at most, for keys that never came up).
std::vector<ProbeStart> SettledProbeStarts(const ProgramCopy& copy);

// Writes a row into the program's controls, as the boxes' owner would see
// it typed, the letter box last, so its change event resolves the row's key
// codes from the texts just written.
void EnterRow(const RunningProgram& program, int row, const Row& values);

// A copy of the program named after the test, and the program once started.
class ProgramTest : public ::testing::Test {
protected:
    // Releases every key a failed test left down, so the next test starts
    // from a quiet keyboard.
    void TearDown() override { testing::ReleaseKeysLeftDown(); }

    // Writes these rows, then filler rows, as the shortcuts file, starts the
    // program and waits for its window.
    void Start(const std::vector<Row>& rows);
    // Starts the program on the shortcuts file as it is.
    void StartAgain();
    std::vector<ProbeStart> SettledStarts() const { return SettledProbeStarts(copy_); }

    ProgramCopy copy_{CurrentTestName()};
    std::vector<Row> rows_;  // the ten rows the last Start wrote
    std::unique_ptr<RunningProgram> program_;
};

}  // namespace brimlow::e2e
