#include "frm_about.h"

#include <vector>

#include "control_ids.h"
#include "gui.h"
#include "layout.h"
#include "module2.h"
#include "paths.h"

namespace brimlow {
namespace {

using layout::TwipsRect;

// Short enough to end before the OK button, which shares its line.
constexpr const char* kFixedLine = "Hot keys for your programs.";

// Client area and the top left corner of the client area on the screen.
constexpr int kClientWidth = 4875;
constexpr int kClientHeight = 1725;
constexpr int kScreenLeft = 2340;
constexpr int kScreenTop = 1935;

constexpr TwipsRect kImage1{120, 240, 480, 480};
constexpr TwipsRect kLblTitle{810, 240, 3885, 480};
constexpr TwipsRect kLblVersion{840, 780, 3885, 225};
constexpr TwipsRect kLabel1{840, 1200, 3885, 225};
constexpr TwipsRect kCmdOK{3480, 1320, 1260, 345};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// An empty dialog template: the controls are laid out from twips at load.
struct EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

HWND Place(HWND parent, const char* cls, const char* text, DWORD style, int id, const TwipsRect& twips, int dpi,
           HFONT font) {
    const layout::PixelRect r = layout::ToPixels(twips, dpi);
    HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width, r.height, parent,
                                   win::ChildId(id), nullptr, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// The version library, bound when the About box first shows: nothing else
// reads a version, and a library imported by the program is loaded at every
// start. It stays loaded for the rest of the run.
struct VersionFunctions {
    decltype(&GetFileVersionInfoSizeA) sizeOf = nullptr;
    decltype(&GetFileVersionInfoA) read = nullptr;
    decltype(&VerQueryValueA) query = nullptr;
};

template <typename Function>
Function Bound(HMODULE library, const char* name) {
    return library == nullptr ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const VersionFunctions& BoundVersionFunctions() {
    static const VersionFunctions functions = [] {
        HMODULE library = LoadLibraryExA("version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return VersionFunctions{Bound<decltype(&GetFileVersionInfoSizeA)>(library, "GetFileVersionInfoSizeA"),
                                Bound<decltype(&GetFileVersionInfoA)>(library, "GetFileVersionInfoA"),
                                Bound<decltype(&VerQueryValueA)>(library, "VerQueryValueA")};
    }();
    return functions;
}

}  // namespace

frmAbout::frmAbout(HINSTANCE instance, std::string versionFile)
    : instance_(instance), versionFile_(std::move(versionFile)) {
    if (versionFile_.empty()) versionFile_ = win::ModuleFile();
}

std::string frmAbout::VersionLine(const std::string& file) {
    const VersionFunctions& version = BoundVersionFunctions();
    if (!version.sizeOf || !version.read || !version.query) return std::string();
    DWORD ignored = 0;
    const DWORD size = version.sizeOf(file.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!version.read(file.c_str(), 0, size, data.data())) return std::string();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!version.query(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || info == nullptr) {
        return std::string();
    }
    return "Version " + std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS));
}

void frmAbout::ShowModal(HWND owner) {
    EmptyTemplate dialog{};
    dialog.header.style = kStyle;
    DialogBoxIndirectParamA(instance_, &dialog.header, owner, &frmAbout::Proc, reinterpret_cast<LPARAM>(this));
    // The box is gone: its fonts are no longer drawn with.
    font_.Reset();
    titleFont_.Reset();
}

void frmAbout::Form_Load(HWND hwnd) {
    Module2::InitCommonCtrls();
    SetWindowTextA(hwnd, (std::string("About ") + ids::kProductName).c_str());

    const int dpi = static_cast<int>(GetDpiForWindow(hwnd));
    font_ = win::DialogFont(dpi);
    titleFont_ = win::MakeFont("MS Shell Dlg 2", 1400, dpi, true);
    const auto font = static_cast<HFONT>(font_.Get());

    HWND image = Place(hwnd, "STATIC", "", SS_ICON | SS_REALSIZEIMAGE, ids::kAboutImage1, kImage1, dpi, font);
    HICON icon = win::ProgramIcon(32);
    if (icon != nullptr) SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    HICON small = win::ProgramIcon(16);
    if (icon != nullptr) SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (small != nullptr) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    Place(hwnd, "STATIC", VersionLine(versionFile_).c_str(), SS_LEFT, ids::kAboutVersion, kLblVersion, dpi, font);
    Place(hwnd, "STATIC", ids::kProductName, SS_LEFT, ids::kAboutTitle, kLblTitle, dpi, static_cast<HFONT>(titleFont_.Get()));
    Place(hwnd, "STATIC", kFixedLine, SS_LEFT, ids::kAboutLabel1, kLabel1, dpi, font);
    HWND ok = Place(hwnd, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, kCmdOK, dpi, font);

    RECT frame{0, 0, layout::TwipsToPixels(kClientWidth, dpi), layout::TwipsToPixels(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)),
                             static_cast<UINT>(dpi));
    SetWindowPos(hwnd, nullptr, layout::TwipsToPixels(kScreenLeft, dpi) + frame.left,
                 layout::TwipsToPixels(kScreenTop, dpi) + frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(ok);
}

void frmAbout::cmdOK_Click(HWND hwnd) { EndDialog(hwnd, IDOK); }

INT_PTR CALLBACK frmAbout::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        reinterpret_cast<frmAbout*>(lParam)->Form_Load(hwnd);
        return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<frmAbout*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            // OK is both the default button (Enter) and the cancel button
            // (Escape and the close box arrive as IDCANCEL).
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                self->cmdOK_Click(hwnd);
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == ids::kAboutTitle) {
                SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        default: break;
    }
    return FALSE;
}

}  // namespace brimlow
