// Feeds arbitrary bytes to the shortcuts file reader. It must never crash;
// whatever it accepts is UTF-8, whether the file was UTF-8 or in the legacy
// code page, and must survive a save and a load unchanged: the rows format
// and parse back to the same rows, and formatting is stable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "shortcuts_file.h"
#include "utf8.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// A single-byte code page in which 81 maps to nothing: Latin-1 otherwise.
std::optional<std::string> Latin1(std::string_view line) {
    std::string utf8;
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x81) return std::nullopt;
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

bool AllUtf8(const brimlow::ShortcutRows& rows) {
    for (const auto& row : rows) {
        for (const std::string* text : {&row.firstKey, &row.letter, &row.path, &row.windowState}) {
            if (!brimlow::IsUtf8(*text)) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const brimlow::LegacyCodePage legacy{1252, Latin1};
    const brimlow::ParsedShortcuts parsed = brimlow::ParseShortcuts(bytes, "fuzz.ini", legacy);
    if (const auto* error = std::get_if<brimlow::Error>(&parsed)) {
        Require(error->number != 0);
        Require(error->description.rfind("fuzz.ini, line ", 0) == 0);
        return 0;
    }

    const auto& rows = std::get<brimlow::ShortcutRows>(parsed);
    Require(AllUtf8(rows));
    const std::string saved = brimlow::FormatShortcuts(rows);
    const brimlow::ParsedShortcuts reloaded = brimlow::ParseShortcuts(saved, "fuzz.ini", legacy);
    Require(std::holds_alternative<brimlow::ShortcutRows>(reloaded));
    Require(std::get<brimlow::ShortcutRows>(reloaded) == rows);
    Require(brimlow::FormatShortcuts(std::get<brimlow::ShortcutRows>(reloaded)) == saved);
    return 0;
}
