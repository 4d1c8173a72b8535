// Start-up and shutdown of the real program, driven from this process: the
// start-at-logon value it keeps in the Run key, the error box and exit code
// of a start that cannot load its shortcuts file, and the save that closing
// the main window makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "control_ids.h"
#include "driver.h"
#include "program_windows.h"

namespace brimlow::e2e {
namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunName = ids::kProductName;
constexpr const char* kShortcuts = "data\\shortcuts.ini";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::optional<std::string> RunValue() { return ReadStringValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName); }

// What the program stores for a copy in this folder.
std::string QuotedProgram(const ProgramCopy& copy) { return "\"" + copy.Folder() + "\\Program.exe\""; }

FILETIME RunKeyWritten() {
    FILETIME written{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &written);
        RegCloseKey(key);
    }
    return written;
}

bool HasForm(const RunningProgram& program) {
    const auto windows = program.Windows();
    return std::any_of(windows.begin(), windows.end(), [](HWND hwnd) { return ClassOf(hwnd) == ids::kForm1Class; });
}

// What Windows sends every top-level window of a process when the user logs
// off, hidden windows included.
void LogOff(const RunningProgram& program) {
    for (HWND hwnd : program.Windows()) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result);
        SendMessageTimeoutA(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result);
    }
}

// The files in the copy's data folder.
std::vector<std::string> DataFiles(const ProgramCopy& copy) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(copy.PathOf("data\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// All ten rows, the last seven as ShortcutsFile fills rows it is not given.
std::vector<Row> SomeRows() {
    std::vector<Row> rows = {{"CTRL", "N", "C:\\windows\\notepad.exe", "1 - Normal", "1"},
                             {"PAGE UP", "B", "C:\\some folder\\a document.txt", "3 - Maximized", "0"},
                             {"INSERT", "Z", "", "2 - Minimized", "2"}};
    rows.resize(10, Row{"UP", "Q", "", "1 - Normal", "0"});
    return rows;
}

class StartAndStop : public ::testing::Test {
protected:
    // The Run value goes back to what it was, whatever the test did to it.
    RestoreValue runValue_{HKEY_LOCAL_MACHINE, kRunKey, kRunName};
    ProgramCopy copy_{TestName()};
};

TEST_F(StartAndStop, AMissingShortcutsFileIsReportedWithoutAWindowAndEndsWithAFailureCodeAfterTheRunValueIsWritten) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    ASSERT_FALSE(copy_.Exists(kShortcuts));
    RunningProgram program(copy_);
    ASSERT_TRUE(program.Started());

    HWND box = WaitForDialog(program, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no error box";
    const std::string text = MessageBoxText(box);
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_NE(text.find("shortcuts.ini"), std::string::npos) << text;
    EXPECT_FALSE(HasForm(program));
    // The registration is the first step of the start-up, so it is done by
    // the time the shortcuts file is found missing.
    EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(copy_));

    // A log-off while the box is up must not save the rows the program never
    // loaded.
    LogOff(program);
    EXPECT_FALSE(copy_.Exists(kShortcuts)) << "a failed start writes no shortcuts file";

    PressButton(box, IDOK);
    const DWORD code = program.WaitForExit();
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_NE(code, 0u);
    EXPECT_FALSE(copy_.Exists(kShortcuts));
}

TEST_F(StartAndStop, AShortOrDamagedShortcutsFileIsReportedByLineAndLeftAsItWas) {
    const std::string good = ShortcutsFile(SomeRows());
    std::string damaged = good;
    // Line 15 is the Active state of row 2.
    damaged.replace(damaged.find("2\r\n", damaged.find("2 - Minimized")), 1, "yes");
    const struct {
        const char* what;
        std::string bytes;
        const char* line;
    } cases[] = {
        {"49 lines", good.substr(0, good.size() - 3), "line 50"},
        {"a word as the Active state", damaged, "line 15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        copy_.WriteFile(kShortcuts, c.bytes);
        RunningProgram program(copy_);
        HWND box = WaitForDialog(program, ids::kProductName);
        ASSERT_NE(box, nullptr) << "no error box";
        const std::string text = MessageBoxText(box);
        EXPECT_NE(text.find(copy_.PathOf(kShortcuts)), std::string::npos) << text;
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
        EXPECT_FALSE(HasForm(program));
        LogOff(program);
        EXPECT_EQ(copy_.ReadFile(kShortcuts), c.bytes) << "nothing is saved over the user's file";
        PressButton(box, IDOK);
        const DWORD code = program.WaitForExit();
        EXPECT_NE(code, STILL_ACTIVE);
        EXPECT_NE(code, 0u);
        EXPECT_EQ(copy_.ReadFile(kShortcuts), c.bytes);
    }
}

TEST_F(StartAndStop, TheRunValueNamesProgramExeQuotedInTheFolderTheProgramRunsFrom) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    const auto startAndClose = [](const ProgramCopy& copy) {
        RunningProgram program(copy);
        ASSERT_TRUE(WaitForShownForm(program));
        PostMessageA(program.Form(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    };

    // First start: the value is created. The folder has a space in its name,
    // so the value is quoted: unquoted, Windows would try "C:\...\brimlow.exe"
    // up to the first space before the program.
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    startAndClose(copy_);
    ASSERT_NE(copy_.Folder().find(' '), std::string::npos);
    std::printf("Run value after the first start: %s\n", RunValue().value_or("<none>").c_str());
    EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(copy_));

    // The same folder again: the value is equal, so the key is not written.
    const FILETIME before = RunKeyWritten();
    Wait(50);
    startAndClose(copy_);
    const FILETIME after = RunKeyWritten();
    EXPECT_EQ(CompareFileTime(&before, &after), 0) << "an equal value is left alone";

    // The program in another folder: the value follows it.
    ProgramCopy moved(TestName() + " moved");
    moved.WriteFile(kShortcuts, ShortcutsFile({}));
    startAndClose(moved);
    EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(moved));
    const FILETIME rewritten = RunKeyWritten();
    EXPECT_NE(CompareFileTime(&after, &rewritten), 0) << "the key's write time does show a write";

    // The unquoted form earlier versions stored, and a value that differs in
    // letter case only, are both rewritten.
    std::string shouted = QuotedProgram(moved);
    std::transform(shouted.begin(), shouted.end(), shouted.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    for (const std::string& old : {moved.Folder() + "\\Program.exe", shouted}) {
        ASSERT_TRUE(WriteStringValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName, old));
        std::printf("Run value before the start: %s\n", old.c_str());
        startAndClose(moved);
        std::printf("Run value after the start:  %s\n", RunValue().value_or("<none>").c_str());
        EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(moved));
    }
}

// One copy runs per folder, not per machine: a copy in another folder (a
// portable copy beside an installed one) starts and shows its own window.
TEST_F(StartAndStop, ACopyInAnotherFolderRunsBesideTheFirst) {
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    RunningProgram first(copy_);
    ASSERT_TRUE(WaitForShownForm(first));
    ProgramCopy other(TestName() + " other");
    other.WriteFile(kShortcuts, ShortcutsFile(SomeRows()));
    RunningProgram second(other);
    ASSERT_TRUE(WaitForShownForm(second)) << "the copy in another folder showed no window";
    EXPECT_NE(second.Form(), first.Form());
    EXPECT_EQ(second.Text(ids::kText2), SomeRows()[0].path);
    EXPECT_TRUE(first.Running());
    PostMessageA(second.Form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(second.WaitForExit(), 0u);
    PostMessageA(first.Form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0u);
}

// The first copy holds the folder while its start-up error box is up; a
// second start does not wait for it longer than five seconds, and leaves the
// box and the (missing) table as they were.
TEST_F(StartAndStop, ASecondStartWhileTheFirstShowsItsStartUpErrorEndsWithZeroWithinFiveSeconds) {
    RunningProgram first(copy_);
    HWND box = WaitForDialog(first, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no error box";

    const ULONGLONG started = GetTickCount64();
    RunningProgram second(copy_);
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(5000), 0u) << "the second start did not end with 0 within 5 s";
    std::printf("second start beside the error box ended after %llu ms\n", GetTickCount64() - started);
    EXPECT_TRUE(IsWindow(box));
    EXPECT_FALSE(copy_.Exists(kShortcuts));

    PressButton(box, IDOK);
    EXPECT_NE(first.WaitForExit(), 0u);
}

// Closing the window by its close box or by Exit writes the rows as the
// window shows them, edits included, and ends the program with 0.
TEST_F(StartAndStop, CloseBoxAndExitSaveTheRowsAsTheyStandAndEndWithZero) {
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
    } ways[] = {
        {"close box", WM_CLOSE, 0},
        {"Exit", WM_COMMAND, static_cast<WPARAM>(ids::MenuCommand(ids::kMenuExit))},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        std::vector<Row> rows = SomeRows();
        copy_.WriteFile(kShortcuts, ShortcutsFile(rows));
        RunningProgram program(copy_);
        ASSERT_TRUE(WaitForShownForm(program));

        rows[1].path = std::string("C:\\edited by ") + way.what + ".exe";
        rows[2].windowState = "3 - Maximized";
        rows[2].active = "0";
        rows[4] = {"DELETE", "M", "D:\\x.txt", "2 - Minimized", "1"};
        program.SetText(ids::kText2 + 1, rows[1].path);
        program.SetText(ids::kCombo1 + 2, rows[2].windowState);
        program.SetCheck(ids::kCheck1 + 2, 0);
        program.SetText(ids::kText1 + 4, rows[4].firstKey);
        program.SetText(ids::kText3 + 4, rows[4].letter);
        program.SetText(ids::kText2 + 4, rows[4].path);
        program.SetText(ids::kCombo1 + 4, rows[4].windowState);
        program.SetCheck(ids::kCheck1 + 4, 1);
        ASSERT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(SomeRows())) << "editing saves nothing by itself";

        PostMessageA(program.Form(), way.message, way.wParam, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
        EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
        EXPECT_EQ(DataFiles(copy_), std::vector<std::string>{"shortcuts.ini"}) << "no temporary file is left behind";
    }
}

TEST_F(StartAndStop, ASaveThatFailsAtCloseIsReportedAndEndsWithAFailureCode) {
    copy_.WriteFile(kShortcuts, ShortcutsFile(SomeRows()));
    RunningProgram program(copy_);
    ASSERT_TRUE(WaitForShownForm(program));
    // The rows are loaded; now the folder they would be saved to goes away.
    ASSERT_TRUE(DeleteFileA(copy_.PathOf(kShortcuts).c_str()));
    ASSERT_TRUE(RemoveDirectoryA(copy_.PathOf("data").c_str()));

    PostMessageA(program.Form(), WM_CLOSE, 0, 0);
    HWND box = WaitForDialog(program, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no error box";
    const std::string text = MessageBoxText(box);
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_NE(text.find(copy_.PathOf(kShortcuts)), std::string::npos) << text;
    PressButton(box, IDOK);
    const DWORD code = program.WaitForExit();
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_NE(code, 0u);
}

}  // namespace
}  // namespace brimlow::e2e
