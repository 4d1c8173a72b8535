// Feeds arbitrary bytes to the shortcuts file reader. It must never crash,
// and whatever it accepts must survive a save and a load unchanged: the
// rows format and parse back to the same rows, and formatting is stable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "shortcuts_file.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const brimlow::ParsedShortcuts parsed = brimlow::ParseShortcuts(bytes, "fuzz.ini");
    if (const auto* error = std::get_if<brimlow::Error>(&parsed)) {
        Require(error->number != 0);
        Require(error->description.rfind("fuzz.ini, line ", 0) == 0);
        return 0;
    }

    const auto& rows = std::get<brimlow::ShortcutRows>(parsed);
    const std::string saved = brimlow::FormatShortcuts(rows);
    const brimlow::ParsedShortcuts reloaded = brimlow::ParseShortcuts(saved, "fuzz.ini");
    Require(std::holds_alternative<brimlow::ShortcutRows>(reloaded));
    Require(std::get<brimlow::ShortcutRows>(reloaded) == rows);
    Require(brimlow::FormatShortcuts(std::get<brimlow::ShortcutRows>(reloaded)) == saved);
    return 0;
}
