#pragma once
// UTF-8, the encoding of every text inside the program: the boxes, the paths
// handed to the shell and the shortcuts file it writes.

#include <cstddef>
#include <string_view>

namespace brimlow {

// The mark some editors put at the start of a UTF-8 file.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether the bytes are well-formed UTF-8: shortest forms only, no UTF-16
// surrogates (U+D800 to U+DFFF), nothing above U+10FFFF and no sequence cut
// short. A text of ASCII is UTF-8.
bool IsUtf8(std::string_view bytes);

// The number of characters (code points) of well-formed UTF-8 text.
std::size_t Utf8Length(std::string_view text);

}  // namespace brimlow
