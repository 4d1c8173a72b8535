#include "icons.h"

#include <shellapi.h>

#include <cstring>

#include "handles.h"

namespace brimlow::win {

std::optional<std::string> Win32IconPlatform::ReadClassesRootDefault(const std::string& key) {
    // An empty name would hand back HKEY_CLASSES_ROOT itself, which is not
    // ours to close.
    if (key.empty()) return std::nullopt;
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &opened) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey owner(opened);

    char buffer[kIconTextBufferSize];
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    // A value longer than the buffer fails here with ERROR_MORE_DATA.
    if (RegQueryValueExA(owner.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        size == 0) {
        return std::nullopt;
    }
    // The text ends at its NUL, or at the reported size for a value stored
    // without one; dropping the last byte blindly would cut a character off
    // such a value.
    return std::string(buffer, strnlen(buffer, size));
}

bool Win32IconPlatform::ExtractAndDraw(const IconSource& source) {
    // Index -1 asks ExtractIconA for the number of icons in the file, and the
    // count comes back where the handle should: it is no icon to draw.
    if (source.index == -1) return false;
    const HICON extracted = ExtractIconA(instance_, source.file.c_str(), static_cast<UINT>(source.index));
    // 1 means "not a program, library or icon file"; it is no handle either.
    if (extracted == nullptr || extracted == reinterpret_cast<HICON>(1)) return false;
    const UniqueIcon icon(extracted);
    DrawIcon(dc_, 0, 0, icon.Get());
    return true;
}

std::string Win32IconPlatform::StockLibrary() {
    char buffer[kIconTextBufferSize];
    UINT length = GetSystemDirectoryA(buffer, sizeof(buffer));
    // 0 is a failure and a larger number the size the buffer would need; in
    // both cases the buffer holds nothing usable, and the library name alone
    // yields no icon, so the box stays empty.
    if (length >= sizeof(buffer)) length = 0;
    return std::string(buffer, length) + std::string(kStockLibraryName);
}

void RefreshRowIcon(HINSTANCE instance, const std::string& targetPath, IconBox& box) noexcept {
    // Cleared first, so a target without an icon never shows the previous one.
    box.Clear();
    try {
        Win32IconPlatform platform(instance, box.Dc());
        DrawTargetIcon(targetPath, platform);
    } catch (...) {
        // The icon only decorates the row; running out of memory while
        // finding it leaves the box empty rather than ending the program.
    }
    box.Invalidate();
}

}  // namespace brimlow::win
