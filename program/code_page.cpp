#include "code_page.h"

#include <windows.h>

#include <limits>
#include <string>

namespace brimlow::win {
namespace {

// LOCALE_SYSTEM_DEFAULT rather than the locale-name form, which Wine does
// not answer; 0 when even this fails.
UINT LegacyAnsiCodePage() {
    DWORD codePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(WCHAR)) == 0) {
        return 0;
    }
    return codePage;
}

// A byte the code page does not map fails the whole line (never a
// replacement character the next save would write over the user's text).
std::optional<std::string> ToUtf8(UINT codePage, std::string_view line) {
    if (line.empty()) return std::string();
    if (codePage == 0 || line.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
    const int size = static_cast<int>(line.size());
    const int wideLength = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, line.data(), size, nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, line.data(), size, wide.data(), wideLength) != wideLength) {
        return std::nullopt;
    }
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return std::nullopt;
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}

}  // namespace

// Asked at each load, which is rare: no function-local static, whose guard
// would bring the threading library's 20 KB into the program.
LegacyCodePage SystemLegacyCodePage() {
    const UINT codePage = LegacyAnsiCodePage();
    LegacyCodePage result;
    result.number = static_cast<int>(codePage);
    if (GetACP() == CP_UTF8) {
        result.toUtf8 = [codePage](std::string_view line) { return ToUtf8(codePage, line); };
    }
    return result;
}

}  // namespace brimlow::win
