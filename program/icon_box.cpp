#include "icon_box.h"

#include "gui.h"

namespace brimlow::win {
namespace {
constexpr const char* kClassName = "BrimlowIconBox";
}

bool IconBox::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &IconBox::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND IconBox::Create(HWND parent, int id, const RECT& bounds, HINSTANCE instance) {
    hwnd_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE, bounds.left, bounds.top, bounds.right - bounds.left,
                            bounds.bottom - bounds.top, parent, ChildId(id), instance,
                            this);
    MakeSurface(bounds.right - bounds.left, bounds.bottom - bounds.top);
    return hwnd_;
}

void IconBox::Move(const RECT& bounds) {
    SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    MakeSurface(bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void IconBox::MakeSurface(int width, int height) {
    if (dc_ && originalBitmap_ != nullptr) SelectObject(dc_.Get(), originalBitmap_);
    bitmap_.Reset();
    dc_.Reset();
    width_ = width;
    height_ = height;
    HDC screen = GetDC(hwnd_);
    dc_.Reset(CreateCompatibleDC(screen));
    bitmap_.Reset(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(hwnd_, screen);
    originalBitmap_ = SelectObject(dc_.Get(), bitmap_.Get());
    Clear();
}

// The background is the button face of the moment: after a change of colours
// the owner clears and draws the box again.
void IconBox::Clear() {
    RECT all{0, 0, width_, height_};
    FillRect(dc_.Get(), &all, GetSysColorBrush(COLOR_BTNFACE));
    Invalidate();
}

void IconBox::Invalidate() { InvalidateRect(hwnd_, nullptr, FALSE); }

void IconBox::Paint() {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(hwnd_, &ps);
    BitBlt(target, 0, 0, width_, height_, dc_.Get(), 0, 0, SRCCOPY);
    EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK IconBox::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<IconBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT:
            if (self != nullptr && self->dc_) {
                self->Paint();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;  // the bitmap covers the whole box
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace brimlow::win
