#include "form1.h"

#include <commctrl.h>

#include <utility>

#include "code_page.h"
#include "control_ids.h"
#include "gui.h"
#include "icons.h"
#include "key_codes.h"
#include "layout.h"
#include "module2.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "single_instance.h"
#include "start_at_logon.h"
#include "startup_trace.h"
#include "win_errors.h"

namespace brimlow {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 100;
// Fires once, the first time the message queue is empty: loading oleacc and
// naming the Active boxes takes about 2.6 ms under Wine, too much to add to
// every start before the window shows.
constexpr UINT_PTR kNamesTimer = 2;

constexpr const char* kWindowStates[] = {"1 - Normal", "2 - Minimized", "3 - Maximized"};

// The "+" between a row's two keys; the other controls use the dialog font.
constexpr const char* kPlusFace = "MS Sans Serif";
constexpr int kPlusHundredthsOfAPoint = 825;

// The Active box is a three-state button whose check states are the row's
// Active states, so the core's numbers go to and from it unchanged.
static_assert(BST_UNCHECKED == kActiveOff && BST_CHECKED == kActiveOn && BST_INDETERMINATE == kActiveDimmed);

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

std::string WindowText(HWND hwnd) {
    // Most texts are short: one call into the control reads them whole. Only
    // a text that nearly fills the buffer costs a second call for its length:
    // a UTF-8 character of up to four bytes that does not fit is left out
    // whole, so a cut text can end up to three bytes short of the buffer.
    char buffer[256];
    constexpr int kLongestUtf8Character = 4;
    const int copied = GetWindowTextA(hwnd, buffer, sizeof buffer);
    if (copied < static_cast<int>(sizeof buffer) - kLongestUtf8Character) {
        return std::string(buffer, copied > 0 ? copied : 0);
    }
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int whole = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(whole > 0 ? whole : 0));
    return text;
}

// F4 or Alt+Down, the keys that open a drop-down list, open a path box's file
// dialog for keyboard users. A held key's repeats do not open it once more
// after the user closed it.
bool IsFileDialogKey(UINT message, WPARAM key, LPARAM flags) {
    const bool repeat = (flags & (LPARAM{1} << 30)) != 0;
    const bool altDown = (flags & (LPARAM{1} << 29)) != 0;
    if (repeat) return false;
    if (message == WM_KEYDOWN) return key == VK_F4;
    return message == WM_SYSKEYDOWN && key == VK_DOWN && altDown;
}

RECT ToRect(const layout::TwipsRect& twips, int dpi) {
    const layout::PixelRect px = layout::ToPixels(twips, dpi);
    return RECT{px.left, px.top, px.left + px.width, px.top + px.height};
}

// A window or class the system refused to make, with the system's reason.
Error WindowError(const std::string& what) {
    return Error{error_number::kInternal, what + ": " + win::SystemMessage(GetLastError()) + "."};
}

class AsyncKeyboard final : public KeyboardState {
public:
    std::uint16_t Query(std::int32_t virtualKey) override {
        return static_cast<std::uint16_t>(GetAsyncKeyState(virtualKey));
    }
};

class FormTickActions final : public TickActions {
public:
    FormTickActions(Form1& form, win::TickCalls& calls) : form_(form), calls_(calls) {}
    void Launch(const std::string& file, std::int16_t showCmd, const std::string& directory) override {
        calls_.Launch(file, showCmd, directory);
    }
    void ShowMainWindow() override { form_.ShowMainWindow(); }
    bool TakeForegroundRight(HotKeyModifiers down) override { return calls_.TakeForegroundRight(form_.Hwnd(), down); }
    void PassForegroundRightOn() override { calls_.AllowSetForegroundWindow(); }
    void BringMainWindowToFront() override { calls_.SetForegroundWindow(form_.Hwnd()); }

private:
    Form1& form_;
    win::TickCalls& calls_;
};

}  // namespace

// ---- the rows as the core sees them ----

HWND Form1Rows::Control(Box box, int row) const {
    const auto i = static_cast<std::size_t>(row);
    switch (box) {
        case Box::FirstKey: return text1_[i];
        case Box::Letter: return text3_[i];
        case Box::Path: return text2_[i];
        case Box::WindowState: return combo1_[i];
    }
    return nullptr;
}

std::string Form1Rows::Text(Box box, int row) const { return WindowText(Control(box, row)); }

void Form1Rows::SetText(Box box, int row, const std::string& text) { SetWindowTextA(Control(box, row), text.c_str()); }

int Form1Rows::Active(int row) const {
    return static_cast<int>(SendMessageA(check1_[static_cast<std::size_t>(row)], BM_GETCHECK, 0, 0));
}

void Form1Rows::SetActive(int row, int state) {
    SendMessageA(check1_[static_cast<std::size_t>(row)], BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

// ---- the window ----

Form1::Form1(HINSTANCE instance, std::string programFolder)
    : instance_(instance), programFolder_(std::move(programFolder)), ostrad_(programFolder_) {}

Form1::~Form1() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (owner_ != nullptr) DestroyWindow(owner_);
}

Status Form1::Create() {
    win::IconBox::RegisterClass(instance_);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Form1::Proc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ids::kForm1Class;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return WindowError("Cannot register the main window");
    }

    // An owned window gets no taskbar button; the owner is never shown.
    owner_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
    hwnd_ = CreateWindowExA(kFormExStyle, ids::kForm1Class, ids::kForm1Title, kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, owner_, nullptr, instance_, this);
    if (hwnd_ == nullptr) return WindowError("Cannot create the main window");
    return std::nullopt;
}

LRESULT CALLBACK Form1::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<Form1*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == win::ShowMainWindowMessage()) {
        // A second start of this folder: the user wants this window.
        ShowAndActivate();
        return 0;
    }
    if (message == win::PauseHotKeysMessage()) {
        // A start with /pause or /resume: the answer tells it the request
        // arrived.
        SetPaused(wParam != 0);
        return win::kPauseHotKeysDone;
    }
    if (message == win::NotifyIcon::TaskbarCreatedMessage()) {
        notifyIcon_.Restore();
        return 0;
    }
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_TIMER:
            if (wParam == kTimer1) {
                Timer1_Timer();
                if (++ticksSinceFolderLook_ == kTicksPerFolderLook) {
                    ticksSinceFolderLook_ = 0;
                    TakeTableFolderChanges();
                }
            } else if (wParam == kNamesTimer) {
                KillTimer(hwnd_, kNamesTimer);
                accessibleNames_.Apply();
            } else if (wParam == kTableWatchTimer) {
                OnTableWatchTimer();
            }
            return 0;
        case WM_ENABLE:
            // One of the program's own modal windows has closed: a change
            // noted meanwhile is looked at once the command that opened it
            // has finished.
            if (wParam != FALSE && tableChangePending_) PostMessageA(hwnd_, kTableLookMessage, 0, 0);
            return 0;
        case kTableLookMessage: OnTableLook(tableWatch_.TakeWaiting()); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_HOTKEY:
            // A round's key that came after its wait: its hot keys can go.
            // The window has no hot key of another kind.
            round_.OnHotKey(wParam);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED: OnColorsChanged(); return 0;
        case WM_SETTINGCHANGE: OnSettingChange(wParam, lParam); return 0;
        case ids::kNotifyIconMessage: OnNotifyIcon(wParam, lParam); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION: OnEndSession(wParam != FALSE, lParam); return 0;
        case WM_DESTROY:
            tableWatch_.Stop();
            KillTimer(hwnd_, kTimer1);
            KillTimer(hwnd_, kNamesTimer);
            KillTimer(hwnd_, kTableWatchTimer);
            notifyIcon_.Remove();
            accessibleNames_.Clear();
            if (quitWhenDestroyed_) PostQuitMessage(exitCode_);
            return 0;
        case WM_NCDESTROY: {
            // The last message the window gets; the system still needs its
            // handle for the default handling.
            const HWND hwnd = hwnd_;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        default: break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void Form1::OnCreate() {
    dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
    if (dpi_ <= 0) dpi_ = 96;
    MakeFonts();
    icons_ = win::SetWindowIcons(hwnd_, dpi_);
    // Each control is made where it belongs, in its font: under Wine moving
    // and sizing sixty controls a second time cost a quarter of the start-up.
    CreateControls();
    BRIMLOW_TRACE_MARK("controls");
    FitToClientArea();
    BRIMLOW_TRACE_MARK("layout");
    controlsReady_ = true;
    // The timer runs from creation, hidden or shown, until the window goes.
    SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
    SetTimer(hwnd_, kNamesTimer, USER_TIMER_MINIMUM, nullptr);
}

void Form1::MakeFonts() {
    font_ = win::DialogFont(dpi_);
    plusFont_ = win::MakeFont(kPlusFace, kPlusHundredthsOfAPoint, dpi_, true);
}

// The creation order is the Tab order: row by row, left to right, then the
// Hide button. The icon boxes, the "+" labels and the hidden labels that name
// the boxes for screen readers are no tab stops, and the toolbar, made
// later, is none either.
void Form1::CreateControls() {
    using layout::Column;
    const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    const auto font = font_.Get();
    for (int row = 0; row < kRowCount; ++row) {
        const auto i = static_cast<std::size_t>(row);
        picture3_[i].Create(hwnd_, ids::kPicture3 + row, ToRect(layout::RowControl(Column::Icon, row), dpi_), instance_);
        win::MakeNameLabel(hwnd_, instance_, win::RowName(row, "first key"));
        rows_.text1_[i] = MakeControl(WS_EX_CLIENTEDGE, "EDIT", kInitialFirstKey, edit, ids::kText1 + row,
                                      layout::RowControl(Column::FirstKey, row), font);
        label1_[i] = MakeControl(0, "STATIC", "+", SS_CENTER, ids::kLabel1 + row, layout::RowControl(Column::Plus, row),
                                 plusFont_.Get());
        win::MakeNameLabel(hwnd_, instance_, win::RowName(row, "letter"));
        rows_.text3_[i] = MakeControl(WS_EX_CLIENTEDGE, "EDIT", kInitialLetter, edit, ids::kText3 + row,
                                      layout::RowControl(Column::Letter, row), font);
        win::MakeNameLabel(hwnd_, instance_, win::RowName(row, "target"));
        rows_.text2_[i] = MakeControl(WS_EX_CLIENTEDGE, "EDIT", kInitialPath, edit, ids::kText2 + row,
                                      layout::RowControl(Column::Path, row), font);
        win::MakeNameLabel(hwnd_, instance_, win::RowName(row, "window state"));
        // The box scrolls as the user types, so a window state longer than
        // the box is taken whole; the tick reads only its first character.
        rows_.combo1_[i] = MakeControl(0, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                       ids::kCombo1 + row, layout::RowControl(Column::WindowState, row), font,
                                       ComboListHeight());
        for (const char* state : kWindowStates) {
            SendMessageA(rows_.combo1_[i], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(state));
        }
        SetWindowTextA(rows_.combo1_[i], kInitialWindowState);
        rows_.check1_[i] = MakeControl(0, "BUTTON", "Active", WS_TABSTOP | BS_3STATE, ids::kCheck1 + row,
                                       layout::RowControl(Column::Active, row), font);
        SendMessageA(rows_.check1_[i], BM_SETCHECK, BST_CHECKED, 0);
        accessibleNames_.Add(row, rows_.check1_[i], win::RowName(row, "Active"));
        // The key-down handler must run before the box handles the key.
        SetWindowSubclass(rows_.text1_[i], &Form1::Text1Proc, static_cast<UINT_PTR>(row),
                          reinterpret_cast<DWORD_PTR>(this));
        SetWindowSubclass(rows_.text2_[i], &Form1::Text2Proc, static_cast<UINT_PTR>(row),
                          reinterpret_cast<DWORD_PTR>(this));
    }
    command1_ = MakeControl(0, "BUTTON", "Hide", WS_TABSTOP | BS_PUSHBUTTON, ids::kCommand1, layout::kHideButton, font);
}

HWND Form1::MakeControl(DWORD exStyle, const char* windowClass, const char* text, DWORD style, int id,
                        const layout::TwipsRect& twips, HGDIOBJ font, int extraHeight) {
    const RECT r = ToRect(twips, dpi_);
    HWND control = CreateWindowExA(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                   r.right - r.left, r.bottom - r.top + extraHeight, hwnd_, win::ChildId(id), instance_,
                                   nullptr);
    // Not shown yet: nothing to redraw.
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// A drop-down combo's height includes its list: room for the three items.
int Form1::ComboListHeight() const { return layout::TwipsToPixels(1200, dpi_); }

void Form1::SetControlFonts() {
    auto give = [](HWND control, const win::UniqueGdi& font) {
        // Not redrawn now: the window is drawn once when all is in place.
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    };
    for (int row = 0; row < kRowCount; ++row) {
        const auto i = static_cast<std::size_t>(row);
        for (HWND control : {rows_.text1_[i], rows_.text3_[i], rows_.text2_[i], rows_.combo1_[i], rows_.check1_[i]}) {
            give(control, font_);
        }
        give(label1_[i], plusFont_);
    }
    give(command1_, font_);
}

void Form1::LayoutControls() {
    using layout::Column;
    auto place = [this](HWND control, const layout::TwipsRect& twips, int extraHeight = 0) {
        const RECT r = ToRect(twips, dpi_);
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top + extraHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    };
    for (int row = 0; row < kRowCount; ++row) {
        const auto i = static_cast<std::size_t>(row);
        picture3_[i].Move(ToRect(layout::RowControl(Column::Icon, row), dpi_));
        place(rows_.text1_[i], layout::RowControl(Column::FirstKey, row));
        place(label1_[i], layout::RowControl(Column::Plus, row));
        place(rows_.text3_[i], layout::RowControl(Column::Letter, row));
        place(rows_.text2_[i], layout::RowControl(Column::Path, row));
        place(rows_.combo1_[i], layout::RowControl(Column::WindowState, row), ComboListHeight());
        place(rows_.check1_[i], layout::RowControl(Column::Active, row));
    }
    place(command1_, layout::kHideButton);
}

void Form1::FitToClientArea(const POINT* topLeft) {
    RECT frame{0, 0, layout::TwipsToPixels(layout::kClientWidth, dpi_), layout::TwipsToPixels(layout::kClientHeight, dpi_)};
    AdjustWindowRectExForDpi(&frame, kFormStyle, GetMenu(hwnd_) != nullptr, kFormExStyle, static_cast<UINT>(dpi_));
    const UINT keepPlace = topLeft == nullptr ? SWP_NOMOVE : 0;
    SetWindowPos(hwnd_, nullptr, topLeft != nullptr ? topLeft->x : 0, topLeft != nullptr ? topLeft->y : 0,
                 frame.right - frame.left, frame.bottom - frame.top, keepPlace | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sixty controls change font and place. Each gets its new font before
// anything moves, nothing is drawn until all are in place, and the old fonts
// are deleted only once no control holds them: no control ever draws in a
// deleted font or paints twice.
void Form1::OnDpiChanged(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    win::UniqueGdi oldFont = std::move(font_);
    win::UniqueGdi oldPlusFont = std::move(plusFont_);
    MakeFonts();
    // Turning drawing back on would show a hidden window's contents.
    const bool visible = IsWindowVisible(hwnd_) != FALSE;
    if (visible) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    SetControlFonts();
    LayoutControls();
    // The icon boxes were remade at the new size; draw the icons again.
    RefreshRowIcons();
    if (toolbar1_ != nullptr) BuildToolbar();
    const win::WindowIcons oldIcons = std::exchange(icons_, win::SetWindowIcons(hwnd_, dpi_));
    if (visible) SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    notifyIcon_.Reload();
    const POINT topLeft = suggested != nullptr ? POINT{suggested->left, suggested->top} : POINT{};
    FitToClientArea(suggested != nullptr ? &topLeft : nullptr);
    oldFont.Reset();
    oldPlusFont.Reset();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form1::OnSettingChange(WPARAM setting, LPARAM area) {
    // The toolbar measures itself from the system's metrics.
    if (toolbar1_ != nullptr) SendMessageA(toolbar1_, WM_SETTINGCHANGE, setting, area);
    if (setting == SPI_SETHIGHCONTRAST) OnColorsChanged();
    // Another menu font or caption height changes the frame; the client
    // area, where the rows are laid out, keeps its size.
    if (setting == SPI_SETNONCLIENTMETRICS) FitToClientArea();
    if (setting == SPI_SETICONMETRICS) {
        const win::WindowIcons oldIcons = std::exchange(icons_, win::SetWindowIcons(hwnd_, dpi_));
    }
}

// High contrast, another colour scheme or theme: everything drawn once with
// the colours of its day is drawn again with the new ones.
void Form1::OnColorsChanged() {
    // The toolbar, a common control, keeps its own copy of the colours.
    if (toolbar1_ != nullptr) SendMessageA(toolbar1_, WM_SYSCOLORCHANGE, 0, 0);
    MakeMenuPictures();
    RefreshRowIcons();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form1::OnCommand(int id, int code) {
    if (!controlsReady_) return;
    if (id >= ids::kText3 && id < ids::kText3 + kRowCount && code == EN_CHANGE) {
        Text3_Change(static_cast<std::int16_t>(id - ids::kText3));
    } else if (id >= ids::kCheck1 && id < ids::kCheck1 + kRowCount && code == BN_CLICKED) {
        const int row = id - ids::kCheck1;
        rows_.SetActive(row, ActiveAfterClick(rows_.Active(row)));
    } else if (id == ids::kCommand1 && code == BN_CLICKED) {
        Command1_Click();
    } else if (id >= ids::MenuCommand(1) && id <= ids::MenuCommand(ids::kMenuItemCount)) {
        SmartMenuXP1_MenuClick(id - ids::kMenuItemBase);
    } else if (id >= ids::ToolbarCommand(1) && id <= ids::ToolbarCommand(ids::kToolbarButtonCount)) {
        Toolbar1_ButtonClick(static_cast<std::int16_t>(id - ids::kToolbarButtonBase));
    }
}

LRESULT CALLBACK Form1::Text1Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row, DWORD_PTR self) {
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        auto* form = reinterpret_cast<Form1*>(self);
        std::int16_t shift = 0;
        if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
        if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
        if (GetKeyState(VK_MENU) < 0) shift |= 4;
        form->Text1_KeyDown(static_cast<std::int16_t>(row), static_cast<std::int16_t>(wParam), shift);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &Form1::Text1Proc, row);
    }
    // The key is not consumed: the box handles it after the handler.
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Form1::Text2Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row, DWORD_PTR self) {
    auto* form = reinterpret_cast<Form1*>(self);
    if (message == WM_LBUTTONDBLCLK) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        form->Text2_DblClick(static_cast<std::int16_t>(row));
        return result;
    }
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && IsFileDialogKey(message, wParam, lParam)) {
        // The box has no use of its own for these keys.
        form->Text2_DblClick(static_cast<std::int16_t>(row));
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &Form1::Text2Proc, row);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// ---- start-up and shutdown ----

Status Form1::Form_Load() {
    Module3::RegisterStartAtLogon(programFolder_);
    BRIMLOW_TRACE_MARK("registration");
    Module2::InitCommonCtrls();
    BRIMLOW_TRACE_MARK("common controls");
    BuildMenu();
    BRIMLOW_TRACE_MARK("menu");
    BuildToolbar();
    BRIMLOW_TRACE_MARK("toolbar");
    if (Status failed = LoadShortcuts(ShortcutsPath())) return failed;
    ResolveKeyCodes();
    BRIMLOW_TRACE_MARK("key codes");
    // Only a start that will run shows the icon; a shell that refuses it
    // leaves the program as it was without one.
    notifyIcon_.Add(hwnd_);
    BRIMLOW_TRACE_MARK("notification icon");
    ReportLastSession();
    // What a save that never ended (a crash, a power cut) left beside it.
    win::RemoveLeftTemporaries(ShortcutsPath());
    StartTableWatch();
    BRIMLOW_TRACE_MARK("table watch");
    return std::nullopt;
}

Status Form1::LoadShortcuts(const std::string& path) {
    win::FileBytes bytes = win::ReadShortcutsFile(path);
    BRIMLOW_TRACE_MARK("file read");
    if (const Error* failed = std::get_if<Error>(&bytes)) return *failed;
    const std::string& read = std::get<std::string>(bytes);
    if (Status failed = ApplyShortcutsFile(rows_, read, path, win::SystemLegacyCodePage())) return failed;
    // The program's own table: what a later change or close compares with.
    if (path == ShortcutsPath()) sync_.Remember(read, FormatShortcuts(ReadRows(rows_)));
    BRIMLOW_TRACE_MARK("rows applied");
    RefreshRowIcons();
    BRIMLOW_TRACE_MARK("icons");
    return std::nullopt;
}

Status Form1::SaveShortcuts(const std::string& path) {
    return win::SaveShortcutsFile(path, FormatShortcuts(ReadRows(rows_)));
}

void Form1::ReportError(const Error& error) { win::ShowErrorBox(hwnd_, error); }

// ---- handlers ----

void Form1::Timer1_Timer() {
    AsyncKeyboard keyboard;
    win::SystemTickCalls system(ostrad_, round_);
    FormTickActions actions(*this, tickCalls_ != nullptr ? *tickCalls_ : system);
    if (ticker_.Run(rows_, codes_, keyboard, actions)) round_.AfterTick(!ticker_.ReleaseRoundDue());
}

void Form1::Text1_KeyDown(std::int16_t index, std::int16_t keyCode, std::int16_t /*shift*/) {
    PressFirstKey(rows_, codes_, index, keyCode);
}

void Form1::Text3_Change(std::int16_t index) { brimlow::ResolveRowKeyCodes(rows_, codes_, index); }

void Form1::Text2_DblClick(std::int16_t index) {
    CommonDialog1.Filter = "All files (*.*)|*.*";
    // A cancelled dialog leaves the row as it was: writing the remembered
    // name (often empty) into the box would throw the user's target away.
    if (!CommonDialog1.ShowOpen(hwnd_)) return;
    rows_.SetText(Box::Path, index, CommonDialog1.FileName);
    RefreshRowIcon(index);
}

void Form1::RefreshRowIcon(int row) {
    win::RefreshRowIcon(instance_, rows_.Text(Box::Path, row), picture3_[static_cast<std::size_t>(row)]);
}

void Form1::RefreshRowIcons() {
    for (int row = 0; row < kRowCount; ++row) RefreshRowIcon(row);
}

void Form1::Command1_Click() { HideCommand(); }

void Form1::ResolveKeyCodes() { brimlow::ResolveKeyCodes(rows_, codes_); }

void Form1::ShowMainWindow() { ShowWindow(hwnd_, SW_SHOW); }

void Form1::SetPaused(bool paused) {
    ticker_.SetPaused(paused);
    notifyIcon_.SetPaused(paused);
}

void Form1::ShowAndActivate() {
    ShowMainWindow();
    // Asked from another process (a second start, the notification icon):
    // the right to come to the front is taken as for Ctrl+Alt+F1, and
    // without it the window is at least shown.
    AsyncKeyboard keyboard;
    round_.Take(hwnd_, ModifiersDown(keyboard));
    SetForegroundWindow(hwnd_);
}

}  // namespace brimlow
