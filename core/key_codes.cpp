#include "key_codes.h"

#include <array>
#include <string>

namespace brimlow {
namespace {

constexpr std::array<NamedKey, 11> kFirstKeyNames{{
    {"CTRL", 17},
    {"BACKSPACE", 8},
    {"PAUSE", 19},
    {"PAGE UP", 33},
    {"PAGE DOWN", 34},
    {"UP", 38},
    {"DOWN", 40},
    {"LEFT", 37},
    {"RIGHT", 39},
    {"INSERT", 45},
    {"DELETE", 46},
}};

// Keyboard order, row by row, as the letters are compared.
constexpr std::string_view kLetterOrder = "QWERTYUIOPLKJHGFDSAZXCVBNM";

// A key press in a first-key box writes the key's name, except Delete: the
// box handles the key after us and deletes the character after the caret,
// which the new text puts first, so Delete writes one D more.
constexpr std::int32_t kVkDelete = 46;
constexpr std::string_view kDeleteWritten = "DDELETE";

}  // namespace

std::optional<std::int32_t> FirstKeyCode(std::string_view text) {
    for (const NamedKey& key : kFirstKeyNames) {
        if (key.name == text) return key.code;
    }
    return std::nullopt;
}

std::optional<std::int32_t> LetterCode(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    for (char letter : kLetterOrder) {
        if (letter == text[0]) return static_cast<std::int32_t>(letter);
    }
    return std::nullopt;
}

std::optional<FirstKeyPress> FirstKeyPressFor(std::int32_t virtualKey) {
    for (const NamedKey& key : kFirstKeyNames) {
        if (key.code == virtualKey) return FirstKeyPress{key.code == kVkDelete ? kDeleteWritten : key.name, key.code};
    }
    return std::nullopt;
}

void PressFirstKey(RowControls& rows, KeyCodes& codes, int row, std::int32_t virtualKey) {
    if (auto press = FirstKeyPressFor(virtualKey)) {
        rows.SetText(Box::FirstKey, row, std::string(press->textWritten));
        codes.first[static_cast<std::size_t>(row)] = press->code;
    }
    ResolveRowKeyCodes(rows, codes, row);
}

void ResolveRowKeyCodes(const RowControls& rows, KeyCodes& codes, int row) {
    if (auto code = LetterCode(rows.Text(Box::Letter, row))) codes.second[row] = *code;
    if (auto code = FirstKeyCode(rows.Text(Box::FirstKey, row))) codes.first[row] = *code;
}

void ResolveKeyCodes(const RowControls& rows, KeyCodes& codes) {
    for (int row = 0; row < kRowCount; ++row) ResolveRowKeyCodes(rows, codes, row);
}

}  // namespace brimlow
