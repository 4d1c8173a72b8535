#include "frm_about.h"

#include <algorithm>
#include <utility>
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

constexpr int kClientWidth = 4875;
constexpr int kClientHeight = 1725;

constexpr TwipsRect kImage1{120, 240, 480, 480};
constexpr TwipsRect kLblTitle{810, 240, 3885, 480};
constexpr TwipsRect kLblVersion{840, 780, 3885, 225};
constexpr TwipsRect kLabel1{840, 1200, 3885, 225};
constexpr TwipsRect kCmdOK{3480, 1320, 1260, 345};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// An empty dialog template: the controls are laid out from twips at load.
// The system reads a template from a DWORD boundary, and DLGTEMPLATE is
// declared with 2-byte packing, so alone it could start at any even address.
struct alignas(DWORD) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};
static_assert(alignof(EmptyTemplate) % alignof(DWORD) == 0);

struct Control {
    int id;
    TwipsRect twips;
};
constexpr Control kControls[] = {{ids::kAboutImage1, kImage1},  {ids::kAboutTitle, kLblTitle},
                                 {ids::kAboutVersion, kLblVersion}, {ids::kAboutLabel1, kLabel1},
                                 {IDOK, kCmdOK}};

// Made where LayOut puts it, in the font it gives.
HWND Make(HWND parent, const char* cls, const char* text, DWORD style, int id) {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent, win::ChildId(id), nullptr,
                           nullptr);
}

// Centred on the owner and kept inside the work area of the owner's monitor.
POINT CentredOn(HWND owner, int width, int height) {
    RECT around{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const bool onMonitor = GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor) != FALSE;
    if (owner == nullptr || !GetWindowRect(owner, &around)) around = monitor.rcWork;
    POINT at{around.left + (around.right - around.left - width) / 2, around.top + (around.bottom - around.top - height) / 2};
    if (onMonitor) {
        at.x = std::max(monitor.rcWork.left, std::min(at.x, monitor.rcWork.right - width));
        at.y = std::max(monitor.rcWork.top, std::min(at.y, monitor.rcWork.bottom - height));
    }
    return at;
}

// The dialog manager of Windows 10 1703 and later rescales a dialog's
// controls and fonts by itself on a DPI change; this box lays itself out
// from twips instead. Looked up by name: older systems and Wine lack it.
void KeepDialogManagerOutOfDpiChanges(HWND dialog) {
    using SetBehavior = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto set = user32 == nullptr ? nullptr
                                       : reinterpret_cast<SetBehavior>(reinterpret_cast<void*>(
                                             GetProcAddress(user32, "SetDialogDpiChangeBehavior")));
    if (set != nullptr) set(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
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

// Bound each time the box opens: version.dll stays loaded after the first.
VersionFunctions BoundVersionFunctions() {
    HMODULE library = win::SystemLibrary("version.dll");
    return VersionFunctions{Bound<decltype(&GetFileVersionInfoSizeA)>(library, "GetFileVersionInfoSizeA"),
                            Bound<decltype(&GetFileVersionInfoA)>(library, "GetFileVersionInfoA"),
                            Bound<decltype(&VerQueryValueA)>(library, "VerQueryValueA")};
}

}  // namespace

frmAbout::frmAbout(HINSTANCE instance, std::string versionFile)
    : instance_(instance), versionFile_(std::move(versionFile)) {
    if (versionFile_.empty()) versionFile_ = win::ModuleFile();
}

std::string frmAbout::VersionLine(const std::string& file) {
    const VersionFunctions version = BoundVersionFunctions();
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

void frmAbout::ShowModal(HWND owner, int dpi) {
    owner_ = owner;
    dpi_ = dpi;
    EmptyTemplate dialog{};
    dialog.header.style = kStyle;
    DialogBoxIndirectParamA(instance_, &dialog.header, owner, &frmAbout::Proc, reinterpret_cast<LPARAM>(this));
    // The box is gone: its fonts and icons are no longer drawn with.
    font_.Reset();
    titleFont_.Reset();
    image_.Reset();
    icons_ = win::WindowIcons{};
}

void frmAbout::Form_Load(HWND hwnd) {
    Module2::InitCommonCtrls();
    SetWindowTextA(hwnd, (std::string("About ") + ids::kProductName).c_str());
    KeepDialogManagerOutOfDpiChanges(hwnd);

    Make(hwnd, "STATIC", "", SS_ICON | SS_REALSIZEIMAGE, ids::kAboutImage1);
    Make(hwnd, "STATIC", VersionLine(versionFile_).c_str(), SS_LEFT, ids::kAboutVersion);
    Make(hwnd, "STATIC", ids::kProductName, SS_LEFT, ids::kAboutTitle);
    Make(hwnd, "STATIC", kFixedLine, SS_LEFT, ids::kAboutLabel1);
    HWND ok = Make(hwnd, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);
    LayOut(hwnd, dpi_, nullptr);
    SetFocus(ok);
}

// As the main window does it: new fonts to every control, every control
// moved without drawing, the old fonts deleted once no control holds them,
// and the box drawn once.
void frmAbout::LayOut(HWND hwnd, int dpi, const POINT* topLeft) {
    dpi_ = dpi;
    win::UniqueGdi oldFont = std::move(font_);
    win::UniqueGdi oldTitleFont = std::move(titleFont_);
    win::UniqueIcon oldImage = std::move(image_);
    font_ = win::DialogFont(dpi);
    titleFont_ = win::MakeFont("MS Shell Dlg 2", 1400, dpi, true);
    // The 32 x 32 picture at 96 dpi, at its own size at any other.
    image_ = win::ProgramIcon(layout::TwipsToPixels(kImage1.width, dpi));

    const bool visible = IsWindowVisible(hwnd) != FALSE;
    if (visible) SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0);
    for (const Control& control : kControls) {
        HWND child = GetDlgItem(hwnd, control.id);
        const HGDIOBJ font = control.id == ids::kAboutTitle ? titleFont_.Get() : font_.Get();
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageA(GetDlgItem(hwnd, ids::kAboutImage1), STM_SETICON, reinterpret_cast<WPARAM>(image_.Get()), 0);
    const win::WindowIcons oldIcons = std::exchange(icons_, win::SetWindowIcons(hwnd, dpi));
    for (const Control& control : kControls) {
        const layout::PixelRect r = layout::ToPixels(control.twips, dpi);
        SetWindowPos(GetDlgItem(hwnd, control.id), nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    if (visible) SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);

    RECT frame{0, 0, layout::TwipsToPixels(kClientWidth, dpi), layout::TwipsToPixels(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)),
                             static_cast<UINT>(dpi));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT at = topLeft != nullptr ? *topLeft : CentredOn(owner_, width, height);
    SetWindowPos(hwnd, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    oldFont.Reset();
    oldTitleFont.Reset();
    oldImage.Reset();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
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
            // The system's colours of the moment, so the title stays
            // readable in a high-contrast or any other colour scheme.
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == ids::kAboutTitle) {
                SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNTEXT));
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
            break;
        case WM_DPICHANGED: {
            // The suggested place keeps the box under the pointer while it
            // is dragged; the size comes from the layout.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            const POINT topLeft = suggested != nullptr ? POINT{suggested->left, suggested->top} : POINT{};
            self->LayOut(hwnd, HIWORD(wParam), suggested != nullptr ? &topLeft : nullptr);
            return TRUE;
        }
        default: break;
    }
    return FALSE;
}

}  // namespace brimlow
