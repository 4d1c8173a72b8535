#pragma once
// Keeps the program in the machine-wide Run key, so it starts whenever a user
// logs on. Checked at every start, as the first step of the main window's
// start-up; the value is never removed.

#include <windows.h>

#include <string>

#include "control_ids.h"

namespace brimlow::Module3 {

inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = ids::kProductName;
// Always this name, whatever the running file is called.
inline constexpr const char* kProgramFileName = "\\Program.exe";

// Where the registration lives. Only tests name another place.
struct RunEntry {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::string subKey = kRunKey;
    std::string valueName = kRunValueName;
};

// The program's folder followed by "\Program.exe", in quotation marks: the
// system reads an unquoted command line with a space in it by trying each
// prefix as a program, so "C:\Program Files\..." would first run
// "C:\Program.exe", whoever put it there.
std::string StartAtLogonCommand(const std::string& programFolder);

// Writes the command when the value differs from it (exactly, letter case
// included; a number never equals it) and leaves an equal value untouched.
// Silent on every failure: without the right to write the machine's keys the
// value stays as it was, and the next start tries again.
void RegisterStartAtLogon(const std::string& programFolder) noexcept;
void RegisterStartAtLogon(const std::string& programFolder, const RunEntry& entry) noexcept;

}  // namespace brimlow::Module3
