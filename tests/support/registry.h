#pragma once
// Registry values a test sets up, reads back and puts back as it found them.
// The tests run in a private Wine prefix, but each still leaves the registry
// as it was.

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "wide_text.h"

namespace brimlow::testing {

// A text value in UTF-8, read through the wide call, so what the registry
// stores is seen whatever this process's code page; the empty name is the
// key's default value.
inline std::optional<std::string> ReadStringValue(HKEY root, const std::string& subKey, const std::string& name) {
    wchar_t data[2048] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    const std::wstring wideName = Wide(name);
    if (RegGetValueW(root, Wide(subKey).c_str(), name.empty() ? nullptr : wideName.c_str(), RRF_RT_REG_SZ, &type, data,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Utf8(data);
}

// Creates the key if it is missing.
inline bool WriteStringValue(HKEY root, const std::string& subKey, const std::string& name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

inline void DeleteValue(HKEY root, const std::string& subKey, const std::string& name) {
    RegDeleteKeyValueA(root, subKey.c_str(), name.c_str());
}

// Puts a text value back as it was when the guard was made, or removes it if
// there was none.
class RestoreValue {
public:
    RestoreValue(HKEY root, std::string subKey, std::string name)
        : root_(root), subKey_(std::move(subKey)), name_(std::move(name)), saved_(ReadStringValue(root_, subKey_, name_)) {}
    ~RestoreValue() {
        if (saved_) {
            WriteStringValue(root_, subKey_, name_, *saved_);
        } else {
            DeleteValue(root_, subKey_, name_);
        }
    }
    RestoreValue(const RestoreValue&) = delete;
    RestoreValue& operator=(const RestoreValue&) = delete;

private:
    HKEY root_;
    std::string subKey_;
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace brimlow::testing
