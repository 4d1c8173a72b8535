#include "icon_lookup.h"

#include <limits>

#include "utf8.h"

namespace brimlow {

bool IsLowerCaseProgram(std::string_view path) {
    return path.size() >= kProgramExtension.size() &&
           path.substr(path.size() - kProgramExtension.size()) == kProgramExtension;
}

std::string_view ExtensionOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos ? path : path.substr(dot);
}

std::optional<std::int32_t> ParseIconIndex(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    // Accumulated as a negative number, so the most negative index fits too.
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 - (c - '0');
        if (value < std::numeric_limits<std::int32_t>::min()) return std::nullopt;
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<IconSource> ParseDefaultIcon(std::string_view value) {
    value = TrimSpaces(value);
    // The last comma, because a file name may hold commas of its own while
    // the index never does.
    const auto comma = value.rfind(kIconIndexSeparator);
    if (comma == std::string_view::npos) return std::nullopt;
    const auto index = ParseIconIndex(TrimSpaces(value.substr(comma + 1)));
    if (!index) return std::nullopt;
    return IconSource{std::string(TrimSpaces(value.substr(0, comma))), *index};
}

namespace {

// A value that would not fit the platform's buffer counts as a failed read,
// whatever a platform could hand back.
std::optional<std::string> ReadClassesRootText(IconPlatform& platform, const std::string& key) {
    auto value = platform.ReadClassesRootDefault(key);
    if (value && Utf8Length(*value) > kMaxIconText) return std::nullopt;
    return value;
}

bool DrawAndRecord(IconPlatform& platform, IconSource source, std::vector<IconAttempt>& attempts) {
    const bool drawn = platform.ExtractAndDraw(source);
    attempts.push_back({std::move(source), drawn});
    return drawn;
}

}  // namespace

std::optional<IconSource> FileTypeIconSource(std::string_view path, IconPlatform& platform) {
    // The class name is used as stored, untrimmed: a class registered with a
    // stray space simply has no DefaultIcon key to find.
    const auto className = ReadClassesRootText(platform, std::string(ExtensionOf(path)));
    if (!className) return std::nullopt;
    const auto defaultIcon = ReadClassesRootText(platform, *className + std::string(kDefaultIconSubKey));
    if (!defaultIcon) return std::nullopt;
    // Taken as plain text whatever its registry type: "%SystemRoot%\..." and
    // quoted names stay as they are and fail at extraction, so the stock icon
    // stands in.
    return ParseDefaultIcon(*defaultIcon);
}

std::vector<IconAttempt> DrawFileIcon(const std::string& path, IconPlatform& platform) {
    std::vector<IconAttempt> attempts;
    // An empty path has no file type; asking the registry for a key with an
    // empty name would open HKEY_CLASSES_ROOT itself.
    if (path.empty()) return attempts;

    std::optional<IconSource> source;
    const std::string_view extension = ExtensionOf(path);
    std::string lowered(extension);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (lowered == kProgramExtension) {
        source = IconSource{platform.StockLibrary(), kStockIconProgram};
    } else {
        source = FileTypeIconSource(path, platform);
    }
    if (source && DrawAndRecord(platform, std::move(*source), attempts)) return attempts;
    DrawAndRecord(platform, IconSource{platform.StockLibrary(), kStockIconOther}, attempts);
    return attempts;
}

std::vector<IconAttempt> DrawTargetIcon(const std::string& path, IconPlatform& platform) {
    if (!IsLowerCaseProgram(path)) return DrawFileIcon(path, platform);
    // A program stands for itself: when it holds no icon (or does not exist)
    // the box stays empty rather than showing some other file's icon.
    std::vector<IconAttempt> attempts;
    DrawAndRecord(platform, IconSource{path, 0}, attempts);
    return attempts;
}

}  // namespace brimlow
