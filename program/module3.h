#pragma once
// Module3: the registry routines. Each opens or creates the key it needs, does
// one job and closes the key again. None of them reports a failure: a missing
// key or value, a value of another type, a denied access or a lack of memory
// all give the neutral result (the empty text, false, or no effect), because
// the callers, the start-up among them, must go on whatever the registry says.

#include <windows.h>

#include <string>

#include "reg_value.h"

namespace brimlow::Module3 {

// The value as a text (REG_SZ, up to its first NUL) or a number (REG_DWORD);
// the empty text for anything else. A missing value and an empty one read the
// same.
RegValue ReadRegValue(HKEY root, const std::string& subKey, const std::string& valueName) noexcept;

// A text that reads wholly as a decimal number, and a number, are stored as a
// REG_DWORD rounded half to even; any other text as a REG_SZ without its
// surrounding spaces. Missing keys along the path are created. A number that
// does not fit 32 bits is not written.
void WriteRegValue(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& value) noexcept;
void WriteRegValue(HKEY root, const std::string& subKey, const std::string& valueName, double value) noexcept;

// True exactly when the key can be opened.
bool RegKeyExists(HKEY root, const std::string& subKey) noexcept;

// Creates the key and any missing keys above it; an existing key is left as it is.
void CreateRegKey(HKEY root, const std::string& subKey) noexcept;

}  // namespace brimlow::Module3
