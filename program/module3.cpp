#include "module3.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "handles.h"

namespace brimlow::Module3 {

namespace {

// A key opened or created under a root. With an empty path the registry hands
// back the root itself; that handle is the caller's, so it is used but never
// closed here.
struct Key {
    HKEY handle = nullptr;
    win::UniqueKey owner;
};

Key Adopt(HKEY root, LONG status, HKEY opened) {
    Key key;
    if (opened != nullptr && opened != root) key.owner.Reset(opened);
    if (status == ERROR_SUCCESS) key.handle = opened;
    return key;
}

Key OpenKey(HKEY root, const std::string& subKey) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyA(root, subKey.c_str(), &opened);
    return Adopt(root, status, opened);
}

Key CreateKey(HKEY root, const std::string& subKey) {
    HKEY created = nullptr;
    const LONG status = RegCreateKeyA(root, subKey.c_str(), &created);
    return Adopt(root, status, created);
}

// Asks for the data with a buffer of the size the first query reported. The
// type is asked for again: if the value changed type between the two queries,
// the bytes no longer mean what the first answer said.
RegValue QueryTextOfSize(HKEY key, const std::string& valueName, DWORD size) {
    std::string buffer(size, ' ');
    DWORD type = 0;
    DWORD got = size;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return RegValue();
    }
    // The first answer may be larger than the data (the ANSI functions may
    // report the size of the stored wide text); only the bytes filled in are
    // the value, or a text stored without a NUL would gain trailing spaces.
    buffer.resize(std::min(got, size));
    return RegValue(TextFromRegSz(buffer));
}

RegValue ReadNumber(HKEY key, const std::string& valueName) {
    std::int32_t number = 0;
    DWORD type = 0;
    DWORD size = sizeof number;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return RegValue();
    }
    return RegValue(number);
}

void Write(HKEY root, const std::string& subKey, const std::string& valueName, const std::optional<RegData>& data) {
    // Decided before the registry is touched: a number that does not fit
    // 32 bits writes nothing and creates no key.
    if (!data) return;
    if (data->text.size() > std::numeric_limits<DWORD>::max()) return;
    const Key key = CreateKey(root, subKey);
    if (key.handle == nullptr) return;
    if (data->type == kRegDword) {
        RegSetValueExA(key.handle, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data->number),
                       sizeof data->number);
    } else {
        RegSetValueExA(key.handle, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data->text.data()),
                       static_cast<DWORD>(data->text.size()));
    }
}

}  // namespace

// Every routine catches everything: the only thing that could be thrown is a
// failed allocation (a huge value), and that too is a neutral result.

RegValue ReadRegValue(HKEY root, const std::string& subKey, const std::string& valueName) noexcept {
    try {
        const Key key = OpenKey(root, subKey);
        if (key.handle == nullptr) return RegValue();
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key.handle, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return RegValue();
        }
        switch (type) {
            case REG_SZ:
                return QueryTextOfSize(key.handle, valueName, size);
            case REG_DWORD:
                return ReadNumber(key.handle, valueName);
            default:
                return RegValue();
        }
    } catch (...) {
        return RegValue();
    }
}

void WriteRegValue(HKEY root, const std::string& subKey, const std::string& valueName,
                   const std::string& value) noexcept {
    try {
        Write(root, subKey, valueName, RegDataFor(value));
    } catch (...) {
    }
}

void WriteRegValue(HKEY root, const std::string& subKey, const std::string& valueName, double value) noexcept {
    try {
        Write(root, subKey, valueName, RegDataFor(value));
    } catch (...) {
    }
}

bool RegKeyExists(HKEY root, const std::string& subKey) noexcept {
    try {
        return OpenKey(root, subKey).handle != nullptr;
    } catch (...) {
        return false;
    }
}

void CreateRegKey(HKEY root, const std::string& subKey) noexcept {
    try {
        CreateKey(root, subKey);
    } catch (...) {
    }
}

}  // namespace brimlow::Module3
