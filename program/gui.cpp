#include "gui.h"

#include "resource_ids.h"

namespace brimlow::win {

UniqueGdi MakeFont(const char* face, int hundredthsOfAPoint, int dpi, bool bold) {
    // A negative height asks for the character height, as point sizes mean.
    const int height = -MulDiv(hundredthsOfAPoint, dpi, 7200);
    return UniqueGdi(CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 face));
}

UniqueGdi DialogFont(int dpi, bool bold) { return MakeFont("MS Shell Dlg 2", 800, dpi, bold); }

UniqueIcon ProgramIcon(int size) {
    return UniqueIcon(static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kProgramIcon), IMAGE_ICON, size, size, 0)));
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return SIZE{0, 0};
    // GetIconInfo makes copies of the icon's bitmaps for the caller.
    const UniqueGdi mask(info.hbmMask);
    const UniqueGdi colour(info.hbmColor);
    BITMAP bitmap{};
    if (GetObjectA(info.hbmMask, sizeof bitmap, &bitmap) == 0) return SIZE{0, 0};
    // A monochrome icon's mask holds its image too, below the mask itself.
    return SIZE{bitmap.bmWidth, colour ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

WindowIcons SetWindowIcons(HWND window, int dpi) {
    WindowIcons icons;
    icons.large = ProgramIcon(GetSystemMetricsForDpi(SM_CXICON, static_cast<UINT>(dpi)));
    icons.small = ProgramIcon(GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi)));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.large.Get()));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small.Get()));
    return icons;
}

UINT RegisteredMessage(std::atomic<UINT>& cache, const wchar_t* name) {
    UINT message = cache.load(std::memory_order_relaxed);
    if (message == 0) {
        message = RegisterWindowMessageW(name);
        cache.store(message, std::memory_order_relaxed);
    }
    return message;
}

}  // namespace brimlow::win
