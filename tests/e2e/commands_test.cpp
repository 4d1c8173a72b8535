// The menu and toolbar commands of the real program, driven from this
// process through the real dialogs: the platform's file dialogs, the
// confirmation before Open, the error box, the About box. Commands are posted
// the way a click on a menu item or toolbar button arrives.
#include <gtest/gtest.h>

#include "control_ids.h"
#include "driver.h"
#include "program_windows.h"

namespace brimlow::e2e {
namespace {

constexpr const char* kShortcuts = "data\\shortcuts.ini";
constexpr const char* kConfirmText = "Loading this file will replace your old config file!Are you shure?";

constexpr int kOpenItem = ids::MenuCommand(ids::kMenuOpen);
constexpr int kSaveItem = ids::MenuCommand(ids::kMenuSave);
constexpr int kContextItem = ids::MenuCommand(ids::kMenuContext);
constexpr int kAboutItem = ids::MenuCommand(ids::kMenuAbout);
constexpr int kHideItem = ids::MenuCommand(ids::kMenuHideWindow);
constexpr int kOpenButton = ids::ToolbarCommand(ids::kButtonOpen);
constexpr int kSaveButton = ids::ToolbarCommand(ids::kButtonSave);
constexpr int kContextButton = ids::ToolbarCommand(ids::kButtonHelp);

// The file name box of the platform's file dialog: Wine and the explorer
// style put an edit inside combo box cmb13; older templates use edt1.
HWND FileNameBox(HWND dialog) {
    for (HWND child : ChildrenOf(dialog)) {
        if (ClassOf(child) == "Edit" && (GetDlgCtrlID(child) == 0x47C || GetDlgCtrlID(child) == 0x480)) return child;
    }
    return nullptr;
}

class Commands : public ProgramTest {
protected:
    void SetUp() override { probe_ = copy_.AddProbe(); }

    // A click on a menu item or a toolbar button, posted: the dialog it
    // opens holds the program's thread until the test answers it.
    void Post(int id) const { PostMessageA(program_->Form(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    HWND WaitForFileDialog() const {
        HWND found = nullptr;
        WaitUntil(
            [&] {
                for (HWND dialog : DialogsOf(*program_)) {
                    if (FileNameBox(dialog) != nullptr) found = dialog;
                }
                return found != nullptr;
            },
            10000);
        return found;
    }

    // Types the name into the file dialog and presses its OK button.
    ::testing::AssertionResult ChooseFile(HWND dialog, const std::string& name) const {
        HWND box = FileNameBox(dialog);
        if (box == nullptr) return ::testing::AssertionFailure() << "no file name box";
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(testing::Wide(name).c_str()));
        PressButton(dialog, IDOK);
        if (!WaitUntilGone(dialog)) return ::testing::AssertionFailure() << "the file dialog stayed open";
        return ::testing::AssertionSuccess();
    }

    // The file dialog a command opens, answered with this name.
    ::testing::AssertionResult ChooseThrough(int command, const std::string& name) const {
        Post(command);
        HWND dialog = WaitForFileDialog();
        if (dialog == nullptr) return ::testing::AssertionFailure() << "no file dialog";
        return ChooseFile(dialog, name);
    }

    // Open from the menu, the file chosen in the real dialog: the
    // confirmation box that follows, or nullptr (with the failure recorded).
    HWND OpenUntilConfirmation(const std::string& file) const {
        if (const auto chosen = ChooseThrough(kOpenItem, file); !chosen) {
            ADD_FAILURE() << chosen.message();
            return nullptr;
        }
        HWND confirm = WaitForDialog(*program_, "Confirm!");
        if (confirm == nullptr) ADD_FAILURE() << "no confirmation";
        return confirm;
    }

    // The rows as the window shows them.
    std::vector<Row> RowsShown() const {
        std::vector<Row> rows;
        for (int i = 0; i < 10; ++i) {
            rows.push_back({program_->Text(ids::kText1 + i), program_->Text(ids::kText3 + i),
                            program_->Text(ids::kText2 + i), program_->Text(ids::kCombo1 + i),
                            std::to_string(program_->Check(ids::kCheck1 + i))});
        }
        return rows;
    }

    // The program is running, idle, shows no dialog, and its rows and its
    // shortcuts file are what they were at the start.
    void ExpectNothingChanged() const {
        ASSERT_TRUE(program_->Running());
        ASSERT_TRUE(program_->WaitForIdle());
        EXPECT_TRUE(DialogsOf(*program_).empty());
        EXPECT_TRUE(IsWindowEnabled(program_->Form()));
        EXPECT_EQ(ShortcutsFile(RowsShown()), ShortcutsFile(rows_));
        EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows_));
    }

    // The error box a failed command shows, naming these; answered with OK,
    // after which nothing has changed.
    void ExpectErrorNamingThenNothingChanged(const std::vector<std::string>& named) const {
        HWND box = WaitForDialog(*program_, ids::kProductName);
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_TRUE(IsErrorNaming(MessageBoxText(box), named));
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitUntilGone(box));
        ExpectNothingChanged();
    }

    std::string probe_;
};

// ---- Open ----

TEST_F(Commands, OpenOfAGoodFileReplacesTheShortcutsFileAndTheRowsAndItsHotKeysWorkAtOnce) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    std::vector<Row> chosen = {{"CTRL", "K", probe_, "2 - Minimized", "1"}};
    for (int i = 1; i < 10; ++i) {
        chosen.push_back({"PAGE DOWN", std::string(1, static_cast<char>('A' + i)),
                          "C:\\targets\\target " + std::to_string(i) + ".txt", "3 - Maximized", "2"});
    }
    // Lines after the fiftieth are not rows, but Open copies the file whole.
    const std::string chosenFile = ShortcutsFile(chosen) + "a note after the rows\r\n" + std::string(5000, 'x');
    copy_.WriteFile("other rows.ini", chosenFile);

    HWND confirm = OpenUntilConfirmation(copy_.PathOf("other rows.ini"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxText(confirm), kConfirmText);
    EXPECT_EQ(SendMessageA(GetDlgItem(confirm, 0x440), STM_GETICON, 0, 0), 0) << "the confirmation shows no icon";
    ASSERT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(rows_)) << "nothing is copied before the answer";
    // Another version arrives while the confirmation waits: it is neither
    // loaded under the box nor lost to the Open.
    const std::string other = ShortcutsFile({{"INSERT", "Z", "C:\\other.txt", "1 - Normal", "0"}});
    copy_.WriteFile(kShortcuts, other);
    Wait(1500);
    EXPECT_EQ(ShortcutsFile(RowsShown()), ShortcutsFile(rows_)) << "loaded under the confirmation";
    PressButton(confirm, IDYES);
    ASSERT_TRUE(WaitUntilGone(confirm));
    ASSERT_TRUE(program_->WaitForIdle());

    EXPECT_TRUE(DialogsOf(*program_).empty()) << "no error";
    EXPECT_TRUE(copy_.ReadFile(kShortcuts) == chosenFile) << "the copy is not the chosen file byte for byte";
    EXPECT_EQ(ShortcutsFile(RowsShown()), ShortcutsFile(chosen));
    const std::vector<std::string> names = testing::FileNames(copy_.PathOf("data"));
    ASSERT_EQ(names.size(), 2u) << "no dated copy of the other version";
    EXPECT_EQ(copy_.ReadFile("data\\" + names[0]), other);

    // The old keys are gone and the new ones work without a restart.
    HoldKeys({VK_CONTROL, 'N'}, 300);
    EXPECT_TRUE(SettledStarts().empty());
    HoldKeys({VK_CONTROL, 'K'}, 300);
    const auto starts = SettledStarts();
    ASSERT_FALSE(starts.empty());
    for (const auto& start : starts) EXPECT_EQ(start.show, SW_SHOWMINIMIZED);
}

// A file that would not load is refused before anything is copied, so the
// shortcuts file, which the next start reads, stays good. Enter answers the
// confirmation with Yes, its default button.
TEST_F(Commands, OpenOfAFileThatWouldNotLoadIsRefusedByNameAndChangesNothing) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}, {"INSERT", "B", "C:\\b.txt", "3 - Maximized", "0"}});
    const std::string good = ShortcutsFile(TenRows({{"CTRL", "K", probe_, "1 - Normal", "1"}}));
    copy_.WriteFile("forty-nine lines.ini", good.substr(0, good.size() - 3));
    std::string badState = good;
    badState.replace(badState.rfind("0\r\n"), 1, "on");
    copy_.WriteFile("bad state.ini", badState);

    const struct {
        std::string file;
        std::vector<std::string> named;
    } cases[] = {
        {copy_.PathOf("forty-nine lines.ini"), {"forty-nine lines.ini", "line 50"}},
        {copy_.PathOf("bad state.ini"), {"bad state.ini", "line 50"}},
        {copy_.PathOf(kShortcuts), {"shortcuts.ini"}},
        {copy_.PathOf("missing.ini"), {"missing.ini"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        HWND confirm = OpenUntilConfirmation(c.file);
        ASSERT_NE(confirm, nullptr);
        HWND focus = FocusIn(confirm);
        EXPECT_EQ(focus, GetDlgItem(confirm, IDYES));
        PostKey(focus, VK_RETURN);

        ASSERT_NO_FATAL_FAILURE(ExpectErrorNamingThenNothingChanged(c.named));
    }
}

TEST_F(Commands, OpenAnsweredNoOrWithItsDialogCancelledChangesNothingFromTheMenuOrTheToolbar) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    copy_.WriteFile("other rows.ini", ShortcutsFile({{"CTRL", "K", probe_, "1 - Normal", "1"}}));

    // A good file, answered No.
    HWND confirm = OpenUntilConfirmation(copy_.PathOf("other rows.ini"));
    ASSERT_NE(confirm, nullptr);
    PressButton(confirm, IDNO);
    ASSERT_TRUE(WaitUntilGone(confirm));
    ExpectNothingChanged();

    // The toolbar's Open button, its dialog cancelled: the question still
    // comes, and even Yes then loads nothing.
    Post(kOpenButton);
    HWND dialog = WaitForFileDialog();
    ASSERT_NE(dialog, nullptr) << "the Open button shows no dialog";
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(dialog));
    confirm = WaitForDialog(*program_, "Confirm!");
    ASSERT_NE(confirm, nullptr) << "no confirmation";
    PressButton(confirm, IDYES);
    ASSERT_TRUE(WaitUntilGone(confirm));
    ExpectNothingChanged();
}

// ---- Save ----

TEST_F(Commands, SaveWritesTheRowsAsTheyStandToExactlyTheTypedNameAndTheShortcutsFileWaitsForClose) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}, {"INSERT", "B", "C:\\b.txt", "3 - Maximized", "0"}});
    const std::string original = ShortcutsFile(rows_);
    std::vector<Row> edited = rows_;
    edited[1].path = "C:\\edited\\b.txt";
    edited[2].active = "1";
    program_->SetText(ids::kText2 + 1, edited[1].path);
    program_->SetCheck(ids::kCheck1 + 2, 1);

    // From the menu, a name without extension: written as typed.
    ASSERT_TRUE(ChooseThrough(kSaveItem, copy_.PathOf("saved rows")));
    ASSERT_TRUE(program_->WaitForIdle());
    EXPECT_TRUE(DialogsOf(*program_).empty()) << "no error, no question";
    EXPECT_EQ(copy_.ReadFile("saved rows"), ShortcutsFile(edited));
    EXPECT_FALSE(copy_.Exists("saved rows.ini"));
    EXPECT_EQ(copy_.ReadFile(kShortcuts), original);

    // From the toolbar, onto the same file: replaced without a question.
    edited[3] = {"DELETE", "X", "C:\\x.exe", "2 - Minimized", "2"};
    EnterRow(*program_, 3, edited[3]);
    ASSERT_TRUE(ChooseThrough(kSaveButton, copy_.PathOf("saved rows"))) << "from the Save button";
    ASSERT_TRUE(program_->WaitForIdle());
    EXPECT_TRUE(DialogsOf(*program_).empty()) << "no error, no question";
    EXPECT_EQ(copy_.ReadFile("saved rows"), ShortcutsFile(edited));
    EXPECT_EQ(copy_.ReadFile(kShortcuts), original);

    program_->Close();
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(edited));
}

// A configuration file named outside code page 1252, in a folder whose
// path takes more bytes of UTF-8 than the dialog's old 260-byte names held:
// Save writes it, and Open reads it back.
TEST_F(Commands, SaveAndOpenTakeAFileNamedInAnyScriptInADeepFolder) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    std::string cjk;
    for (int i = 0; i < 20; ++i) cjk += "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
    ASSERT_TRUE(CreateDirectoryA(copy_.PathOf(cjk).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(copy_.PathOf(cjk + "\\" + cjk).c_str(), nullptr));
    const std::string file = copy_.PathOf(cjk + "\\" + cjk + "\\\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB8.ini");  // Ключи.ini
    ASSERT_GT(file.size(), 400u);
    std::vector<Row> edited = rows_;
    edited[1] = {"INSERT", "B", copy_.Folder() + "\\" + kAnyScriptName + ".txt", "1 - Normal", "0"};
    EnterRow(*program_, 1, edited[1]);

    ASSERT_TRUE(ChooseThrough(kSaveItem, file));
    ASSERT_TRUE(program_->WaitForIdle());
    EXPECT_TRUE(DialogsOf(*program_).empty()) << "no error, no question";
    EXPECT_EQ(testing::ReadBytes(file), ShortcutsFile(edited));

    EnterRow(*program_, 1, rows_[1]);
    HWND confirm = OpenUntilConfirmation(file);
    ASSERT_NE(confirm, nullptr);
    PressButton(confirm, IDYES);
    ASSERT_TRUE(WaitUntilGone(confirm));
    ASSERT_TRUE(program_->WaitForIdle());
    EXPECT_TRUE(DialogsOf(*program_).empty()) << "no error";
    EXPECT_EQ(ShortcutsFile(RowsShown()), ShortcutsFile(edited));
    EXPECT_EQ(copy_.ReadFile(kShortcuts), ShortcutsFile(edited));
}

TEST_F(Commands, SaveIntoAFolderThatDoesNotExistIsReportedAndTheProgramGoesOn) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "1"}});
    const std::string target = copy_.PathOf("no such folder\\rows.ini");
    ASSERT_TRUE(ChooseThrough(kSaveItem, target));

    ASSERT_NO_FATAL_FAILURE(ExpectErrorNamingThenNothingChanged({target}));
    EXPECT_FALSE(copy_.Exists("no such folder"));
}

// ---- Context ----

// The help file opens with whatever the system associates with ".txt"; for
// the test that is the probe, registered machine-wide in the private prefix
// and put back afterwards.
class Context : public Commands {
protected:
    static constexpr const char* kTxtKey = "Software\\Classes\\.txt";
    static constexpr const char* kClassKey = "Software\\Classes\\BrimlowE2E.helptext";

    void SetUp() override {
        Commands::SetUp();
        ASSERT_TRUE(WriteStringValue(HKEY_LOCAL_MACHINE, kTxtKey, "", "BrimlowE2E.helptext"));
        ASSERT_TRUE(WriteStringValue(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\shell\\open\\command", "",
                                     "\"" + probe_ + "\" \"%1\""));
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kClassKey);
        Commands::TearDown();
    }

    size_t WaitForStarts(size_t count) const {
        WaitUntil([&] { return ProbeStarts(copy_).size() >= count; }, 10000);
        return SettledStarts().size();
    }

    RestoreValue txtClass_{HKEY_LOCAL_MACHINE, kTxtKey, ""};
};

TEST_F(Context, ContextFromTheMenuOrTheToolbarOpensTheHelpFileInANormalWindow) {
    ASSERT_TRUE(copy_.Exists("help.txt"));
    Start({});
    Post(kContextItem);
    ASSERT_EQ(WaitForStarts(1), 1u);
    Post(kContextButton);
    ASSERT_EQ(WaitForStarts(2), 2u);
    for (const auto& start : ProbeStarts(copy_)) {
        EXPECT_TRUE(Includes(start.args, copy_.PathOf("help.txt")));
        EXPECT_EQ(start.show, SW_SHOWNORMAL);
    }
    ExpectNothingChanged();
}

TEST_F(Context, WithoutTheLauncherContextIsReportedAndWorksOnceTheLauncherIsBack) {
    ASSERT_TRUE(copy_.Rename("Ostrad.dll", "Ostrad.away"));
    Start({});
    Post(kContextItem);
    ASSERT_NO_FATAL_FAILURE(ExpectErrorNamingThenNothingChanged({"Ostrad.dll"}));
    EXPECT_TRUE(ProbeStarts(copy_).empty());

    ASSERT_TRUE(copy_.Rename("Ostrad.away", "Ostrad.dll"));
    Post(kContextItem);
    EXPECT_EQ(WaitForStarts(1), 1u) << "the next Context binds the launcher without a restart";
    ExpectNothingChanged();
}

// ---- About ----

TEST_F(Commands, AboutShowsTitleAndVersionHoldsTheMainWindowAndClosesOnEnterEscapeOrItsCloseBox) {
    Start({});
    const struct {
        const char* how;
        void (*close)(HWND about);
    } ways[] = {
        {"Enter", [](HWND about) { PostKey(FocusIn(about), VK_RETURN); }},
        {"Escape", [](HWND about) { PostKey(FocusIn(about), VK_ESCAPE); }},
        {"close box", [](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        Post(kAboutItem);
        HWND about = WaitForDialog(*program_, "About Brimlow");
        ASSERT_NE(about, nullptr) << "no About box";
        EXPECT_EQ(GetWindow(about, GW_OWNER), program_->Form());
        EXPECT_FALSE(IsWindowEnabled(program_->Form())) << "the main window takes no input meanwhile";
        EXPECT_EQ(TextOf(GetDlgItem(about, ids::kAboutTitle)), ids::kProductName);
        EXPECT_EQ(TextOf(GetDlgItem(about, ids::kAboutVersion)), "Version 3.25");
        EXPECT_FALSE(TextOf(GetDlgItem(about, ids::kAboutLabel1)).empty());
        EXPECT_EQ(FocusIn(about), GetDlgItem(about, IDOK));

        way.close(about);
        ASSERT_TRUE(WaitUntilGone(about));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program_->Form()) != FALSE; }, 3000));
        ExpectNothingChanged();
    }
}

// ---- Hide ----

TEST_F(Commands, HideFromTheMenuOrTheButtonHidesTheWindowAndCtrlAltF1BringsItBackWithItsRows) {
    Start({{"CTRL", "N", probe_, "1 - Normal", "0"}, {"INSERT", "B", "C:\\b.txt", "3 - Maximized", "2"}});
    for (int id : {kHideItem, ids::kCommand1}) {
        SCOPED_TRACE(id);
        if (id == ids::kCommand1) {
            program_->Click(ids::kCommand1);
        } else {
            Post(id);
        }
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(program_->Form()); }, 3000));
        ASSERT_TRUE(program_->WaitForIdle());
        EXPECT_TRUE(program_->Running());
        HoldKeys({VK_CONTROL, VK_MENU, VK_F1}, 300);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(program_->Form()) != FALSE; }, 3000));
        ExpectNothingChanged();
    }
}

}  // namespace
}  // namespace brimlow::e2e
