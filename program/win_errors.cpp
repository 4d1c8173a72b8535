#include "win_errors.h"

#include "control_ids.h"

namespace brimlow::win {

std::string SystemMessage(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) text = "system error " + std::to_string(code);
    return text;
}

int ErrorNumberForFile(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_MOD_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return error_number::kFileNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return error_number::kPermissionDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return error_number::kDiskFull;
        default:
            return error_number::kPathFileAccess;
    }
}

Error FileError(DWORD code, const std::string& what, const std::string& file) {
    return Error{ErrorNumberForFile(code), what + " " + file + ": " + SystemMessage(code) + "."};
}

void ShowErrorBox(HWND owner, const Error& error) {
    const std::string text = "Error " + std::to_string(error.number) + "\r\n\r\n" + error.description;
    MessageBoxA(owner, text.c_str(), ids::kProductName, MB_OK | MB_ICONERROR);
}

}  // namespace brimlow::win
