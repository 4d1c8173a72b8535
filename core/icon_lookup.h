#pragma once
// Which icon a row shows for its target, found the way the shell finds the
// icons of file types: a program shows its own first icon; any other file the
// icon its file type names under HKEY_CLASSES_ROOT; where that fails, a stock
// icon of the system shell library. The registry, the icon extraction and the
// drawing come in through IconPlatform, so the order of the look-ups and
// every fallback are tested without Windows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text.h"
#include <vector>

namespace brimlow {

// Only this exact spelling marks a program that shows its own icon; ".EXE"
// and ".Exe" get the shell library's generic program icon instead.
inline constexpr std::string_view kProgramExtension = ".exe";
inline constexpr std::string_view kDefaultIconSubKey = "\\DefaultIcon";
inline constexpr char kIconIndexSeparator = ',';
// Appended to the system directory, which comes without a trailing backslash.
inline constexpr std::string_view kStockLibraryName = "\\SHELL32.DLL";
inline constexpr std::int32_t kStockIconProgram = 2;
inline constexpr std::int32_t kStockIconOther = 0;
// The longest registry value or system directory the lookup uses, in
// characters. The buffers are sized in bytes for UTF-8, where one character
// takes up to four, with room for the NUL.
inline constexpr std::size_t kMaxIconText = 259;
inline constexpr std::size_t kIconTextBufferSize = kMaxIconText * 4 + 1;

// An icon file and an index into it. Index 0 is the file's first icon; a
// negative index names the icon whose resource identifier is its absolute
// value, as the platform's extraction defines it.
struct IconSource {
    std::string file;
    std::int32_t index = 0;

    bool operator==(const IconSource& other) const { return file == other.file && index == other.index; }
    bool operator!=(const IconSource& other) const { return !(*this == other); }
};

class IconPlatform {
public:
    virtual ~IconPlatform() = default;
    // The default value of HKEY_CLASSES_ROOT\<key> as text, without its
    // terminating NUL. Nothing when the key does not open, the read fails or
    // reports no bytes at all. The key is closed again either way.
    virtual std::optional<std::string> ReadClassesRootDefault(const std::string& key) = 0;
    // Extracts the icon and draws it at the box's upper-left corner. False
    // when the file yields no icon at that index (or is no icon container).
    virtual bool ExtractAndDraw(const IconSource& source) = 0;
    // The system directory followed by "\SHELL32.DLL".
    virtual std::string StockLibrary() = 0;
};

// One extraction the lookup asked for, and whether it drew.
struct IconAttempt {
    IconSource source;
    bool drawn = false;
};


// True when the last four characters are exactly ".exe".
bool IsLowerCaseProgram(std::string_view path);

// From the last "." to the end, dot included; the whole path when it holds
// no dot (so "C:\my.dir\readme" gives ".dir\readme").
std::string_view ExtensionOf(std::string_view path);

// A whole number with an optional leading minus sign and nothing else; the
// caller trims. Nothing for any other text, or one outside 32 bits.
std::optional<std::int32_t> ParseIconIndex(std::string_view text);

// Splits a DefaultIcon value at its last comma into icon file and index, both
// trimmed. Nothing when there is no comma or the index is no number.
std::optional<IconSource> ParseDefaultIcon(std::string_view value);

// The source the file type of a path names, from its extension's class and
// that class's DefaultIcon value. Nothing when any step fails.
std::optional<IconSource> FileTypeIconSource(std::string_view path, IconPlatform& platform);

// Draws the icon of a target that is not a lower-case ".exe", falling back to
// stock icon 0; draws nothing for an empty path or when even that fails.
std::vector<IconAttempt> DrawFileIcon(const std::string& path, IconPlatform& platform);

// Draws the icon of a row's target into a box the caller has just cleared.
// Returns every extraction tried, in order; the last one drew if any did.
std::vector<IconAttempt> DrawTargetIcon(const std::string& path, IconPlatform& platform);

}  // namespace brimlow
