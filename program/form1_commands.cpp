// The main window's menu bar, toolbar and the commands behind them.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <utility>

#include "code_page.h"
#include "control_ids.h"
#include "form1.h"
#include "frm_about.h"
#include "gui.h"
#include "layout.h"
#include "paths.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "win_errors.h"

namespace brimlow {
namespace {

constexpr const char* kConfigurationFilter = "Configuration Files (*.ini)|*.ini";
constexpr const char* kConfirmText = "Loading this file will replace your old config file!Are you shure?";
constexpr const char* kConfirmTitle = "Confirm!";
// Open copies the whole file, so it holds it whole: a shortcuts file is a few
// kilobytes, and anything this large is not one.
constexpr std::size_t kLargestOpenedFile = 16u * 1024u * 1024u;

// From one and a half times the usual size up, the 16-pixel standard images
// look lost on the toolbar; the 24-pixel set is drawn from there on.
constexpr int kLargeImagesDpi = 144;

using namespace ids;

UINT MenuId(int itemNumber) { return static_cast<UINT>(MenuCommand(itemNumber)); }

// One of the toolbar's standard images as a menu item's picture, at the size
// of a menu item's small icon for the window's DPI, on the menu's colour.
win::UniqueGdi MenuPicture(HIMAGELIST images, int image, int dpi) {
    const int width = GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi));
    const int height = GetSystemMetricsForDpi(SM_CYSMICON, static_cast<UINT>(dpi));
    int imageWidth = 0;
    int imageHeight = 0;
    ImageList_GetIconSize(images, &imageWidth, &imageHeight);
    win::ScreenDc screen;
    win::UniqueDc dc(CreateCompatibleDC(screen.Get()));
    win::UniqueGdi bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!dc || !bitmap) return win::UniqueGdi();
    {
        win::Selection selected(dc.Get(), bitmap.Get());
        RECT all{0, 0, width, height};
        FillRect(dc.Get(), &all, GetSysColorBrush(COLOR_MENU));
        ImageList_Draw(images, image, dc.Get(), (width - imageWidth) / 2, (height - imageHeight) / 2, ILD_TRANSPARENT);
    }
    return bitmap;
}

// Puts a picture beside a menu item's caption. As the item's own bitmap it is
// drawn whole; as a check-mark bitmap Windows would crop it to the check
// mark's size.
void SetMenuPicture(HMENU menu, UINT id, HGDIOBJ picture) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = static_cast<HBITMAP>(picture);
    SetMenuItemInfoA(menu, id, FALSE, &item);
}

// True when both paths name the same file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b) {
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        win::UniqueFile file(CreateFileW(win::ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file && GetFileInformationByHandle(file.Get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    if (!identify(a, first) || !identify(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

void Form1::BuildMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU help = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, MenuId(kMenuOpen), "&Open...\tCtrl+O");
    AppendMenuA(file, MF_STRING, MenuId(kMenuSave), "&Save...\tCtrl+S");
    AppendMenuA(file, MF_SEPARATOR, MenuId(kMenuFileSeparator), nullptr);
    AppendMenuA(file, MF_STRING, MenuId(kMenuExit), "E&xit\tAlt+Q");
    AppendMenuA(help, MF_STRING, MenuId(kMenuContext), "&Context\tCtrl+H");
    AppendMenuA(help, MF_SEPARATOR, MenuId(kMenuHelpSeparator), nullptr);
    AppendMenuA(help, MF_STRING, MenuId(kMenuAbout), "&About");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    // Chosen straight from the menu bar: it has no list of its own.
    AppendMenuA(bar, MF_STRING, MenuId(kMenuHideWindow), "Hi&de Window");
    SetMenu(hwnd_, bar);

    // The hints in the captions work as keys too.
    std::array<ACCEL, 4> keys{{
        {FCONTROL | FVIRTKEY, 'O', static_cast<WORD>(MenuId(kMenuOpen))},
        {FCONTROL | FVIRTKEY, 'S', static_cast<WORD>(MenuId(kMenuSave))},
        {FALT | FVIRTKEY, 'Q', static_cast<WORD>(MenuId(kMenuExit))},
        {FCONTROL | FVIRTKEY, 'H', static_cast<WORD>(MenuId(kMenuContext))},
    }};
    accelerators_.Reset(CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size())));
    FitToClientArea();
}

// Made again when the DPI changes: a toolbar's standard images come in one
// size, chosen as they are loaded.
void Form1::BuildToolbar() {
    if (toolbar1_ != nullptr) DestroyWindow(toolbar1_);
    // The toolbar keeps the height and place the layout gives it rather than
    // sizing itself to its buttons.
    const layout::PixelRect bar = layout::ToPixels(layout::kToolbar, dpi_);
    toolbar1_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                                    CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                bar.left, bar.top, bar.width, bar.height, hwnd_, win::ChildId(kToolbar1), instance_,
                                nullptr);
    SendMessageA(toolbar1_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // The buttons' texts are drawn in no row, so the buttons stay pictures of
    // the same size; the texts are the names a screen reader reads, and the
    // tooltips below.
    SendMessageA(toolbar1_, TB_SETMAXTEXTROWS, 0, 0);
    const WPARAM standardImages = dpi_ >= kLargeImagesDpi ? IDB_STD_LARGE_COLOR : IDB_STD_SMALL_COLOR;
    SendMessageA(toolbar1_, TB_LOADIMAGES, standardImages, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    auto button = [](int image, int index, BYTE style, const wchar_t* text) {
        TBBUTTON b{};
        b.iBitmap = image;
        b.idCommand = ToolbarCommand(index);
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = style;
        b.iString = reinterpret_cast<INT_PTR>(text);
        return b;
    };
    std::array<TBBUTTON, 5> buttons{{
        button(0, kButtonSeparator1, BTNS_SEP, nullptr),
        button(STD_FILEOPEN, kButtonOpen, BTNS_BUTTON, L"Open"),
        button(STD_FILESAVE, kButtonSave, BTNS_BUTTON, L"Save"),
        button(0, kButtonSeparator2, BTNS_SEP, nullptr),
        button(STD_HELP, kButtonHelp, BTNS_BUTTON, L"Help"),
    }};
    SendMessageW(toolbar1_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    // Windows shows a hidden text as the tooltip by itself; Wine's toolbar
    // leaves the tip empty, so each button's tip is given its text.
    if (auto tips = reinterpret_cast<HWND>(SendMessageA(toolbar1_, TB_GETTOOLTIPS, 0, 0))) {
        for (const TBBUTTON& b : buttons) {
            if (b.fsStyle == BTNS_SEP) continue;
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.hwnd = toolbar1_;
            tool.uId = static_cast<UINT_PTR>(b.idCommand);
            tool.lpszText = reinterpret_cast<wchar_t*>(b.iString);
            SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    MakeMenuPictures();
}

// The open-folder and diskette pictures stand beside their menu items too.
// The menu lets go of the old pictures before they are deleted.
void Form1::MakeMenuPictures() {
    if (toolbar1_ == nullptr) return;
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar1_, TB_GETIMAGELIST, 0, 0));
    if (images == nullptr) return;
    win::UniqueGdi open = MenuPicture(images, STD_FILEOPEN, dpi_);
    win::UniqueGdi save = MenuPicture(images, STD_FILESAVE, dpi_);
    HMENU menu = GetMenu(hwnd_);
    SetMenuPicture(menu, MenuId(kMenuOpen), open.Get());
    SetMenuPicture(menu, MenuId(kMenuSave), save.Get());
    picture1_ = std::move(open);
    picture2_ = std::move(save);
}

void Form1::SmartMenuXP1_MenuClick(int itemNumber) {
    switch (itemNumber) {
        case kMenuOpen: OpenCommand(); break;
        case kMenuSave: SaveCommand(); break;
        case kMenuExit: ExitCommand(); break;
        case kMenuContext: ContextCommand(); break;
        case kMenuAbout: AboutCommand(); break;
        case kMenuHideWindow: HideCommand(); break;
        default: break;  // the top-level lists and the separators
    }
}

void Form1::Toolbar1_ButtonClick(std::int16_t index) {
    if (index == kButtonSave) {
        SaveCommand();
    } else if (index == kButtonOpen) {
        OpenCommand();
    } else if (index == kButtonHelp) {
        ContextCommand();
    }
}

void Form1::OpenCommand() {
    CommonDialog1.Filter = kConfigurationFilter;
    CommonDialog1.FileName.clear();
    CommonDialog1.ShowOpen(hwnd_);
    if (MessageBoxA(hwnd_, kConfirmText, kConfirmTitle, MB_YESNO) != IDYES) return;
    if (CommonDialog1.FileName.empty()) return;
    if (Status failed = OpenChosenFile(CommonDialog1.FileName)) ReportError(*failed);
}

// The chosen file is checked before anything is copied: a file that would not
// load is refused, so the shortcuts file and the rows stay as they were (a
// broken shortcuts file would stop every later start). A good file replaces
// the shortcuts file in one step, byte for byte.
Status Form1::OpenChosenFile(const std::string& chosen) {
    const std::string target = ShortcutsPath();
    if (SameFile(chosen, target)) {
        return Error{error_number::kPermissionDenied,
                     "Cannot open " + chosen + ": it is the shortcuts file itself, which holds the rows already."};
    }
    win::FileBytes bytes = win::ReadWholeFile(chosen, kLargestOpenedFile);
    if (const Error* failed = std::get_if<Error>(&bytes)) return *failed;
    // The table as it is now: a version that came since it was last read or
    // written is kept before it is replaced, and one that cannot be read is
    // not replaced at all.
    Error why{};
    const TableOnDisk disk = ReadTable(target, true, why);
    if (disk.unreadable) {
        return Error{why.number, why.description + " Open does not replace a version of the file that " +
                                     ids::kProductName + " has not read."};
    }
    const bool keep = disk.bytes.has_value() && sync_.FileChanged(disk);
    std::string kept;
    Status failed = OpenShortcutsFile(rows_, codes_, std::get<std::string>(bytes), chosen, win::SystemLegacyCodePage(),
                                      [&](std::string_view content) -> Status {
                                          if (keep) {
                                              if (Status notKept = KeepDiskVersion(target, kept)) return notKept;
                                          }
                                          return win::SaveShortcutsFile(target, std::string(content));
                                      });
    if (failed) return failed;
    // The shortcuts file now holds the chosen file and the rows hold its rows.
    sync_.Remember(win::LookAtTable(target).bytes, FormatShortcuts(ReadRows(rows_)));
    RefreshRowIcons();
    if (!kept.empty()) {
        notifyIcon_.ShowBalloon(ids::kProductName,
                                "The shortcuts file had been changed outside Brimlow since it was last loaded. That "
                                "version is kept in " + kept + "; File > Open loads it.");
    }
    return std::nullopt;
}

void Form1::SaveCommand() {
    CommonDialog1.Filter = kConfigurationFilter;
    CommonDialog1.FileName.clear();
    if (!CommonDialog1.ShowSave(hwnd_)) return;
    if (Status failed = SaveShortcuts(CommonDialog1.FileName)) ReportError(*failed);
}

void Form1::ExitCommand() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void Form1::ContextCommand() {
    if (Status failed = ostrad_.Call(programFolder_ + "\\help.txt", 1, std::string())) ReportError(*failed);
}

void Form1::AboutCommand() {
    frmAbout about(instance_, versionFile);
    about.ShowModal(hwnd_, dpi_);
}

void Form1::HideCommand() { ShowWindow(hwnd_, SW_HIDE); }

void Form1::PauseCommand() { SetPaused(!Paused()); }

void Form1::OnNotifyIcon(WPARAM wParam, LPARAM lParam) {
    switch (notifyIcon_.OnMessage(wParam, lParam)) {
        case win::NotifyIconCommand::Show: ShowAndActivate(); break;
        case win::NotifyIconCommand::Hide: HideCommand(); break;
        case win::NotifyIconCommand::Pause: PauseCommand(); break;
        // Exactly File > Exit: the rows are saved as the window closes.
        case win::NotifyIconCommand::Exit: ExitCommand(); break;
        case win::NotifyIconCommand::None: break;
    }
}

}  // namespace brimlow
