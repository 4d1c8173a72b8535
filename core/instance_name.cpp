#include "instance_name.h"

#include <cstdint>

namespace brimlow {

std::string InstanceName(std::u16string_view foldedFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char16_t unit : foldedFolder) {
        // Both bytes of each code unit, low first, as the path lies in memory.
        for (const unsigned byte : {unsigned(unit) & 0xFFu, unsigned(unit) >> 8}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name = "Local\\Brimlow-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

}  // namespace brimlow
