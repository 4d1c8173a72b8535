// Start-up and shutdown of the real program, driven from this process: the
// start-at-logon value it keeps in the Run key, the error box and exit code
// of a start that cannot load its shortcuts file, and the save that closing
// the main window makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "control_ids.h"
#include "driver.h"
#include "program_windows.h"

namespace brimlow::e2e {
namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunName = "Brimlow";
constexpr const char* kShortcuts = "data\\shortcuts.ini";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::optional<std::string> RunValue() { return ReadStringValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName); }

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

    HWND box = WaitForDialog(program, "Brimlow");
    ASSERT_NE(box, nullptr) << "no error box";
    const std::string text = MessageBoxText(box);
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_NE(text.find("shortcuts.ini"), std::string::npos) << text;
    EXPECT_FALSE(HasForm(program));
    // The registration is the first step of the start-up, so it is done by
    // the time the shortcuts file is found missing.
    EXPECT_EQ(RunValue().value_or("<none>"), copy_.Folder() + "\\Program.exe");

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
        HWND box = WaitForDialog(program, "Brimlow");
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

TEST_F(StartAndStop, TheRunValueNamesProgramExeInTheFolderTheProgramRunsFrom) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    const auto startAndClose = [](const ProgramCopy& copy) {
        RunningProgram program(copy);
        ASSERT_TRUE(WaitForShownForm(program));
        PostMessageA(program.Form(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    };

    // First start: the value is created. The folder has a space in its name,
    // which is stored as it is, without quotation marks.
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    startAndClose(copy_);
    const std::string first = copy_.Folder() + "\\Program.exe";
    ASSERT_NE(first.find(' '), std::string::npos);
    EXPECT_EQ(RunValue().value_or("<none>"), first);

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
    const std::string second = moved.Folder() + "\\Program.exe";
    EXPECT_EQ(RunValue().value_or("<none>"), second);
    const FILETIME rewritten = RunKeyWritten();
    EXPECT_NE(CompareFileTime(&after, &rewritten), 0) << "the key's write time does show a write";

    // A value that differs in letter case only is not the program's path.
    std::string shouted = second;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    ASSERT_TRUE(WriteStringValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName, shouted));
    startAndClose(moved);
    EXPECT_EQ(RunValue().value_or("<none>"), second);
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
        {"Exit", WM_COMMAND, static_cast<WPARAM>(ids::kMenuItemBase + 5)},
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
    HWND box = WaitForDialog(program, "Brimlow");
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
