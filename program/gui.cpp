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

HICON ProgramIcon(int size) {
    return static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kProgramIcon), IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace brimlow::win
