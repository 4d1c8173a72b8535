#pragma once
// Finding and drawing a row's target icon on Windows: the registry of file
// types under HKEY_CLASSES_ROOT, ExtractIconA and the row's icon box.

#include <windows.h>

#include <optional>
#include <string>

#include "icon_box.h"
#include "icon_lookup.h"

namespace brimlow::win {

// The lookup's platform over the real registry, drawing into one device
// context. Every key is closed after its read and every icon destroyed right
// after it is drawn.
class Win32IconPlatform final : public IconPlatform {
public:
    Win32IconPlatform(HINSTANCE instance, HDC dc) : instance_(instance), dc_(dc) {}

    std::optional<std::string> ReadClassesRootDefault(const std::string& key) override;
    bool ExtractAndDraw(const IconSource& source) override;
    std::string StockLibrary() override;

private:
    HINSTANCE instance_;
    HDC dc_;
};

// Clears the box and draws the icon of the target into it. Never fails and
// never reports: a target without an icon leaves the box empty.
void RefreshRowIcon(HINSTANCE instance, const std::string& targetPath, IconBox& box) noexcept;

}  // namespace brimlow::win
