// The benchmarks' floor: the Win32 work the main window needs, in the main
// window's order, and nothing of the program's own. COM, the common controls,
// the frame sized to the client area, the menu bar with its ten items, the
// toolbar with its standard images, ten rows of the same controls at the same
// places in the same fonts, ten icons drawn into their boxes, then the window
// shown, with the hidden labels that name the row boxes for screen readers and
// the notification-area icon. No shortcuts file, no registry, no key codes,
// no launcher library: what the program takes beyond this floor is its own
// work.
//   floor.exe [hidden]   hidden: the window stays hidden; the 100 ms timer
//                        runs, as the main window's polling timer does
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <array>
#include <cstring>

#include "accessible_names.h"
#include "gui.h"
#include "icon_box.h"
#include "layout.h"
#include "notify_icon.h"

namespace {

using brimlow::kRowCount;
namespace layout = brimlow::layout;
namespace win = brimlow::win;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The same targets as the benchmark's shortcuts file; a document without an
// icon of its own gets the shell's stock icon.
constexpr const char* kTargets[kRowCount] = {
    "C:\\windows\\notepad.exe", "C:\\windows\\win.ini",          "C:\\windows\\regedit.exe",
    "C:\\windows\\system32\\calc.exe", "C:\\windows\\system.ini", "C:\\a.txt",
    "C:\\windows\\system32\\cmd.exe",  "C:\\windows\\explorer.exe", "C:\\b.bmp",
    "C:\\windows\\system32\\write.exe"};

struct Floor {
    HINSTANCE instance = nullptr;
    HWND hwnd = nullptr;
    int dpi = 96;
    win::UniqueGdi font;
    win::UniqueGdi plusFont;
    std::array<win::IconBox, kRowCount> icons{};
    // The main window's own notification icon, so the floor pays what it pays.
    win::NotifyIcon notifyIcon;
};

RECT ToRect(const layout::TwipsRect& twips, int dpi) {
    const layout::PixelRect px = layout::ToPixels(twips, dpi);
    return RECT{px.left, px.top, px.left + px.width, px.top + px.height};
}

HWND Place(Floor& floor, const char* cls, const char* text, DWORD style, DWORD exStyle, int id,
           const layout::TwipsRect& twips, HGDIOBJ font, int extraHeight = 0) {
    const RECT r = ToRect(twips, floor.dpi);
    HWND control = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top + extraHeight, floor.hwnd, win::ChildId(id), floor.instance,
                                   nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void CreateRows(Floor& floor) {
    using layout::Column;
    floor.dpi = static_cast<int>(GetDpiForWindow(floor.hwnd));
    floor.font = win::DialogFont(floor.dpi);
    floor.plusFont = win::MakeFont("MS Sans Serif", 825, floor.dpi, true);
    const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    for (int row = 0; row < kRowCount; ++row) {
        const int id = 1000 + row * 10;
        floor.icons[static_cast<std::size_t>(row)].Create(floor.hwnd, id, ToRect(layout::RowControl(Column::Icon, row), floor.dpi),
                                                          floor.instance);
        const auto label = [&floor, row](const char* what) {
            win::MakeNameLabel(floor.hwnd, floor.instance, win::RowName(row, what));
        };
        label("first key");
        Place(floor, "EDIT", "CTRL", edit, WS_EX_CLIENTEDGE, id + 1, layout::RowControl(Column::FirstKey, row),
              floor.font.Get());
        Place(floor, "STATIC", "+", SS_CENTER, 0, id + 2, layout::RowControl(Column::Plus, row), floor.plusFont.Get());
        label("letter");
        Place(floor, "EDIT", "N", edit, WS_EX_CLIENTEDGE, id + 3, layout::RowControl(Column::Letter, row),
              floor.font.Get());
        label("target");
        Place(floor, "EDIT", kTargets[row], edit, WS_EX_CLIENTEDGE, id + 4, layout::RowControl(Column::Path, row),
              floor.font.Get());
        label("window state");
        HWND combo = Place(floor, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, id + 5,
                           layout::RowControl(Column::WindowState, row), floor.font.Get(),
                           layout::TwipsToPixels(1200, floor.dpi));
        for (const char* state : {"1 - Normal", "2 - Minimized", "3 - Maximized"}) {
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(state));
        }
        SetWindowTextA(combo, "1 - Normal");
        HWND check = Place(floor, "BUTTON", "Active", WS_TABSTOP | BS_3STATE, 0, id + 6,
                           layout::RowControl(Column::Active, row), floor.font.Get());
        SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    }
    Place(floor, "BUTTON", "Hide", WS_TABSTOP | BS_PUSHBUTTON, 0, 1100, layout::kHideButton, floor.font.Get());
}

void FitToClientArea(const Floor& floor) {
    RECT frame{0, 0, layout::TwipsToPixels(layout::kClientWidth, floor.dpi),
               layout::TwipsToPixels(layout::kClientHeight, floor.dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, GetMenu(floor.hwnd) != nullptr, kExStyle, static_cast<UINT>(floor.dpi));
    SetWindowPos(floor.hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BuildMenu(const Floor& floor) {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU help = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 40002, "&Open...\tCtrl+O");
    AppendMenuA(file, MF_STRING, 40003, "&Save...\tCtrl+S");
    AppendMenuA(file, MF_SEPARATOR, 40004, nullptr);
    AppendMenuA(file, MF_STRING, 40005, "E&xit\tAlt+Q");
    AppendMenuA(help, MF_STRING, 40007, "&Context\tCtrl+H");
    AppendMenuA(help, MF_SEPARATOR, 40008, nullptr);
    AppendMenuA(help, MF_STRING, 40009, "&About");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    AppendMenuA(bar, MF_STRING, 40010, "Hi&de Window");
    SetMenu(floor.hwnd, bar);
    FitToClientArea(floor);
}

void BuildToolbar(const Floor& floor) {
    const layout::PixelRect bar = layout::ToPixels(layout::kToolbar, floor.dpi);
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                   WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                   bar.left, bar.top, bar.width, bar.height, floor.hwnd, win::ChildId(1101), floor.instance,
                                   nullptr);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_LOADIMAGES, floor.dpi >= 144 ? IDB_STD_LARGE_COLOR : IDB_STD_SMALL_COLOR,
                 reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const std::array<std::pair<int, BYTE>, 5> kinds{{{0, BTNS_SEP},
                                                     {STD_FILEOPEN, BTNS_BUTTON},
                                                     {STD_FILESAVE, BTNS_BUTTON},
                                                     {0, BTNS_SEP},
                                                     {STD_HELP, BTNS_BUTTON}}};
    std::array<TBBUTTON, 5> buttons{};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i].iBitmap = kinds[i].first;
        buttons[i].idCommand = static_cast<int>(41001 + i);
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = kinds[i].second;
    }
    SendMessageA(toolbar, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
}

void DrawIcons(Floor& floor) {
    char stock[MAX_PATH] = {};
    GetSystemDirectoryA(stock, MAX_PATH);
    std::strcat(stock, "\\SHELL32.DLL");
    for (int row = 0; row < kRowCount; ++row) {
        win::IconBox& box = floor.icons[static_cast<std::size_t>(row)];
        box.Clear();
        HICON icon = ExtractIconA(floor.instance, kTargets[row], 0);
        if (icon == nullptr || icon == reinterpret_cast<HICON>(1)) icon = ExtractIconA(floor.instance, stock, 0);
        if (icon != nullptr && icon != reinterpret_cast<HICON>(1)) {
            DrawIcon(box.Dc(), 0, 0, icon);
            DestroyIcon(icon);
        }
        box.Invalidate();
    }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* floor = static_cast<Floor*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        floor->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(floor));
    }
    auto* floor = reinterpret_cast<Floor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_CREATE:
            CreateRows(*floor);
            FitToClientArea(*floor);
            SetTimer(hwnd, 1, 100, nullptr);
            return 0;
        case WM_TIMER: return 0;
        case WM_DESTROY:
            floor->notifyIcon.Remove();
            PostQuitMessage(0);
            return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const bool hidden = std::strstr(commandLine, "hidden") != nullptr;
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Floor floor;
    floor.instance = instance;
    win::IconBox::RegisterClass(instance);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "BrimlowBenchFloor";
    if (RegisterClassExA(&wc) == 0) return 1;
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (CreateWindowExA(kExStyle, wc.lpszClassName, "Floor", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, owner, nullptr, instance, &floor) == nullptr) {
        return 1;
    }
    INITCOMMONCONTROLSEX controls{8, ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    BuildMenu(floor);
    BuildToolbar(floor);
    DrawIcons(floor);
    floor.notifyIcon.Add(floor.hwnd);
    if (!hidden) ShowWindow(floor.hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyWindow(owner);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
