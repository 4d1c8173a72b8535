#pragma once
// Keeps the program in the machine-wide Run key, so it starts whenever a user
// logs on. Checked at every start, as the first step of the main window's
// start-up. A program every account starts must be one that no other account
// can change: from a folder where others can, the value is not written, and
// one that names this copy is removed.

#include <windows.h>

#include <string>

#include "control_ids.h"

namespace brimlow::Module3 {

inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = ids::kProductName;
// Always this name, whatever the running file is called.
inline constexpr const char* kProgramFileName = "\\Program.exe";

// True when the program's folder, its data folder, Program.exe, Ostrad.dll
// and data\shortcuts.ini can be changed by no one but Administrators, SYSTEM,
// TrustedInstaller and the account that runs the program, as their owners
// and access lists say, and no one else can move the folder aside: no folder
// above it up to the root lets another account rename it or what it holds,
// none of them is a link, and the volume is a local fixed disk. A file that
// is missing is judged by its folder, which decides who may make it; a
// folder that is missing is open.
bool OnlyAdministratorsCanChange(const std::string& programFolder);

// Where the registration lives and how a folder is judged. Only tests name
// another place or judge.
struct RunEntry {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::string subKey = kRunKey;
    std::string valueName = kRunValueName;
    bool (*folderIsProtected)(const std::string& programFolder) = &OnlyAdministratorsCanChange;
};

// The program's folder followed by "\Program.exe", in quotation marks: the
// system reads an unquoted command line with a space in it by trying each
// prefix as a program, so "C:\Program Files\..." would first run
// "C:\Program.exe", whoever put it there.
std::string StartAtLogonCommand(const std::string& programFolder);

// From a protected folder: writes the command when the value differs from it
// (exactly, letter case included; a number never equals it) and leaves an
// equal value untouched. From a folder others can change: writes nothing,
// and removes a value that is this folder's command, quoted or in the
// unquoted form earlier versions wrote; a value naming anything else stays.
// A start without the right to change the key decides nothing and reads no
// file's security. Silent on every failure: the value stays as it was, and
// the next start tries again.
void RegisterStartAtLogon(const std::string& programFolder) noexcept;
void RegisterStartAtLogon(const std::string& programFolder, const RunEntry& entry) noexcept;

}  // namespace brimlow::Module3
