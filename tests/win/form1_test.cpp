// The real main window hosted in this process: its frame, its rows of real
// controls, its menu, its layout at two DPIs, the key-entry handlers as the
// real EDIT controls run them, loading through the controls, and the target
// dialog driven from a second thread while the window waits in it.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shellapi.h>
// The ids of MinGW's oleacc library are not the ones Wine's oleacc answers to.
#include <initguid.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "control_ids.h"
#include "form1.h"
#include "gui.h"
#include "paths.h"
#include "resource_ids.h"
#include "shortcuts_file.h"
#include "support/checks.h"
#include "support/key_log_window.h"
#include "support/keyboard.h"
#include "support/messages.h"
#include "support/notify_icon.h"
#include "support/rows_file.h"
#include "support/system_colours.h"
#include "support/test_files.h"
#include "support/window_text.h"

namespace {

using brimlow::Box;
using brimlow::Form1;
using brimlow::kRowCount;
using brimlow::testing::FirstLines;
using brimlow::testing::Includes;
using brimlow::testing::KeyDown;
using brimlow::testing::KeyUp;
using brimlow::testing::PumpMessages;
using brimlow::testing::ShortcutsFile;
using brimlow::testing::WindowText;

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(brimlow::testing::WriteBytes(path, bytes)) << path;
}

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryA((folder_ + "\\data").c_str(), nullptr));
        ASSERT_TRUE(CopyFileA((brimlow::win::ModuleFolder() + "\\Ostrad.dll").c_str(), (folder_ + "\\Ostrad.dll").c_str(),
                              FALSE));
        form_ = std::make_unique<Form1>(GetModuleHandleA(nullptr), folder_);
        ASSERT_FALSE(form_->Create().has_value());
        ASSERT_NE(form_->Hwnd(), nullptr);
    }
    void TearDown() override {
        form_.reset();
        PumpMessages();
    }

    // Writes the program's shortcuts file and runs the start-up on it.
    void Load(const std::string& bytes) {
        WriteFileBytes(form_->ShortcutsPath(), bytes);
        const brimlow::Status failed = form_->Form_Load();
        ASSERT_FALSE(failed.has_value()) << failed->description;
        PumpMessages();
    }

    HWND Control(brimlow::Box box, int row) const { return form_->Rows().Control(box, row); }
    std::string Text(brimlow::Box box, int row) const { return form_->Rows().Text(box, row); }
    int First(int row) const { return form_->Codes().first[static_cast<size_t>(row)]; }
    int Second(int row) const { return form_->Codes().second[static_cast<size_t>(row)]; }

    // A key going down in a first-key box as the message loop delivers it:
    // the key-down, then the character it types, if any.
    void PressInFirstKeyBox(int row, WORD key, char typed = 0) {
        HWND box = Control(Box::FirstKey, row);
        SendMessageA(box, WM_KEYDOWN, key, 1);
        if (typed != 0) SendMessageA(box, WM_CHAR, static_cast<WPARAM>(typed), 1);
        SendMessageA(box, WM_KEYUP, key, 0xC0000001);
        PumpMessages();
    }

    // A key as the program's message loop hands it on to the focused
    // control: through dialog navigation, which moves the focus on Tab.
    void PressThroughTheLoop(UINT message, WPARAM key, LPARAM flags) {
        MSG msg{GetFocus(), message, key, flags, static_cast<DWORD>(GetMessageTime()), {}};
        if (!IsDialogMessageA(form_->Hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        PumpMessages();
    }

    // The control with the focus; for a combo box, the box and not the edit
    // inside it.
    int FocusedId() const {
        HWND focus = GetFocus();
        if (focus != nullptr && GetParent(focus) != form_->Hwnd()) focus = GetParent(focus);
        return GetDlgCtrlID(focus);
    }

    SIZE ClientSize() const {
        RECT r{};
        GetClientRect(form_->Hwnd(), &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }

    // The toolbar across the top of the client area, 435 twips high, with
    // standard images of imageSize pixels, which the Open and Save menu
    // pictures show whole at the DPI's small-icon size; row 0's "+" in bold
    // MS Sans Serif of plusHeight, fitting its box.
    void ExpectToolbarAndPlusAt(int dpi, int imageSize, LONG plusHeight) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        HWND toolbar = form_->Toolbar();
        const RECT bar = ChildRect(toolbar);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.top, 0);
        EXPECT_EQ(bar.right, ClientSize().cx);
        EXPECT_NEAR(bar.bottom - bar.top, 435.0 * dpi / 1440.0, 1.0);
        int imageWidth = 0;
        int imageHeight = 0;
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)), &imageWidth,
                              &imageHeight);
        EXPECT_EQ(imageWidth, imageSize);
        EXPECT_EQ(imageHeight, imageSize);

        const int iconSize = GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi));
        EXPECT_LE(imageSize, iconSize) << "the menu pictures would crop the image";
        for (int item : {brimlow::ids::kMenuOpen, brimlow::ids::kMenuSave}) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_BITMAP;
            ASSERT_TRUE(GetMenuItemInfoA(GetMenu(form_->Hwnd()), static_cast<UINT>(brimlow::ids::MenuCommand(item)), FALSE,
                                         &info));
            BITMAP picture{};
            ASSERT_NE(GetObjectA(info.hbmpItem, sizeof picture, &picture), 0) << "menu item " << item;
            EXPECT_EQ(picture.bmWidth, iconSize);
            EXPECT_EQ(picture.bmHeight, iconSize);
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, info.hbmpItem);
            int drawn = 0;
            for (int y = 0; y < iconSize; ++y) {
                for (int x = 0; x < iconSize; ++x) drawn += GetPixel(dc, x, y) != GetSysColor(COLOR_MENU);
            }
            SelectObject(dc, old);
            DeleteDC(dc);
            EXPECT_GT(drawn, iconSize * iconSize / 8) << "menu item " << item << " shows no image";
        }

        HWND plus = GetDlgItem(form_->Hwnd(), brimlow::ids::kLabel1);
        auto font = reinterpret_cast<HFONT>(SendMessageA(plus, WM_GETFONT, 0, 0));
        LOGFONTA described{};
        ASSERT_NE(GetObjectA(font, sizeof described, &described), 0);
        EXPECT_STREQ(described.lfFaceName, "MS Sans Serif");
        EXPECT_EQ(described.lfHeight, plusHeight);
        EXPECT_EQ(described.lfWeight, FW_BOLD);
        RECT box{};
        GetClientRect(plus, &box);
        HDC dc = GetDC(plus);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE extent{};
        GetTextExtentPoint32A(dc, "+", 1, &extent);
        SelectObject(dc, old);
        ReleaseDC(plus, dc);
        EXPECT_LE(extent.cx, box.right) << "the + is wider than its box";
        EXPECT_LE(extent.cy, box.bottom) << "the + is taller than its box";
    }

    brimlow::testing::TempFolder temp_{"form1"};
    const std::string folder_ = temp_.Path();
    std::unique_ptr<Form1> form_;
};

TEST_F(Form1Test, IsAFixedOwnedDialogFrameTitledForm1WithoutATaskbarButton) {
    HWND hwnd = form_->Hwnd();
    EXPECT_EQ(WindowText(hwnd), brimlow::ids::kForm1Title);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    EXPECT_NE(style & WS_SYSMENU, 0) << "a close box";
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << "no minimize, maximize or sizing";
    EXPECT_NE(GetWindow(hwnd, GW_OWNER), nullptr) << "an owned window gets no taskbar button";
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "shown only after the start-up";
}

TEST_F(Form1Test, BeforeAnyLoadEveryRowHoldsTheInitialValuesAndTheCodeTablesAreZero) {
    for (int row = 0; row < kRowCount; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        EXPECT_EQ(Text(Box::FirstKey, row), brimlow::kInitialFirstKey);
        EXPECT_EQ(Text(Box::Letter, row), brimlow::kInitialLetter);
        EXPECT_EQ(Text(Box::Path, row), brimlow::kInitialPath);
        EXPECT_EQ(Text(Box::WindowState, row), brimlow::kInitialWindowState);
        EXPECT_EQ(form_->Rows().Active(row), BST_CHECKED);
        HWND combo = Control(Box::WindowState, row);
        ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
        const char* items[] = {"1 - Normal", "2 - Minimized", "3 - Maximized"};
        for (int i = 0; i < 3; ++i) {
            char item[64] = {};
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            EXPECT_STREQ(item, items[i]);
        }
    }
    for (int i = 0; i < brimlow::kCodeTableSize; ++i) {
        EXPECT_EQ(form_->Codes().first[static_cast<size_t>(i)], 0) << i;
        EXPECT_EQ(form_->Codes().second[static_cast<size_t>(i)], 0) << i;
    }
    form_->ResolveKeyCodes();
    EXPECT_EQ(First(0), VK_CONTROL);
    EXPECT_EQ(Second(9), 'N');
    EXPECT_EQ(form_->Codes().first[10], 0) << "entry 10 belongs to no row";
    EXPECT_EQ(form_->Codes().second[10], 0);
}

TEST_F(Form1Test, MenuBarHasFileHelpAndHideWindowWithTenItemsInAll) {
    Load(ShortcutsFile({}));
    HMENU bar = GetMenu(form_->Hwnd());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    int all = GetMenuItemCount(bar);
    std::vector<int> perList;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        HMENU list = GetSubMenu(bar, i);
        perList.push_back(list != nullptr ? GetMenuItemCount(list) : 0);
        all += perList.back();
    }
    EXPECT_EQ(perList, (std::vector<int>{4, 3, 0})) << "Open, Save, separator, Exit; Context, separator, About";
    EXPECT_EQ(all, 10);
    char caption[64] = {};
    GetMenuStringA(bar, 2, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "Hi&de Window");
}

// The menu bar sits above the client area, so the client area is the rows'
// area alone: 8145 x 8235 twips.
TEST_F(Form1Test, ClientAreaAndControlsFollowTheTwipsLayoutAndScaleWithTheDpi) {
    Load(ShortcutsFile({}));
    ASSERT_EQ(form_->Dpi(), 96);
    EXPECT_EQ(ClientSize().cx, 543);
    EXPECT_EQ(ClientSize().cy, 549);
    HWND firstKey = Control(Box::FirstKey, 0);
    EXPECT_EQ(Describe(ChildRect(firstKey)), "56,51 57x19");
    EXPECT_EQ(Describe(ChildRect(form_->Picture3(9).Hwnd())), "8,467 41x41");
    EXPECT_EQ(Describe(ChildRect(GetDlgItem(form_->Hwnd(), brimlow::ids::kLabel1))), "120,51 9x17");
    // 8.25 points are 11 pixels at 96 dpi.
    ExpectToolbarAndPlusAt(96, 16, -11);

    RECT suggested{};
    GetWindowRect(form_->Hwnd(), &suggested);
    OffsetRect(&suggested, 30, 40);
    SendMessageA(form_->Hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    PumpMessages();
    EXPECT_EQ(form_->Dpi(), 144);
    // Half pixels round up: 840,765 855x285 twips are 84,76.5 85.5x28.5.
    EXPECT_EQ(Describe(ChildRect(firstKey)), "84,77 86x29");
    EXPECT_EQ(Describe(ChildRect(form_->Picture3(9).Hwnd())), "12,701 62x62");
    EXPECT_EQ(Describe(ChildRect(GetDlgItem(form_->Hwnd(), brimlow::ids::kLabel1))), "180,77 14x26");
    // 16.5 pixels round to 17; from 144 dpi the toolbar shows the large images.
    ExpectToolbarAndPlusAt(144, 24, -17);
    // A sent WM_DPICHANGED leaves the frame, caption and menu bar drawn at
    // 96 dpi, so the client area itself comes out taller by the difference.
    // What counts is the outer size: the one a 144-dpi window needs around a
    // client area of 8145 x 8235 twips, 815 x 824 pixels.
    RECT wanted{0, 0, 815, 824};
    ASSERT_TRUE(AdjustWindowRectExForDpi(&wanted, static_cast<DWORD>(GetWindowLongA(form_->Hwnd(), GWL_STYLE)), TRUE,
                                         static_cast<DWORD>(GetWindowLongA(form_->Hwnd(), GWL_EXSTYLE)), 144));
    RECT outer{};
    GetWindowRect(form_->Hwnd(), &outer);
    EXPECT_EQ(outer.right - outer.left, wanted.right - wanted.left);
    EXPECT_EQ(outer.bottom - outer.top, wanted.bottom - wanted.top);
    EXPECT_EQ(outer.left, suggested.left) << "placed where Windows suggested";
    EXPECT_EQ(outer.top, suggested.top);
}

TEST_F(Form1Test, KeysOfTheTableWriteTheirNameAndCodeAsTheRealBoxHandlesThem) {
    Load(ShortcutsFile({{"UP", "K", "", "1 - Normal", "0"}}));
    ASSERT_EQ(First(0), VK_UP);

    PressInFirstKeyBox(0, VK_DELETE);
    EXPECT_EQ(Text(Box::FirstKey, 0), "DELETE") << "the box deletes the first D after the handler";
    EXPECT_EQ(First(0), VK_DELETE);

    PressInFirstKeyBox(0, VK_BACK, '\b');
    EXPECT_EQ(Text(Box::FirstKey, 0), "BACKSPACE") << "nothing before the caret to delete";
    EXPECT_EQ(First(0), VK_BACK);

    PressInFirstKeyBox(0, VK_PRIOR);
    EXPECT_EQ(Text(Box::FirstKey, 0), "PAGE UP");
    EXPECT_EQ(First(0), VK_PRIOR);

    PressInFirstKeyBox(0, VK_CONTROL);
    EXPECT_EQ(Text(Box::FirstKey, 0), "CTRL");
    EXPECT_EQ(First(0), VK_CONTROL);

    // Held: the repeats give the same result.
    for (int i = 0; i < 3; ++i) SendMessageA(Control(Box::FirstKey, 0), WM_KEYDOWN, VK_DELETE, 0x40000001);
    EXPECT_EQ(Text(Box::FirstKey, 0), "DELETE");
    EXPECT_EQ(First(0), VK_DELETE);
    EXPECT_EQ(Second(0), 'K');
}

// What the tick asks of the launcher and the foreground, in order; the
// rounds are the window's real ones ("round 2": with Ctrl).
class RecordingTickCalls final : public brimlow::win::TickCalls {
public:
    explicit RecordingTickCalls(brimlow::win::ForegroundRound& round) : round_(round) {}
    void Launch(const std::string& file, std::int16_t, const std::string&) override { calls.push_back("launch " + file); }
    bool TakeForegroundRight(HWND window, brimlow::HotKeyModifiers down) override {
        const bool granted = round_.Take(window, down);
        calls.push_back("round " + std::to_string(down) + (granted ? "" : " refused"));
        return granted;
    }
    void AllowSetForegroundWindow() override { calls.push_back("allow"); }
    void SetForegroundWindow(HWND) override { calls.push_back("front"); }
    std::vector<std::string> calls;

private:
    brimlow::win::ForegroundRound& round_;
};

// A tap: the right (the window's own WM_HOTKEY on F22) is passed on before
// the launch, and again at the first tick with the keys up; a later quiet
// tick makes no round. With Ctrl+F22 taken elsewhere the launch goes ahead
// without the right and no F22 is sent. Ctrl+Alt+F1 shows and raises the
// window, and needs no release round. The ticks are called one by one, and
// the key state given time to show each change.
TEST_F(Form1Test, ATapTakesTheRightAtTheLaunchAndAgainOnceLetGoAndNotWhenF22IsTaken) {
    Load(ShortcutsFile({{"CTRL", "N", "target.exe", "1 - Normal", "1"}}));
    RecordingTickCalls tick(form_->Round());
    form_->UseTickCalls(&tick);
    const auto settledTick = [&] {
        Sleep(60);
        form_->Timer1_Timer();
    };
    for (WORD key : {VK_CONTROL, int{'N'}}) KeyDown(key);
    settledTick();
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL, VK_F22));
    settledTick();
    MSG hotKey;
    EXPECT_FALSE(PeekMessageA(&hotKey, reinterpret_cast<HWND>(-1), WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) << "F22 was sent";
    UnregisterHotKey(nullptr, 1);
    for (WORD key : {int{'N'}, VK_CONTROL}) KeyUp(key);
    settledTick();
    settledTick();
    for (WORD key : {VK_CONTROL, VK_MENU, VK_F1}) KeyDown(key);
    settledTick();
    for (WORD key : {VK_F1, VK_MENU, VK_CONTROL}) KeyUp(key);
    settledTick();
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));
    for (const std::string& call : tick.calls) std::printf("the ticks called %s\n", call.c_str());
    EXPECT_EQ(tick.calls, (std::vector<std::string>{"round 2", "allow", "launch target.exe", "round 2 refused",
                                                    "launch target.exe", "round 0", "allow", "round 3", "front"}));
}

// The modifiers the round was told are not those down when F22 arrives (let
// go of, or pressed, in between): a hot key of the window takes it all the
// same, and the window in front never sees F22 go down.
TEST_F(Form1Test, TheRoundsHotKeyTakesF22WhicheverModifiersAreDownWhenItArrives) {
    brimlow::testing::KeyLogWindow front;
    EXPECT_TRUE(form_->Round().Take(form_->Hwnd(), MOD_CONTROL)) << "told Ctrl, none down";
    KeyDown(VK_CONTROL);
    Sleep(60);
    EXPECT_TRUE(form_->Round().Take(form_->Hwnd(), 0)) << "told none, Ctrl down";
    KeyUp(VK_CONTROL);
    brimlow::testing::Wait(100);
    EXPECT_EQ(front.keys, (std::vector<std::string>{"WM_KEYDOWN 11", "WM_KEYUP 11"}));
}

TEST_F(Form1Test, OtherKeysInAFirstKeyBoxWriteNoNameAndKeepTheCode) {
    Load(ShortcutsFile({{"PAGE UP", "K", "", "1 - Normal", "0"}}));
    ASSERT_EQ(First(0), VK_PRIOR);

    SendMessageA(Control(Box::FirstKey, 0), WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(Text(Box::FirstKey, 0), "PAGE UP");
    EXPECT_EQ(First(0), VK_PRIOR);

    // The box types the letter itself; a name with a letter in it is none.
    SendMessageA(Control(Box::FirstKey, 0), WM_CHAR, 'a', 1);
    PressInFirstKeyBox(0, VK_SHIFT);
    EXPECT_EQ(Text(Box::FirstKey, 0), "aPAGE UP");
    EXPECT_EQ(First(0), VK_PRIOR);

    // Ctrl with a second key: the name on Ctrl, nothing more on the letter.
    PressInFirstKeyBox(0, VK_CONTROL);
    SendMessageA(Control(Box::FirstKey, 0), WM_KEYDOWN, 'C', 1);
    EXPECT_EQ(Text(Box::FirstKey, 0), "CTRL");
    EXPECT_EQ(First(0), VK_CONTROL);
}

TEST_F(Form1Test, TabWalksEachRowLeftToRightThenTheHideButtonThenStartsOver) {
    Load(ShortcutsFile({}));
    ShowWindow(form_->Hwnd(), SW_SHOW);
    namespace ids = brimlow::ids;
    std::vector<int> expected;
    for (int row = 0; row < kRowCount; ++row) {
        for (int column : {ids::kText1, ids::kText3, ids::kText2, ids::kCombo1, ids::kCheck1}) expected.push_back(column + row);
    }
    expected.push_back(ids::kCommand1);
    expected.push_back(ids::kText1);

    SetFocus(Control(Box::FirstKey, 0));
    std::vector<int> walked{FocusedId()};
    while (walked.size() < expected.size()) {
        PressThroughTheLoop(WM_KEYDOWN, VK_TAB, 1);
        walked.push_back(FocusedId());
    }
    EXPECT_EQ(walked, expected);
}

TEST_F(Form1Test, TheLetterBoxChangesTheCodeOnlyForACapitalLetter) {
    Load(ShortcutsFile({{"CTRL", "N", "", "1 - Normal", "0"}}));
    HWND letter = Control(Box::Letter, 0);
    ASSERT_EQ(Second(0), 'N');

    SetWindowTextA(letter, "k");
    PumpMessages();
    EXPECT_EQ(Second(0), 'N') << "a lower-case letter is no key name";
    SetWindowTextA(letter, "K");
    PumpMessages();
    EXPECT_EQ(Second(0), 'K');
    SetWindowTextA(letter, "");
    PumpMessages();
    EXPECT_EQ(Second(0), 'K') << "an empty box leaves the last letter in force";
    SetWindowTextA(letter, "KK");
    PumpMessages();
    EXPECT_EQ(Second(0), 'K');
    EXPECT_EQ(First(0), VK_CONTROL);
    EXPECT_EQ(Text(Box::Letter, 0), "KK") << "the box keeps what it was given";
}

TEST_F(Form1Test, ALoadResolvesEachRowThroughItsLetterBoxAndShowsState2Dimmed) {
    WriteFileBytes(form_->ShortcutsPath(), ShortcutsFile({{"DELETE", "K", "", "2 - Minimized", "1"},
                                                        {" CTRL", "B", "", "", "2"},
                                                        {"INSERT", "Z", "", "Sideways", "0"}}));
    // No ResolveKeyCodes here: the change events of the letter boxes alone.
    ASSERT_FALSE(form_->LoadShortcuts(form_->ShortcutsPath()).has_value());
    PumpMessages();
    EXPECT_EQ(First(0), VK_DELETE);
    EXPECT_EQ(Second(0), 'K');
    EXPECT_EQ(First(1), 0) << "a name with a leading space is no name";
    EXPECT_EQ(Second(1), 'B');
    EXPECT_EQ(First(2), VK_INSERT);
    EXPECT_EQ(Text(Box::FirstKey, 1), " CTRL");
    EXPECT_EQ(Text(Box::WindowState, 1), "");
    EXPECT_EQ(Text(Box::WindowState, 2), "Sideways");
    EXPECT_EQ(form_->Rows().Active(0), BST_CHECKED);
    EXPECT_EQ(form_->Rows().Active(1), BST_INDETERMINATE);
    EXPECT_EQ(SendMessageA(form_->Rows().Control(Box::FirstKey, 0), WM_GETTEXTLENGTH, 0, 0), 6);
    EXPECT_EQ(form_->Rows().Active(2), BST_UNCHECKED);
}

TEST_F(Form1Test, AFileOneLineShortChangesNoRowAndNamesTheFileAndLine) {
    Load(ShortcutsFile({{"DELETE", "K", "C:\\a.txt", "3 - Maximized", "1"}}));
    const std::string shortFile = folder_ + "\\short.ini";
    WriteFileBytes(shortFile, FirstLines(ShortcutsFile({{"INSERT", "Z", "C:\\b.txt", "1 - Normal", "0"}}), 49));

    const brimlow::Status failed = form_->LoadShortcuts(shortFile);
    PumpMessages();
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(Includes(failed->description, shortFile));
    EXPECT_TRUE(Includes(failed->description, "line 50"));
    EXPECT_EQ(Text(Box::FirstKey, 0), "DELETE");
    EXPECT_EQ(Text(Box::Letter, 0), "K");
    EXPECT_EQ(Text(Box::Path, 0), "C:\\a.txt");
    EXPECT_EQ(Text(Box::WindowState, 0), "3 - Maximized");
    EXPECT_EQ(form_->Rows().Active(0), BST_CHECKED);
    EXPECT_EQ(Text(Box::FirstKey, 9), "UP") << "not even the four lines of row 9 the file has";
    EXPECT_EQ(Text(Box::Letter, 9), "Q");
    EXPECT_EQ(First(0), VK_DELETE);
    EXPECT_EQ(Second(0), 'K');
}

// A change on disk reaches the window hosted here: a bad version is reported
// in a balloon and changes nothing.
TEST_F(Form1Test, ABadVersionOnDiskIsOnlyReportedInABalloon) {
    using brimlow::testing::WaitUntil;
    Load(ShortcutsFile({{"DELETE", "K", "C:\\a.txt", "3 - Maximized", "1"}}));
    const std::string bad = FirstLines(ShortcutsFile({{"INSERT", "Z", "C:\\b.txt", "1 - Normal", "0"}}), 49);
    WriteFileBytes(form_->ShortcutsPath(), bad);
    ASSERT_TRUE(WaitUntil([&] { return !form_->NotifyIcon().LastBalloon().empty(); }, 3000)) << "no balloon";
    EXPECT_TRUE(Includes(form_->NotifyIcon().LastBalloon(), form_->ShortcutsPath()));
    EXPECT_TRUE(Includes(form_->NotifyIcon().LastBalloon(), "line 50"));
    EXPECT_EQ(Text(Box::FirstKey, 0), "DELETE");
    EXPECT_EQ(Second(0), 'K');
}

// No box may hold up a log-off: rows that cannot be saved go to a dated copy
// beside the table, and the next start says where, once.
TEST_F(Form1Test, ASessionEndThatCannotSaveKeepsTheRowsInACopyAndTheNextStartSaysWhere) {
    Load(ShortcutsFile({}));
    const std::string data = folder_ + "\\data";
    ASSERT_TRUE(SetFileAttributesA(form_->ShortcutsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    form_->Rows().SetText(Box::Path, 0, "C:\\edited.exe");
    const std::string rows = brimlow::FormatShortcuts(brimlow::ReadRows(form_->Rows()));
    SendMessageA(form_->Hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    const std::vector<std::string> names = brimlow::testing::FileNames(data);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "last-session.txt");
    EXPECT_EQ(brimlow::testing::ReadBytes(data + "\\" + names[1]), rows);

    ASSERT_TRUE(SetFileAttributesA(form_->ShortcutsPath().c_str(), FILE_ATTRIBUTE_NORMAL));
    form_ = std::make_unique<Form1>(GetModuleHandleA(nullptr), folder_);
    ASSERT_FALSE(form_->Create().has_value());
    ASSERT_FALSE(form_->Form_Load().has_value());
    EXPECT_TRUE(Includes(form_->NotifyIcon().LastBalloon(), data + "\\" + names[1]));
    EXPECT_FALSE(brimlow::testing::Exists(data + "\\last-session.txt"));
}

// ---- what the desktop changes under a running window ----

// Runs `inspect` on the About box, shown and drawn, inside its modal loop.
void WithAboutBox(Form1& form, const std::function<void(HWND)>& inspect) {
    static const std::function<void(HWND)>* current = nullptr;
    current = &inspect;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
        HWND about = FindWindowA("#32770", "About Brimlow");  // the end-to-end tests open theirs in another thread
        if (about == nullptr || !IsWindowVisible(about) || GetWindowThreadProcessId(about, nullptr) != GetCurrentThreadId()) return;
        KillTimer(nullptr, timer);
        RedrawWindow(about, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        (*current)(about);
        PostMessageA(about, WM_COMMAND, IDOK, 0);
    });
    form.AboutCommand();
}

LONG FontHeight(HWND control) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// Each time a control is given a font or paints, the font it held until then
// must still exist; it paints in the new size. The watch outlives the controls.
struct FontWatch {
    explicit FontWatch(HWND parent) {
        EnumChildWindows(parent, [](HWND child, LPARAM self) {
            return SetWindowSubclass(child, &FontWatch::Proc, 1, static_cast<DWORD_PTR>(self));
        }, reinterpret_cast<LPARAM>(this));
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        if ((message == WM_SETFONT || message == WM_PAINT) && SendMessageA(hwnd, WM_GETFONT, 0, 0) != 0) {
            auto& watch = *reinterpret_cast<FontWatch*>(self);
            const LONG height = FontHeight(hwnd);  // 0 for a deleted font
            watch.deleted += height == 0;
            ++watch.checks;
            // 8 points are 16 pixels at 144 dpi; the "+"'s 8.25 points, 17.
            if (message == WM_PAINT && height != -16 && height != -17) watch.otherSizes.push_back(GetDlgCtrlID(hwnd));
        }
        if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &FontWatch::Proc, 1);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    int checks = 0;
    int deleted = 0;
    std::vector<int> otherSizes;
};

// High Contrast Black, then a monitor of 144 dpi, under the running window.
TEST_F(Form1Test, NewColoursAndAnotherDpiRedrawEveryControlInTheirColoursAndFontsAndTheAboutBoxFollows) {
    using brimlow::testing::PixelsOf;
    Load(ShortcutsFile({}));
    HWND hwnd = form_->Hwnd();
    ShowWindow(hwnd, SW_SHOW);
    PumpMessages();
    const int toolbarFace = PixelsOf(form_->Toolbar(), GetSysColor(COLOR_BTNFACE));
    const brimlow::testing::HighContrastBlack contrast;
    PumpMessages();
    EXPECT_GT(PixelsOf(form_->Picture3(0).Hwnd(), RGB(0, 0, 0)), 41 * 41 / 2) << "the icon box's background";
    EXPECT_GE(PixelsOf(form_->Toolbar(), RGB(0, 0, 0)), toolbarFace) << "the toolbar's face in the new colour";

    FontWatch watch(hwnd);
    SendMessageA(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    PumpMessages();
    EXPECT_GT(watch.checks, 2 * 61) << "each control given its font and painted";
    EXPECT_EQ(watch.deleted, 0) << "times a control held a deleted font";
    EXPECT_EQ(watch.otherSizes, std::vector<int>{}) << "controls painting in a font of another size";
    RECT owner{};
    GetWindowRect(hwnd, &owner);
    WithAboutBox(*form_, [&](HWND about) {
        HWND title = GetDlgItem(about, brimlow::ids::kAboutTitle);
        EXPECT_GT(PixelsOf(title, RGB(255, 255, 255)), 20) << "the title in the button text colour, white on black";
        EXPECT_EQ(FontHeight(title), -28) << "14 points at the owner's 144 dpi";
        RECT box{};
        GetWindowRect(about, &box);
        EXPECT_NEAR(box.left + box.right, owner.left + owner.right, 2) << "centred on the owner";
        EXPECT_NEAR(box.top + box.bottom, owner.top + owner.bottom, 2);
        SendMessageA(about, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
        EXPECT_EQ(FontHeight(title), -19);
        GetClientRect(about, &box);
        EXPECT_EQ(Describe(box), "0,0 325x115");
    });
    form_.reset();
}

// A table 300 characters deep saves and loads: the file calls are the wide
// ones, which take such a path under Wine 8 as on Windows with long paths on.
TEST_F(Form1Test, ATable300CharactersDeepSavesAndLoads) {
    Load(ShortcutsFile({{"DELETE", "K", "C:\\a.txt", "3 - Maximized", "1"}}));
    std::string deep = folder_;
    while (deep.size() < 300) {
        deep += "\\" + std::string(std::min<std::size_t>(100, 300 - deep.size() - 1), 'd');
        ASSERT_TRUE(CreateDirectoryW(brimlow::testing::Unlimited(deep).c_str(), nullptr)) << deep;
    }
    const std::string table = deep + "\\shortcuts.ini";
    form_->Rows().SetText(Box::Path, 0, "C:\\deep.txt");
    const std::string rows = brimlow::FormatShortcuts(brimlow::ReadRows(form_->Rows()));
    ASSERT_FALSE(form_->SaveShortcuts(table).has_value());
    EXPECT_EQ(brimlow::testing::ReadBytes(brimlow::testing::Unlimited(table)), rows);

    ASSERT_FALSE(form_->LoadShortcuts(form_->ShortcutsPath()).has_value());
    ASSERT_EQ(Text(Box::Path, 0), "C:\\a.txt");
    ASSERT_FALSE(form_->LoadShortcuts(table).has_value());
    EXPECT_EQ(Text(Box::Path, 0), "C:\\deep.txt");
}

// ---- what a screen reader reads ----

// The name a screen reader gives a control.
std::string AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        return "<no accessible object>";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT got = accessible->get_accName(self, &name);
    accessible->Release();
    if (FAILED(got)) return "<failed>";
    if (name == nullptr) return "<none>";
    std::string text;
    for (const wchar_t* c = name; *c != L'\0'; ++c) text += static_cast<char>(*c);
    SysFreeString(name);
    return text;
}

// The text label a screen reader on Windows names a box after: the nearest
// STATIC before it among the window's children.
std::string LabelBefore(HWND control) {
    for (HWND h = GetWindow(control, GW_HWNDPREV); h != nullptr; h = GetWindow(h, GW_HWNDPREV)) {
        if (brimlow::testing::ClassOf(h) == "Static") return WindowText(h);
    }
    return "<none>";
}

TEST_F(Form1Test, EveryRowBoxIsNamedForAScreenReaderByRowAndWhatItHolds) {
    Load(ShortcutsFile({}));
    const std::pair<Box, const char*> boxes[] = {
        {Box::FirstKey, "first key"}, {Box::Letter, "letter"}, {Box::Path, "target"}, {Box::WindowState, "window state"}};
    for (int row = 0; row < kRowCount; ++row) {
        for (const auto& [box, what] : boxes) {
            const std::string name = "Row " + std::to_string(row + 1) + " " + what;
            HWND control = Control(box, row);
            if (box == Box::WindowState && brimlow::testing::UnderWine()) {
                // Wine's oleacc names a combo box by its own text; Windows
                // reads the label before it, as for the edit boxes.
                EXPECT_EQ(AccessibleName(control), Text(box, row));
                EXPECT_EQ(LabelBefore(control), name);
            } else {
                EXPECT_EQ(AccessibleName(control), name);
            }
        }
    }
}

TEST_F(Form1Test, TheToolbarButtonsHaveTheirNamesAsTooltips) {
    Load(ShortcutsFile({}));
    auto tips = reinterpret_cast<HWND>(SendMessageA(form_->Toolbar(), TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    const std::pair<int, const char*> buttons[] = {
        {brimlow::ids::kButtonOpen, "Open"}, {brimlow::ids::kButtonSave, "Save"}, {brimlow::ids::kButtonHelp, "Help"}};
    for (const auto& [button, name] : buttons) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = form_->Toolbar();
        tool.uId = static_cast<UINT_PTR>(brimlow::ids::ToolbarCommand(button));
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        std::string got;
        for (const wchar_t* c = text; *c != L'\0'; ++c) got += static_cast<char>(*c);
        EXPECT_EQ(got, name);
    }
}

// ---- the notification icon ----

// The icon is the taskbar's small-icon size, whatever the window's monitor.
TEST_F(Form1Test, TheNotificationIconComesWithASuccessfulStartUpTakesTheShellsSizeAndGoesWithTheWindow) {
    using brimlow::testing::NotifyIconExists;
    const HWND hwnd = form_->Hwnd();
    EXPECT_FALSE(NotifyIconExists(hwnd, brimlow::ids::kNotifyIconId)) << "before the start-up";
    Load(ShortcutsFile({}));
    EXPECT_TRUE(NotifyIconExists(hwnd, brimlow::ids::kNotifyIconId));
    EXPECT_EQ(form_->NotifyIcon().IconSize(), GetSystemMetrics(SM_CXSMICON));

    SendMessageA(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    EXPECT_EQ(form_->NotifyIcon().IconSize(), GetSystemMetrics(SM_CXSMICON));
    EXPECT_TRUE(NotifyIconExists(hwnd, brimlow::ids::kNotifyIconId));

    form_.reset();
    EXPECT_FALSE(NotifyIconExists(hwnd, brimlow::ids::kNotifyIconId)) << "after the window is gone";
}

TEST_F(Form1Test, AFailedStartUpAddsNoNotificationIcon) {
    ASSERT_TRUE(form_->Form_Load().has_value()) << "no shortcuts file";
    EXPECT_FALSE(brimlow::testing::NotifyIconExists(form_->Hwnd(), brimlow::ids::kNotifyIconId));
}

TEST(NotifyIconMenu, ShowIsTheDefaultHideIsGreyedWhileHiddenPauseIsCheckedWhilePausedAndExitComesAfterASeparator) {
    using brimlow::win::NotifyIcon;
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible ? "window shown" : "window hidden");
        const brimlow::win::UniqueMenu menu = NotifyIcon::MakeMenu(visible, !visible);
        ASSERT_EQ(GetMenuItemCount(menu.Get()), 5);
        std::vector<std::string> captions;
        for (int i = 0; i < 5; ++i) {
            wchar_t caption[64] = {};
            GetMenuStringW(menu.Get(), static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
            std::string text;
            for (const wchar_t* c = caption; *c != L'\0'; ++c) text += static_cast<char>(*c);
            captions.push_back(text);
        }
        EXPECT_EQ(captions, (std::vector<std::string>{"&Show Brimlow", "Hi&de Window", "&Pause hot keys", "", "E&xit"}));
        EXPECT_NE(GetMenuState(menu.Get(), 3, MF_BYPOSITION) & MF_SEPARATOR, 0u);
        EXPECT_EQ(GetMenuDefaultItem(menu.Get(), FALSE, 0), static_cast<UINT>(brimlow::win::kShowItem));
        EXPECT_EQ((GetMenuState(menu.Get(), brimlow::win::kHideItem, MF_BYCOMMAND) & MF_GRAYED) != 0, !visible);
        EXPECT_EQ((GetMenuState(menu.Get(), brimlow::win::kPauseItem, MF_BYCOMMAND) & MF_CHECKED) != 0, !visible);
        EXPECT_EQ(GetMenuState(menu.Get(), brimlow::win::kExitItem, MF_BYCOMMAND) & MF_GRAYED, 0u);
    }
}

// An icon as drawn at the notification area's size.
std::vector<COLORREF> Drawn(HICON icon) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    brimlow::win::ScreenDc screen;
    brimlow::win::UniqueDc dc(CreateCompatibleDC(screen.Get()));
    brimlow::win::UniqueGdi bitmap(CreateCompatibleBitmap(screen.Get(), size, size));
    brimlow::win::Selection selected(dc.Get(), bitmap.Get());
    DrawIconEx(dc.Get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < size * size; ++i) pixels.push_back(GetPixel(dc.Get(), i % size, i / size));
    return pixels;
}

std::vector<COLORREF> DrawnResource(int id) {
    HICON icon = nullptr;
    LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), LIM_SMALL, &icon);
    const brimlow::win::UniqueIcon owner(icon);
    return Drawn(icon);
}

// The icon's menu opened as a right click on the icon opens it; a second
// thread reads whether "Pause hot keys" is checked and chooses it.
bool ChoosePauseFromTheIconsMenu(HWND form) {
    std::atomic<int> checked{-1};
    std::thread answer([&] {
        for (int i = 0; i < 200 && checked < 0; ++i) {
            Sleep(25);
            HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu == nullptr || !IsWindowVisible(menu)) continue;
            auto items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
            checked = (GetMenuState(items, brimlow::win::kPauseItem, MF_BYCOMMAND) & MF_CHECKED) != 0 ? 1 : 0;
            PostMessageW(menu, WM_CHAR, 'p', 1);
        }
    });
    SendMessageW(form, brimlow::ids::kNotifyIconMessage, MAKEWPARAM(200, 200),
                 MAKELPARAM(WM_CONTEXTMENU, brimlow::ids::kNotifyIconId));
    answer.join();
    PumpMessages();
    EXPECT_GE(checked, 0) << "no menu opened";
    return checked == 1;
}

TEST_F(Form1Test, PauseHotKeysFromTheIconsMenuPausesAndResumesWithItsCheckMarkTheIconAndTheTip) {
    Load(ShortcutsFile({}));
    const std::vector<COLORREF> running = DrawnResource(brimlow::ids::kProgramIcon);
    ASSERT_TRUE(running != DrawnResource(brimlow::ids::kPausedIcon)) << "the two pictures differ";
    EXPECT_TRUE(Drawn(form_->NotifyIcon().Icon()) == running);
    EXPECT_EQ(std::wstring(form_->NotifyIcon().Tip()), L"Brimlow");

    EXPECT_FALSE(ChoosePauseFromTheIconsMenu(form_->Hwnd())) << "not checked while running";
    EXPECT_TRUE(form_->Paused());
    EXPECT_TRUE(Drawn(form_->NotifyIcon().Icon()) == DrawnResource(brimlow::ids::kPausedIcon));
    EXPECT_EQ(std::wstring(form_->NotifyIcon().Tip()), L"Brimlow - hot keys paused");
    EXPECT_TRUE(brimlow::testing::NotifyIconExists(form_->Hwnd(), brimlow::ids::kNotifyIconId));

    EXPECT_TRUE(ChoosePauseFromTheIconsMenu(form_->Hwnd())) << "checked while paused";
    EXPECT_FALSE(form_->Paused());
    EXPECT_TRUE(Drawn(form_->NotifyIcon().Icon()) == running);
    EXPECT_EQ(std::wstring(form_->NotifyIcon().Tip()), L"Brimlow");
}

// ---- the target dialog ----

// The file dialog the window opens, found and answered from a second thread
// while the window's thread waits inside it.
class DialogAnswer {
public:
    // Empty `choose`: cancel. Otherwise type it as the name and press OK.
    DialogAnswer(HWND owner, std::string choose) : owner_(owner), choose_(std::move(choose)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~DialogAnswer() {
        if (thread_.joinable()) thread_.join();
    }
    // Call after the double-click returned.
    void Finish() { thread_.join(); }
    bool Found() const { return found_; }
    // The name the dialog showed when it opened.
    const std::string& InitialName() const { return initialName_; }

private:
    struct Search {
        HWND owner;
        HWND dialog;
    };
    static BOOL CALLBACK Match(HWND hwnd, LPARAM context) {
        auto* search = reinterpret_cast<Search*>(context);
        if (brimlow::testing::ClassOf(hwnd) == "#32770" && GetWindow(hwnd, GW_OWNER) == search->owner &&
            IsWindowVisible(hwnd)) {
            search->dialog = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    // Windows puts the name in the combo box cmb13; Wine in the edit edt1.
    static HWND NameBox(HWND dialog) {
        HWND box = GetDlgItem(dialog, cmb13);
        return box != nullptr ? box : GetDlgItem(dialog, edt1);
    }

    void Run() {
        Search search{owner_, nullptr};
        HWND box = nullptr;
        // The dialog is filled in before it is shown; once its thread answers,
        // the dialog's own message loop runs and anything it posted itself
        // comes before what is posted here.
        const bool ready = brimlow::testing::WaitUntil(
            [&] {
                EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
                box = search.dialog != nullptr ? NameBox(search.dialog) : nullptr;
                DWORD_PTR result = 0;
                return box != nullptr &&
                       SendMessageTimeoutA(search.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
            },
            30000);
        if (!ready) return;
        found_ = true;
        char name[MAX_PATH] = {};
        SendMessageA(box, WM_GETTEXT, sizeof name, reinterpret_cast<LPARAM>(name));
        initialName_ = name;
        if (choose_.empty()) {
            PostMessageA(search.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(search.dialog, IDCANCEL)));
        } else {
            SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(choose_.c_str()));
            PostMessageA(search.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(search.dialog, IDOK)));
        }
    }

    HWND owner_;
    std::string choose_;
    std::atomic<bool> found_{false};
    std::string initialName_;
    std::thread thread_;
};

class TargetDialog : public Form1Test {
protected:
    // Runs `open`, which opens the file dialog; the answer thread deals with
    // the dialog. Gives the name the dialog showed.
    template <typename Open>
    std::string Answering(const std::string& choose, Open open) {
        // A target named without a folder is looked for in the current
        // directory first: browsing must not move it.
        char before[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, before);
        DialogAnswer answer(form_->Hwnd(), choose);
        open();
        PumpMessages();
        answer.Finish();
        EXPECT_TRUE(answer.Found()) << "no file dialog owned by the main window appeared";
        char after[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, after);
        EXPECT_STREQ(after, before) << "the dialog left the current directory elsewhere";
        return answer.InitialName();
    }

    std::string DoubleClick(int row, const std::string& choose) {
        return Answering(choose, [&] {
            SendMessageA(Control(Box::Path, row), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        });
    }

    // A key pressed in row's path box, which has the focus.
    std::string PressInPathBox(int row, UINT message, WPARAM key, LPARAM flags, const std::string& choose) {
        ShowWindow(form_->Hwnd(), SW_SHOW);
        SetFocus(Control(Box::Path, row));
        return Answering(choose, [&] { PressThroughTheLoop(message, key, flags); });
    }

    std::vector<COLORREF> IconPixels(int row) {
        HDC dc = form_->Picture3(row).Dc();
        RECT r{};
        GetClientRect(form_->Picture3(row).Hwnd(), &r);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < r.bottom; ++y) {
            for (int x = 0; x < r.right; ++x) pixels.push_back(GetPixel(dc, x, y));
        }
        return pixels;
    }
    static bool AllTheSame(const std::vector<COLORREF>& pixels) {
        for (COLORREF p : pixels) {
            if (p != pixels.front()) return false;
        }
        return true;
    }
};

TEST_F(TargetDialog, ChoosingAFileSetsThePathAndIconAndCancellingLaterChangesNothing) {
    Load(ShortcutsFile({{"CTRL", "K", "", "2 - Minimized", "1"}}));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string tool = folder_ + "\\tool.exe";
    ASSERT_TRUE(CopyFileA((std::string(system) + "\\notepad.exe").c_str(), tool.c_str(), FALSE));
    form_->CommonDialog1.FileName = folder_ + "\\earlier.ini";
    const std::vector<COLORREF> empty = IconPixels(0);
    ASSERT_TRUE(AllTheSame(empty)) << "an empty path draws nothing";

    EXPECT_TRUE(Includes(DoubleClick(0, tool), "earlier.ini")) << "opens with the name the last use left";
    EXPECT_EQ(Text(Box::Path, 0), tool);
    const std::vector<COLORREF> drawn = IconPixels(0);
    EXPECT_FALSE(AllTheSame(drawn)) << "the chosen program's icon";
    EXPECT_EQ(form_->CommonDialog1.FileName, tool);
    EXPECT_EQ(form_->CommonDialog1.Filter, "All files (*.*)|*.*");

    // Cancelling keeps the row's target: the box is not emptied.
    EXPECT_TRUE(Includes(DoubleClick(0, ""), "tool.exe"));
    EXPECT_EQ(Text(Box::Path, 0), tool);
    EXPECT_TRUE(IconPixels(0) == drawn);
    EXPECT_EQ(form_->CommonDialog1.FileName, tool);

    // Nothing else of the row changes and nothing is resolved or written.
    EXPECT_EQ(Text(Box::Letter, 0), "K");
    EXPECT_EQ(Text(Box::WindowState, 0), "2 - Minimized");
    EXPECT_EQ(Second(0), 'K');
}

// The keys of a drop-down list open the same dialog as a double-click.
TEST_F(TargetDialog, F4OrAltDownInAPathBoxOpensTheDialogForThatRow) {
    Load(ShortcutsFile({{"CTRL", "K", "C:\\Windows\\notepad.exe", "1 - Normal", "1"}}));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string tool = folder_ + "\\tool.exe";
    ASSERT_TRUE(CopyFileA((std::string(system) + "\\notepad.exe").c_str(), tool.c_str(), FALSE));
    const std::vector<COLORREF> row0 = IconPixels(0);
    ASSERT_TRUE(AllTheSame(IconPixels(3)));

    PressInPathBox(3, WM_KEYDOWN, VK_F4, 1, tool);
    EXPECT_EQ(Text(Box::Path, 3), tool);
    const std::vector<COLORREF> drawn = IconPixels(3);
    EXPECT_FALSE(AllTheSame(drawn)) << "the chosen program's icon";
    EXPECT_EQ(Text(Box::Path, 0), "C:\\Windows\\notepad.exe") << "only row 3 changes";
    EXPECT_TRUE(IconPixels(0) == row0);

    // Alt+Down, cancelled: the row keeps its target. Bit 29 says Alt is down.
    EXPECT_TRUE(Includes(PressInPathBox(3, WM_SYSKEYDOWN, VK_DOWN, 0x20000001, ""), "tool.exe"));
    EXPECT_EQ(Text(Box::Path, 3), tool);
    EXPECT_TRUE(IconPixels(3) == drawn);
    EXPECT_EQ(Text(Box::Path, 0), "C:\\Windows\\notepad.exe");
}

TEST_F(TargetDialog, CancellingTheFirstUseLeavesAFilledBoxAsItWas) {
    Load(ShortcutsFile({{"CTRL", "K", "C:\\Windows\\notepad.exe", "1 - Normal", "1"}}));
    const std::string before = Text(Box::Path, 0);
    const std::vector<COLORREF> pixels = IconPixels(0);
    ASSERT_TRUE(form_->CommonDialog1.FileName.empty());

    EXPECT_EQ(DoubleClick(0, ""), "");
    EXPECT_EQ(Text(Box::Path, 0), before);
    EXPECT_TRUE(IconPixels(0) == pixels);
}

}  // namespace

