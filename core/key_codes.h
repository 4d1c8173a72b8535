#pragma once
// Key names and the codes they stand for: the first-key names, the capital
// letters, and what a key press in a first-key box writes.

#include <cstdint>
#include <optional>
#include <string_view>

#include "row_controls.h"

namespace brimlow {

struct NamedKey {
    std::string_view name;
    std::int32_t code;
};

// Code of a first-key name, compared whole and case-sensitively in table
// order; nothing for any other text.
std::optional<std::int32_t> FirstKeyCode(std::string_view text);
// Code of a single capital letter "A" to "Z"; nothing for any other text.
std::optional<std::int32_t> LetterCode(std::string_view text);

// What a key going down in a first-key box writes into the box and into the
// first-key codes. Delete writes "DDELETE": the box handles the key after us
// and deletes the first D, leaving "DELETE".
struct FirstKeyPress {
    std::string_view textWritten;
    std::int32_t code;
};
std::optional<FirstKeyPress> FirstKeyPressFor(std::int32_t virtualKey);

// A key going down in a row's first-key box, before the box itself handles
// it: a key with a name writes the name into the box and its code into the
// first-key codes; whatever the key, the row is then resolved again from its
// boxes.
void PressFirstKey(RowControls& rows, KeyCodes& codes, int row, std::int32_t virtualKey);

// Resolution never clears an entry: a text that names no key leaves the code
// of the last text that did.
void ResolveRowKeyCodes(const RowControls& rows, KeyCodes& codes, int row);
void ResolveKeyCodes(const RowControls& rows, KeyCodes& codes);

}  // namespace brimlow
