#pragma once
// How GoogleTest shows a registry value in a failed expectation; kept out of
// the program so it pulls no stream code into it.

#include <ostream>

#include "reg_value.h"

namespace brimlow {

inline void PrintTo(const RegValue& value, std::ostream* out) {
    if (const auto number = value.Number()) {
        *out << "number " << *number;
    } else {
        *out << "text \"" << *value.Text() << '"';
    }
}

}  // namespace brimlow
