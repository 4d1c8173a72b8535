#include "notify_icon.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <iterator>

#include "control_ids.h"
#include "gui.h"
#include "paths.h"
#include "resource_ids.h"

namespace brimlow::win {
namespace {

constexpr wchar_t kTip[] = L"Brimlow";
constexpr wchar_t kPausedTip[] = L"Brimlow - hot keys paused";

}  // namespace

// The shell draws notification icons at the small-icon size of the
// taskbar's monitor, which need not be the window's. LoadIconMetric gives the
// icon at that size, scaled down from a larger image rather than up.
UniqueIcon NotifyIcon::TakeIcon() {
    HICON loaded = nullptr;
    const int resource = paused_ ? ids::kPausedIcon : ids::kProgramIcon;
    if (FAILED(LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), LIM_SMALL, &loaded))) {
        loaded = nullptr;
    }
    UniqueIcon replaced = std::move(icon_);
    icon_.Reset(loaded);
    iconSize_ = win::IconSize(icon_.Get()).cx;
    return replaced;
}

NOTIFYICONDATAW NotifyIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = ids::kNotifyIconId;
    data.uFlags = flags;
    data.uCallbackMessage = ids::kNotifyIconMessage;
    data.hIcon = icon_.Get();
    static_assert(sizeof kTip <= sizeof data.szTip && sizeof kPausedTip <= sizeof data.szTip);
    const wchar_t* tip = Tip();
    for (std::size_t i = 0; tip[i] != L'\0' && i + 1 < std::size(data.szTip); ++i) data.szTip[i] = tip[i];
    return data;
}

const wchar_t* NotifyIcon::Tip() const { return paused_ ? kPausedTip : kTip; }

void NotifyIcon::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (window_ == nullptr) return;
    const UniqueIcon replaced = TakeIcon();
    if (!added_) return;
    // Version 4 keeps the tip hidden unless NIF_SHOWTIP is given again.
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool NotifyIcon::Add(HWND window) {
    window_ = window;
    TakeIcon();
    // Run as an administrator, the window would otherwise never hear from
    // an Explorer that runs without: the system drops messages from
    // processes of a lower integrity level.
    ChangeWindowMessageFilterEx(window_, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    return AddToShell();
}

bool NotifyIcon::AddToShell() {
    // Version 4 draws the tip only when asked to, with NIF_SHOWTIP.
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (added_) {
        data.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &data);
    }
    return added_;
}

void NotifyIcon::Restore() {
    if (window_ == nullptr) return;
    // Explorer also announces itself when only the taskbar's DPI changed,
    // and then the icon is still there: it only takes the new size.
    const UniqueIcon replaced = TakeIcon();
    NOTIFYICONDATAW data = Data(NIF_ICON);
    if (added_ && Shell_NotifyIconW(NIM_MODIFY, &data)) return;
    AddToShell();
}

void NotifyIcon::Reload() {
    if (window_ == nullptr) return;
    const UniqueIcon replaced = TakeIcon();
    if (!added_) return;
    NOTIFYICONDATAW data = Data(NIF_ICON);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void NotifyIcon::Remove() {
    if (added_) {
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    added_ = false;
    window_ = nullptr;
}

namespace {

// As much of the text as fits the shell's field, always ending in a NUL.
template <std::size_t N>
void CopyCut(const std::string& text, wchar_t (&field)[N]) {
    const std::wstring wide = ToWide(text);
    field[wide.copy(field, N - 1)] = L'\0';
}

}  // namespace

bool NotifyIcon::ShowBalloon(const std::string& title, const std::string& text) {
    lastBalloon_ = text;
    if (!added_) return false;
    NOTIFYICONDATAW data = Data(NIF_INFO);
    CopyCut(title, data.szInfoTitle);
    CopyCut(text, data.szInfo);
    data.dwInfoFlags = NIIF_WARNING;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

NotifyIconCommand NotifyIcon::OnMessage(WPARAM wParam, LPARAM lParam) const {
    if (window_ == nullptr || HIWORD(lParam) != ids::kNotifyIconId) return NotifyIconCommand::None;
    switch (LOWORD(lParam)) {
        case NIN_SELECT:
        case NIN_KEYSELECT: return NotifyIconCommand::Show;
        // Version 4 gives the point to open the menu at in wParam: the
        // pointer's for a click, the icon's for the menu key.
        case WM_CONTEXTMENU: return TrackMenu(POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
        default: return NotifyIconCommand::None;
    }
}

UniqueMenu NotifyIcon::MakeMenu(bool windowVisible, bool paused) {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    AppendMenuW(menu.Get(), MF_STRING, kShowItem, L"&Show Brimlow");
    AppendMenuW(menu.Get(), MF_STRING | (windowVisible ? MF_ENABLED : MF_GRAYED), kHideItem, L"Hi&de Window");
    // The item's own check mark, which a screen reader reads as "checked".
    AppendMenuW(menu.Get(), MF_STRING | (paused ? MF_CHECKED : MF_UNCHECKED), kPauseItem, L"&Pause hot keys");
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.Get(), MF_STRING, kExitItem, L"E&xit");
    SetMenuDefaultItem(menu.Get(), kShowItem, FALSE);
    return menu;
}

NotifyIconCommand NotifyIcon::TrackMenu(POINT at) const {
    const UniqueMenu menu = MakeMenu(IsWindowVisible(window_) != FALSE, paused_);
    if (!menu) return NotifyIconCommand::None;
    // Without the foreground the menu would not close when the user clicks
    // elsewhere; the posted message lets the menu's loop end cleanly before
    // the next one opens.
    SetForegroundWindow(window_);
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON;
    flags |= GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const auto chosen = static_cast<UINT>(TrackPopupMenuEx(menu.Get(), flags, at.x, at.y, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);
    switch (chosen) {
        case kShowItem: return NotifyIconCommand::Show;
        case kHideItem: return NotifyIconCommand::Hide;
        case kPauseItem: return NotifyIconCommand::Pause;
        case kExitItem: return NotifyIconCommand::Exit;
        default: return NotifyIconCommand::None;
    }
}

UINT NotifyIcon::TaskbarCreatedMessage() {
    static std::atomic<UINT> message{0};
    return RegisteredMessage(message, L"TaskbarCreated");
}

}  // namespace brimlow::win
