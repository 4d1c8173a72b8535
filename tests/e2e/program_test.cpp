// Start-up and shutdown of the real program, driven from this process: the
// start-at-logon value it keeps in the Run key, the error box and exit code
// of a start that cannot load its shortcuts file, and the save that closing
// the main window makes.
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "control_ids.h"
#include "driver.h"
#include "program_windows.h"
#include "single_instance.h"
#include "support/notify_icon.h"
#include "utf8.h"

namespace brimlow::e2e {
namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunName = ids::kProductName;
constexpr const char* kShortcuts = "data\\shortcuts.ini";

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

bool HasIcon(HWND window) { return testing::NotifyIconExists(window, ids::kNotifyIconId); }

// No window of the program has an icon in the notification area.
bool HasNoIcon(const RunningProgram& program) {
    const auto windows = program.Windows();
    return std::none_of(windows.begin(), windows.end(), HasIcon);
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

// Presses OK in the program's error box; the program must then end with a
// failure code.
::testing::AssertionResult EndsWithAFailureCodeOnOk(HWND box, const RunningProgram& program) {
    PressButton(box, IDOK);
    const DWORD code = program.WaitForExit();
    if (code == STILL_ACTIVE) return ::testing::AssertionFailure() << "the program did not end";
    if (code == 0) return ::testing::AssertionFailure() << "the program ended with 0";
    return ::testing::AssertionSuccess();
}

// All ten rows, the last seven filler rows.
std::vector<Row> SomeRows() {
    return TenRows({{"CTRL", "N", "C:\\windows\\notepad.exe", "1 - Normal", "1"},
                    {"PAGE UP", "B", "C:\\some folder\\a document.txt", "3 - Maximized", "0"},
                    {"INSERT", "Z", "", "2 - Minimized", "2"}});
}

// The clock has moved on from this time, so a write made now shows.
bool ClockPassed(const FILETIME& time) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return CompareFileTime(&now, &time) > 0;
}

class StartAndStop : public ProgramTest {
protected:
    // The Run value goes back to what it was, whatever the test did to it.
    RestoreValue runValue_{HKEY_LOCAL_MACHINE, kRunKey, kRunName};
};

TEST_F(StartAndStop, AMissingShortcutsFileIsReportedWithoutAWindowAndEndsWithAFailureCodeAfterTheRunValueIsWritten) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    ASSERT_FALSE(copy_.Exists(kShortcuts));
    const auto program = copy_.Start();
    ASSERT_TRUE(program->Started());

    HWND box = WaitForDialog(*program, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no error box";
    EXPECT_TRUE(IsErrorNaming(MessageBoxText(box), {"shortcuts.ini"}));
    EXPECT_FALSE(HasForm(*program));
    EXPECT_TRUE(HasNoIcon(*program)) << "a failed start shows no notification icon";
    // The registration is the first step of the start-up, so it is done by
    // the time the shortcuts file is found missing.
    EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(copy_));

    // A log-off while the box is up must not save the rows the program never
    // loaded.
    LogOff(*program);
    EXPECT_FALSE(copy_.Exists(kShortcuts)) << "a failed start writes no shortcuts file";

    EXPECT_TRUE(EndsWithAFailureCodeOnOk(box, *program));
    EXPECT_FALSE(copy_.Exists(kShortcuts));
}

TEST_F(StartAndStop, AShortOrDamagedShortcutsFileIsReportedByLineAndLeftAsItWas) {
    const std::string good = ShortcutsFile(SomeRows());
    std::string damaged = good;
    // Line 15 is the Active state of row 2.
    damaged.replace(damaged.find("2\r\n", damaged.find("2 - Minimized")), 1, "yes");
    struct Case {
        const char* what;
        std::string bytes;
        const char* line;
    };
    std::vector<Case> cases = {
        {"49 lines", testing::FirstLines(good, 49), "line 50"},
        {"a word as the Active state", damaged, "line 15"},
    };
    // A file that is not UTF-8 is read in the legacy code page; only one
    // with bytes it leaves unmapped can refuse it (1252 maps every byte).
    if (LegacyAnsiCodePage() == 932) {
        std::string unmapped = good;
        unmapped.replace(unmapped.find("C:\\some folder"), 2, "C:\x81 ");
        cases.push_back({"a line neither UTF-8 nor code page 932", unmapped, "line 8"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        copy_.WriteFile(kShortcuts, c.bytes);
        const auto program = copy_.Start();
        HWND box = WaitForDialog(*program, ids::kProductName);
        ASSERT_NE(box, nullptr) << "no error box";
        const std::string text = MessageBoxText(box);
        EXPECT_TRUE(Includes(text, copy_.PathOf(kShortcuts)));
        EXPECT_TRUE(Includes(text, c.line));
        EXPECT_FALSE(HasForm(*program));
        LogOff(*program);
        EXPECT_EQ(copy_.ReadFile(kShortcuts), c.bytes) << "nothing is saved over the user's file";
        EXPECT_TRUE(EndsWithAFailureCodeOnOk(box, *program));
        EXPECT_EQ(copy_.ReadFile(kShortcuts), c.bytes);
    }
}

TEST_F(StartAndStop, TheRunValueNamesProgramExeQuotedInTheFolderTheProgramRunsFrom) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    const auto startAndClose = [](const ProgramCopy& copy) {
        const auto program = copy.Start();
        ASSERT_TRUE(program->WaitForForm());
        program->Close();
        EXPECT_EQ(program->WaitForExit(), 0u);
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
    ASSERT_TRUE(WaitUntil([&] { return ClockPassed(before); }, 5000));
    startAndClose(copy_);
    const FILETIME after = RunKeyWritten();
    EXPECT_EQ(CompareFileTime(&before, &after), 0) << "an equal value is left alone";

    // The program in another folder: the value follows it.
    ProgramCopy moved(CurrentTestName() + " moved");
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

// Every account would start at logon whatever another account put in a
// folder it may write, or moved aside. From such a folder, beside such a
// table, or in a parent others may change, the value is not written, the one
// naming this copy goes (quoted, or unquoted as earlier versions wrote it),
// and one naming another folder stays.
TEST_F(StartAndStop, FromAFolderTableOrParentOthersMayWriteTheRunValueIsNotWrittenAndOneNamingThisCopyIsRemoved) {
    const std::string installed = "\"C:\\Program Files\\Brimlow\\Program.exe\"";
    for (const std::string open : {"folder", "table", "parent"}) {
        SCOPED_TRACE(open);
        // In a parent of its own in Wine's temporary folder, inside the test's
        // prefix (C:\users\<user>\Temp): no folder from there up to C:\ may
        // be changed by others or is a link, so the first start, before the
        // case opens anything, writes the value. (Under /tmp, mode 1777 reads
        // as "Everyone may delete in it".)
        testing::TempFolder parent("parent");
        ProgramCopy copy(CurrentTestName() + " " + open, parent.Path());
        copy.WriteFile(kShortcuts, ShortcutsFile({}));
        const std::string opened = open == "table"    ? copy.PathOf(kShortcuts)
                                   : open == "parent" ? parent.Path()
                                                      : copy.Folder();
        const struct {
            std::optional<std::string> before, after;
        } starts[] = {{std::nullopt, QuotedProgram(copy)},
                      {open == "table" ? copy.Folder() + "\\Program.exe" : QuotedProgram(copy), std::nullopt},
                      {installed, installed},
                      {std::nullopt, std::nullopt}};
        // Another copy's value left alone, and no value made, are the same
        // whichever of the three is open: the last case alone shows them.
        const std::size_t count = open == "parent" ? std::size(starts) : 2;
        for (std::size_t i = 0; i < count; ++i) {
            const auto& start = starts[i];
            // Each close saves the table as a new file, which Wine makes with
            // the usual mode.
            if (i != 0) {
                ASSERT_TRUE(testing::LetEveryoneWrite(opened));
            }
            if (start.before) {
                ASSERT_TRUE(WriteStringValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName, *start.before));
            } else {
                DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
            }
            const auto program = copy.Start();
            ASSERT_TRUE(program->WaitForForm());
            program->Close();
            EXPECT_EQ(program->WaitForExit(), 0u);
            std::printf("Run value before a start (%s open: %d): %s, after: %s\n", open.c_str(), i != 0,
                        start.before.value_or("<none>").c_str(), RunValue().value_or("<none>").c_str());
            EXPECT_EQ(RunValue(), start.after);
        }
    }
}

// A user whose name, and so the program's folder, is in any script. A
// 200-character path, mostly of CJK characters (three bytes each in UTF-8),
// goes through a load, a launch and a save whole.
TEST_F(StartAndStop, AFolderNamedInAnyScriptStartsLaunchesSavesAndStartsAgainWithTheSameText) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    ProgramCopy copy(kAnyScriptName);
    const std::string probe = copy.AddProbe("\xD1\x86\xD0\xB5\xD0\xBB\xD1\x8C.exe");  // цель.exe
    std::string cjk;
    for (int i = 0; i < 20; ++i) cjk += "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
    const std::string deepFolder = cjk + "\\" + cjk;
    const std::string deepProbe = copy.AddProbe(deepFolder + "\\" + cjk.substr(0, 30 * 3) + ".exe");
    ASSERT_GE(Utf8Length(deepProbe), 200u);
    std::vector<Row> rows = TenRows({{"CTRL", "N", probe, "1 - Normal", "1"},
                                     {"CTRL", "B", deepProbe, "1 - Normal", "1"},
                                     {"INSERT", "Z", "C:\\\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt",
                                      "1 - \xD0\x9E\xD0\xB1\xD1\x8B\xD1\x87\xD0\xBD\xD0\xBE", "0"}});
    copy.WriteFile(kShortcuts, ShortcutsFile(rows));

    auto program = copy.Start();
    ASSERT_TRUE(program->WaitForForm()) << "no window from " << copy.Folder();
    EXPECT_EQ(program->Text(ids::kText2), probe);
    EXPECT_EQ(program->Text(ids::kText2 + 1), deepProbe);
    EXPECT_EQ(program->Text(ids::kCombo1 + 2), rows[2].windowState);

    HoldKeys({VK_CONTROL, 'N'}, 300);
    ASSERT_TRUE(WaitUntil([&] { return !ProbeStarts(copy).empty(); }, 5000)) << "Ctrl+N started nothing";
    std::printf("probe started as %s\n", ProbeStarts(copy).front().path.c_str());
    EXPECT_EQ(ProbeStarts(copy).front().path, probe);
    HoldKeys({VK_CONTROL, 'B'}, 300);
    ASSERT_TRUE(WaitUntil([&] { return !ProbeStarts(copy, deepFolder).empty(); }, 5000)) << "Ctrl+B started nothing";
    std::printf("probe started as %s\n", ProbeStarts(copy, deepFolder).front().path.c_str());
    EXPECT_EQ(ProbeStarts(copy, deepFolder).front().path, deepProbe);

    std::printf("Run value: %s\n", RunValue().value_or("<none>").c_str());
    EXPECT_EQ(RunValue().value_or("<none>"), QuotedProgram(copy));

    // A text typed in now is saved as its UTF-8 bytes at the close.
    rows[3] = {"DELETE", "X", copy.Folder() + "\\\xF0\x9F\x9A\x80 \xE8\xA1\xA8.txt", "1 - Normal", "0"};
    EnterRow(*program, 3, rows[3]);
    program->Close();
    ASSERT_EQ(program->WaitForExit(), 0u);
    EXPECT_EQ(copy.ReadFile(kShortcuts), ShortcutsFile(rows));

    program = copy.Start();
    ASSERT_TRUE(program->WaitForForm());
    EXPECT_EQ(program->Text(ids::kText2 + 1), deepProbe);
    EXPECT_EQ(program->Text(ids::kText2 + 3), rows[3].path);
    program->Close();
    EXPECT_EQ(program->WaitForExit(), 0u);
    EXPECT_EQ(copy.ReadFile(kShortcuts), ShortcutsFile(rows));
}

// A table an earlier version wrote on a Japanese system, in Shift-JIS: the
// second byte of 表 (95 5C) is a backslash, which must not split the path.
// Runs where Wine's locale is Japanese (the ctest entry *.cp932).
TEST_F(StartAndStop, AJapaneseTableInShiftJisReadsRightLaunchesAndIsSavedAsUtf8) {
    if (LegacyAnsiCodePage() != 932) GTEST_SKIP() << "the system code page is " << LegacyAnsiCodePage();
    const std::string folder = "\xE8\xA1\xA8";  // 表
    const std::string probe = copy_.AddProbe(folder + "\\probe.exe");
    Row row{"CTRL", "N", copy_.Folder() + "\\\x95\x5C\\probe.exe", "1 - Normal", "1"};
    copy_.WriteFile(kShortcuts, ShortcutsFile({row}));

    const auto program = copy_.Start();
    ASSERT_TRUE(program->WaitForForm());
    EXPECT_EQ(program->Text(ids::kText2), probe);
    HoldKeys({VK_CONTROL, 'N'}, 300);
    ASSERT_TRUE(WaitUntil([&] { return !ProbeStarts(copy_, folder).empty(); }, 5000)) << "Ctrl+N started nothing";
    EXPECT_EQ(ProbeStarts(copy_, folder).front().path, probe);
    program->Close();
    ASSERT_EQ(program->WaitForExit(), 0u);
    row.path = probe;
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile({row}));
}

// One copy runs per folder, not per machine: a copy in another folder (a
// portable copy beside an installed one) starts and shows its own window.
TEST_F(StartAndStop, ACopyInAnotherFolderRunsBesideTheFirst) {
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    const auto first = copy_.Start();
    ASSERT_TRUE(first->WaitForForm());
    ProgramCopy other(CurrentTestName() + " other");
    other.WriteFile(kShortcuts, ShortcutsFile(SomeRows()));
    const auto second = other.Start();
    ASSERT_TRUE(second->WaitForForm()) << "the copy in another folder showed no window";
    EXPECT_NE(second->Form(), first->Form());
    EXPECT_EQ(second->Text(ids::kText2), SomeRows()[0].path);
    EXPECT_TRUE(first->Running());
    second->Close();
    EXPECT_EQ(second->WaitForExit(), 0u);
    first->Close();
    EXPECT_EQ(first->WaitForExit(), 0u);
}

// The first copy holds the folder while its start-up error box is up; a
// second start does not wait for it longer than five seconds, and leaves the
// box and the (missing) table as they were.
TEST_F(StartAndStop, ASecondStartWhileTheFirstShowsItsStartUpErrorEndsWithZeroWithinFiveSeconds) {
    const auto first = copy_.Start();
    HWND box = WaitForDialog(*first, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no error box";

    const ULONGLONG started = GetTickCount64();
    const auto second = copy_.Start();
    ASSERT_TRUE(second->Started());
    EXPECT_EQ(second->WaitForExit(5000), 0u) << "the second start did not end with 0 within 5 s";
    std::printf("second start beside the error box ended after %llu ms\n", GetTickCount64() - started);
    EXPECT_TRUE(IsWindow(box));
    EXPECT_FALSE(copy_.Exists(kShortcuts));

    PressButton(box, IDOK);
    EXPECT_NE(first->WaitForExit(), 0u);
}

// A copy started as administrator makes the folder's lock with an
// administrator's security, which refuses an ordinary later start. The test
// makes such a lock (others may only wait on it) and publishes a window for
// it: the start asks that window to show and ends with 0, writing nothing.
TEST_F(StartAndStop, ALockThatRefusesTheStartMeansACopyRunsTheStartAsksItToShowAndEndsWithZero) {
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    const std::string lockName = win::SingleInstance::NameFor(testing::Wide(copy_.PathOf("program.exe")).c_str());
    PSECURITY_DESCRIPTOR onlyWait = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                     &onlyWait, nullptr));
    SECURITY_ATTRIBUTES security{sizeof security, onlyWait, FALSE};
    const win::UniqueKernel lock(CreateMutexW(&security, FALSE, testing::Wide(lockName).c_str()));
    LocalFree(onlyWait);
    ASSERT_TRUE(lock);

    HWND standIn = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    win::PublishedWindow published(lockName);
    published.Publish(standIn);

    const auto program = copy_.Start();
    ASSERT_TRUE(program->Started());
    EXPECT_EQ(program->WaitForExit(10000), 0u) << "the start did not end with 0: it ran as a first copy";
    // Nothing here has handled messages meanwhile: the request is waiting.
    MSG request{};
    const UINT show = win::ShowMainWindowMessage();
    EXPECT_TRUE(PeekMessageW(&request, standIn, show, show, PM_REMOVE)) << "the stand-in was not asked to show";
    EXPECT_FALSE(RunValue()) << "the start wrote the Run value";

    // /pause reaches the same window and waits for its answer.
    WPARAM asked = 2;
    const SUBCLASSPROC answer = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        if (message != win::PauseHotKeysMessage()) return DefSubclassProc(hwnd, message, wParam, lParam);
        *reinterpret_cast<WPARAM*>(data) = wParam;
        return win::kPauseHotKeysDone;
    };
    SetWindowSubclass(standIn, answer, 1, reinterpret_cast<DWORD_PTR>(&asked));
    const auto pausing = copy_.Start("/pause");
    EXPECT_TRUE(WaitUntil([&] { return !pausing->Running(); }, 10000));
    EXPECT_EQ(pausing->WaitForExit(0), 0u);
    EXPECT_EQ(asked, 1u) << "the stand-in was not asked to pause";
    RemoveWindowSubclass(standIn, answer, 1);
    DestroyWindow(standIn);
}

// With no copy of the folder running, /pause and /resume start nothing: the
// start ends with 1, leaves no process, and writes neither the table nor the
// Run value.
TEST_F(StartAndStop, PauseOrResumeWithNoCopyRunningEndsWithOneAndStartsAndWritesNothing) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunName);
    copy_.WriteFile(kShortcuts, ShortcutsFile(SomeRows()));
    ASSERT_TRUE(testing::SetOldWriteTime(copy_.PathOf(kShortcuts)));
    const ULONGLONG written = testing::WriteTime(copy_.PathOf(kShortcuts));
    for (const char* request : {"/pause", "/RESUME"}) {
        SCOPED_TRACE(request);
        const auto program = copy_.Start(request);
        ASSERT_TRUE(program->Started());
        EXPECT_EQ(program->WaitForExit(10000), 1u);
        EXPECT_FALSE(HasForm(*program));
    }
    EXPECT_EQ(testing::WriteTime(copy_.PathOf(kShortcuts)), written);
    EXPECT_FALSE(RunValue()) << "a start with a switch wrote the Run value";
    EXPECT_EQ(FindWindowA(ids::kForm1Class, nullptr), nullptr) << "no copy was left running";
}

// The icon is there while the program runs, from outside as the shell
// answers for it.
TEST_F(StartAndStop, TheNotificationIconIsThereFromTheStartUpUntilTheWindowCloses) {
    copy_.WriteFile(kShortcuts, ShortcutsFile({}));
    std::printf("NIM_MODIFY before start (no window): %d\n", HasIcon(FindWindowA(ids::kForm1Class, nullptr)));
    const auto program = copy_.Start();
    ASSERT_TRUE(program->WaitForForm());
    const HWND form = program->Form();
    std::printf("NIM_MODIFY after start: %d\n", HasIcon(form));
    EXPECT_TRUE(HasIcon(form));
    program->Close();
    EXPECT_EQ(program->WaitForExit(), 0u);
    std::printf("NIM_MODIFY after close: %d\n", HasIcon(form));
    EXPECT_FALSE(HasIcon(form));
}

// The icon's events delivered as the shell delivers them: its message, with
// the event and the icon's number in lParam and the point in wParam.
class NotifyIconEvents : public ProgramTest {
protected:
    void Send(WORD event) const {
        PostMessageA(program_->Form(), ids::kNotifyIconMessage, MAKEWPARAM(200, 200),
                     MAKELPARAM(event, ids::kNotifyIconId));
    }
    // The icon's menu, open in the program.
    HWND WaitForMenu() const {
        HWND found = nullptr;
        WaitUntil(
            [&] {
                for (HWND hwnd : program_->Windows()) {
                    if (ClassOf(hwnd) == "#32768" && IsWindowVisible(hwnd)) found = hwnd;
                }
                return found != nullptr;
            },
            10000);
        return found;
    }
};

TEST_F(NotifyIconEvents, ASelectShowsTheHiddenWindowAndTheIconComesBackWhenTheTaskbarIsMadeAgain) {
    Start({});
    program_->Click(ids::kCommand1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(program_->Form()); }, 3000));
    ASSERT_TRUE(program_->WaitForIdle());
    Send(NIN_SELECT);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 5000));

    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = program_->Form();
    icon.uID = ids::kNotifyIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    ASSERT_FALSE(HasIcon(program_->Form()));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return HasIcon(program_->Form()); }, 5000));
}

TEST_F(NotifyIconEvents, ExitFromTheIconsMenuSavesTheRowsAndEndsWithZero) {
    Start({{"CTRL", "N", "C:\\a.txt", "1 - Normal", "0"}});
    std::vector<Row> rows = rows_;
    rows[3] = {"DELETE", "M", "D:\\x.txt", "2 - Minimized", "1"};
    EnterRow(*program_, 3, rows[3]);
    Send(WM_CONTEXTMENU);
    HWND menu = WaitForMenu();
    ASSERT_NE(menu, nullptr) << "no menu opened";
    // The item's mnemonic, as a key typed into the open menu.
    PostMessageA(menu, WM_CHAR, 'x', 1);
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
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
        const auto program = copy_.Start();
        ASSERT_TRUE(program->WaitForForm());

        rows[1].path = std::string("C:\\edited by ") + way.what + ".exe";
        rows[2].windowState = "3 - Maximized";
        rows[2].active = "0";
        rows[4] = {"DELETE", "M", "D:\\x.txt", "2 - Minimized", "1"};
        program->SetText(ids::kText2 + 1, rows[1].path);
        program->SetText(ids::kCombo1 + 2, rows[2].windowState);
        program->SetCheck(ids::kCheck1 + 2, 0);
        EnterRow(*program, 4, rows[4]);
        ASSERT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(SomeRows())) << "editing saves nothing by itself";

        PostMessageA(program->Form(), way.message, way.wParam, 0);
        EXPECT_EQ(program->WaitForExit(), 0u);
        EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
        EXPECT_EQ(testing::FileNames(copy_.PathOf("data")), std::vector<std::string>{"shortcuts.ini"})
            << "no temporary file is left behind";
    }
}

// The folder went away with the file, and nothing was edited: nothing is
// lost, so the close says nothing and writes nothing.
TEST_F(StartAndStop, AClosingWithTheDataFolderGoneAndNothingEditedEndsWithZeroAndMakesNothing) {
    copy_.WriteFile(kShortcuts, ShortcutsFile(SomeRows()));
    const auto program = copy_.Start();
    ASSERT_TRUE(program->WaitForForm());
    ASSERT_TRUE(DeleteFileA(copy_.PathOf(kShortcuts).c_str()));
    ASSERT_TRUE(RemoveDirectoryA(copy_.PathOf("data").c_str()));
    program->Close();
    EXPECT_EQ(program->WaitForExit(), 0u);
    EXPECT_FALSE(copy_.Exists("data"));
}

// The table on disk while the program runs: another writer's changes are
// loaded or kept, never written over, and a close that cannot save keeps the
// program and its rows.
class TableOnDisk : public ProgramTest {
protected:
    std::string Table() const { return copy_.PathOf(kShortcuts); }
    std::vector<Row> EditRow3() { return Edit(rows_, 3); }
    // The rows with this one edited in the window.
    std::vector<Row> Edit(std::vector<Row> rows, int index) {
        rows[index] = {"DELETE", std::string(1, static_cast<char>('K' + index)), "D:\\x.txt", "2 - Minimized", "1"};
        EnterRow(*program_, index, rows[index]);
        return rows;
    }
    std::string Other() const { return ShortcutsFile({{"INSERT", "Z", "C:\\other.txt", "1 - Normal", "0"}}); }
};

TEST_F(TableOnDisk, AChangeWhileHiddenIsLoadedWithItsKeysAndTheCloseLeavesTheFileAsWritten) {
    const std::string probe = copy_.AddProbe();
    Start({{"CTRL", "N", probe, "1 - Normal", "1"}});
    program_->Click(ids::kCommand1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(program_->Form()); }, 3000));
    ASSERT_TRUE(program_->WaitForIdle());
    std::printf("row 0 before: %s + %s\n", program_->Text(ids::kText1).c_str(), program_->Text(ids::kText3).c_str());

    std::vector<Row> rows = TenRows({{"CTRL", "B", probe, "1 - Normal", "1"}});
    copy_.WriteFile(kShortcuts, ShortcutsFile(rows));
    EXPECT_TRUE(WaitUntil([&] { return program_->Text(ids::kText3) == "B"; }, 2000)) << "not loaded within 2 s";
    std::printf("row 0 after: %s + %s\n", program_->Text(ids::kText1).c_str(), program_->Text(ids::kText3).c_str());
    HoldKeys({VK_CONTROL, 'N'}, 300);
    EXPECT_TRUE(SettledStarts().empty()) << "the old keys still launch";
    HoldKeys({VK_CONTROL, 'B'}, 300);
    EXPECT_TRUE(WaitUntil([&] { return !ProbeStarts(copy_).empty(); }, 5000)) << "the new keys launch nothing";

    // An editor's save: a new file renamed over the old one.
    rows[0].letter = "M";
    copy_.WriteFile("data\\shortcuts.new", ShortcutsFile(rows));
    ASSERT_TRUE(MoveFileExA(copy_.PathOf("data\\shortcuts.new").c_str(), Table().c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(WaitUntil([&] { return program_->Text(ids::kText3) == "M"; }, 2000)) << "not loaded within 2 s";

    // A restore or a sync tool puts another data folder where the watched
    // one was; the old watch follows the folder it was made on.
    ASSERT_TRUE(copy_.Rename("data", "data before"));
    ASSERT_TRUE(CreateDirectoryA(copy_.PathOf("data").c_str(), nullptr));
    rows[0].letter = "Q";
    copy_.WriteFile(kShortcuts, ShortcutsFile(rows));
    EXPECT_TRUE(WaitUntil([&] { return program_->Text(ids::kText3) == "Q"; }, 8000)) << "the new folder's table";
    rows[0].letter = "R";
    copy_.WriteFile(kShortcuts, ShortcutsFile(rows));
    EXPECT_TRUE(WaitUntil([&] { return program_->Text(ids::kText3) == "R"; }, 6000)) << "a write in the new folder";

    ASSERT_TRUE(testing::SetOldWriteTime(Table()));
    const ULONGLONG written = testing::WriteTime(Table());
    program_->Close();
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
    EXPECT_EQ(testing::WriteTime(Table()), written) << "the close wrote the file";
    std::string shown;
    for (char c : testing::FirstLines(copy_.ReadFile(kShortcuts), 5)) shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    std::printf("file after the close, first row: %s\n", shown.c_str());
}

TEST_F(TableOnDisk, ABadTableOnDiskChangesNoRowNorKeyShowsNoBoxAndIsLeftAsItIs) {
    const std::string probe = copy_.AddProbe();
    Start({{"CTRL", "N", probe, "1 - Normal", "1"}});
    const std::string bad = testing::FirstLines(ShortcutsFile({{"CTRL", "B", probe, "1 - Normal", "1"}}), 49);
    copy_.WriteFile(kShortcuts, bad);
    Wait(1500);
    EXPECT_TRUE(DialogsOf(*program_).empty()) << "a modal box";
    EXPECT_EQ(program_->Text(ids::kText3), "N");
    program_->Close();
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), bad);
}

TEST_F(TableOnDisk, AChangeUnderATargetDialogIsLoadedOnlyOnceTheDialogCloses) {
    Start({{"CTRL", "N", "C:\\a.txt", "1 - Normal", "0"}});
    PostKey(program_->Control(ids::kText2), VK_F4);
    HWND dialog = WaitForDialog(*program_);
    ASSERT_NE(dialog, nullptr) << "no target dialog";
    copy_.WriteFile(kShortcuts, Other());
    Wait(1500);
    EXPECT_EQ(program_->Text(ids::kText2), "C:\\a.txt") << "loaded under the dialog";
    PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return program_->Text(ids::kText2) == "C:\\other.txt"; }, 3000)) << "not loaded after it";
    program_->Close();
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), Other());
}

TEST_F(TableOnDisk, AnEditAndAChangeOnDiskAreBothKeptAndTheCloseNamesTheCopy) {
    Start({{"CTRL", "N", "C:\\a.txt", "1 - Normal", "0"}});
    const std::vector<Row> rows = EditRow3();
    const std::string other = ShortcutsFile({{"INSERT", "Z", "C:\\other.txt", "1 - Normal", "0"}});
    copy_.WriteFile(kShortcuts, other);
    Wait(1500);
    EXPECT_EQ(program_->Text(ids::kText2 + 3), rows[3].path) << "the edit was thrown away";
    program_->Close();
    HWND box = WaitForDialog(*program_, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no box names the copy";
    const std::vector<std::string> names = testing::FileNames(copy_.PathOf("data"));
    ASSERT_EQ(names.size(), 2u);  // the dated copy sorts before shortcuts.ini
    std::printf("%s\n", MessageBoxText(box).c_str());
    EXPECT_TRUE(Includes(MessageBoxText(box), copy_.PathOf("data\\" + names[0])));
    EXPECT_EQ(copy_.ReadFile("data\\" + names[0]), other);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
    PressButton(box, IDOK);
    EXPECT_EQ(program_->WaitForExit(), 0u);
}

TEST_F(TableOnDisk, AReadOnlyTableClosesQuietlyUnlessEditedThenCancelKeepsAllTryAgainSavesContinueKeepsACopy) {
    Start({{"CTRL", "N", "C:\\a.txt", "1 - Normal", "0"}});
    ASSERT_TRUE(SetFileAttributesA(Table().c_str(), FILE_ATTRIBUTE_READONLY));
    program_->Close();
    EXPECT_EQ(program_->WaitForExit(), 0u) << "nothing to save, yet the close did not end";

    StartAgain();
    std::vector<Row> rows = EditRow3();
    program_->Close();
    HWND box = WaitForDialog(*program_, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no Try Again/Cancel/Continue box";
    EXPECT_TRUE(IsErrorNaming(MessageBoxText(box), {Table(), "dated copy in " + copy_.PathOf("data")}));
    for (int button : {IDTRYAGAIN, IDCANCEL, IDCONTINUE}) EXPECT_NE(GetDlgItem(box, button), nullptr) << button;
    PressButton(box, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(box));
    EXPECT_TRUE(program_->Running());
    EXPECT_EQ(program_->Text(ids::kText2 + 3), rows[3].path);

    program_->Close();
    box = WaitForDialog(*program_, ids::kProductName);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(SetFileAttributesA(Table().c_str(), FILE_ATTRIBUTE_NORMAL));
    PressButton(box, IDTRYAGAIN);
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));

    // A save that crashed left its temporary file; the next start removes it.
    copy_.WriteFile("data\\shortcuts.ini.4242-7.tmp", "half a save");
    StartAgain();
    const std::vector<Row> edited = Edit(rows, 4);
    ASSERT_TRUE(SetFileAttributesA(Table().c_str(), FILE_ATTRIBUTE_READONLY));
    program_->Close();
    box = WaitForDialog(*program_, ids::kProductName);
    ASSERT_NE(box, nullptr);
    PressButton(box, IDCONTINUE);
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows)) << "the table changed";
    const std::vector<std::string> names = testing::FileNames(copy_.PathOf("data"));
    ASSERT_EQ(names.size(), 3u) << "one dated copy, the note and the table, nothing temporary: " << names[0] << " " << names[1] << " " << names[2] << " " << names.back();
    EXPECT_EQ(names[0], "last-session.txt");
    EXPECT_EQ(copy_.ReadFile("data\\" + names[1]), ShortcutsFile(edited));
    SetFileAttributesA(Table().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(TableOnDisk, AFileHeldOpenForASecondDuringACloseIsSavedWithoutAnError) {
    // The other machine's version arrives through a sync client that holds
    // it with no sharing at all for a second, as the user closes.
    Start({});
    std::vector<Row> rows = EditRow3();
    copy_.WriteFile(kShortcuts, Other());
    HANDLE locked = CreateFileA(Table().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    program_->Close();
    Wait(1000);
    CloseHandle(locked);
    HWND box = WaitForDialog(*program_, ids::kProductName);
    ASSERT_NE(box, nullptr) << "no box names the copy";
    const std::vector<std::string> names = testing::FileNames(copy_.PathOf("data"));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(copy_.ReadFile("data\\" + names[0]), Other());
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
    PressButton(box, IDOK);
    EXPECT_EQ(program_->WaitForExit(), 0u);

    // As a virus scanner opens it: without FILE_SHARE_DELETE.
    StartAgain();
    rows = Edit(rows, 4);
    HANDLE held = CreateFileA(Table().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    program_->Close();
    Wait(1000);
    CloseHandle(held);
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
}

TEST_F(TableOnDisk, RestartManagerEndsTheProgramWithZeroAfterSavingTheEditAndTheIconGoes) {
    Start({});
    const std::vector<Row> rows = EditRow3();
    const HWND form = program_->Form();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(form, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 5000, &answer);
    EXPECT_NE(answer, 0u);
    SendMessageTimeoutA(form, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 5000, &answer);
    EXPECT_EQ(program_->WaitForExit(5000), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows));
    EXPECT_FALSE(HasIcon(form));
}

}  // namespace
}  // namespace brimlow::e2e
