#include "driver.h"

#include <cstdio>
#include <sstream>

#include "control_ids.h"
#include "paths.h"

namespace brimlow::e2e {
namespace {

void CopyOrFail(const std::string& from, const std::string& to) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << from << " to " << to;
}

// A target started through the shell runs about a quarter of a second after
// the launcher asks for it (the shell's own start-up).
constexpr DWORD kShellStartMs = 250;

}  // namespace

std::string BinFolder() {
    const std::string tests = win::ModuleFolder();
    return tests.substr(0, tests.find_last_of('\\'));
}

ProgramCopy::ProgramCopy(const std::string& name, const std::string& parent) : folder_("e2e " + name, parent) {
    CreateDirectoryA(PathOf("data").c_str(), nullptr);
    const std::string bin = BinFolder();
    for (const char* file : {"program.exe", "Ostrad.dll"}) CopyOrFail(bin + "\\" + file, PathOf(file));
    if (testing::Exists(bin + "\\help.txt")) CopyOrFail(bin + "\\help.txt", PathOf("help.txt"));
}

std::string ProgramCopy::AddProbe(const std::string& name) const {
    for (auto slash = name.find('\\'); slash != std::string::npos; slash = name.find('\\', slash + 1)) {
        CreateDirectoryA(PathOf(name.substr(0, slash)).c_str(), nullptr);
    }
    const std::string target = PathOf(name);
    CopyOrFail(BinFolder() + "\\e2e\\probe.exe", target);
    return target;
}

void ProgramCopy::WriteFile(const std::string& relative, const std::string& bytes) const {
    if (!testing::WriteBytes(PathOf(relative), bytes)) ADD_FAILURE() << "cannot write " << PathOf(relative);
}

std::string ProgramCopy::ReadFile(const std::string& relative) const { return testing::ReadBytes(PathOf(relative)); }

bool ProgramCopy::Exists(const std::string& relative) const { return testing::Exists(PathOf(relative)); }

bool ProgramCopy::Rename(const std::string& from, const std::string& to) const {
    return MoveFileA(PathOf(from).c_str(), PathOf(to).c_str()) != 0;
}

std::unique_ptr<RunningProgram> ProgramCopy::Start(const std::string& arguments) const {
    return std::make_unique<RunningProgram>(PathOf("program.exe"), Folder(), arguments);
}

std::vector<ProbeStart> ProbeStarts(const ProgramCopy& copy, const std::string& folder) {
    std::vector<ProbeStart> starts;
    std::istringstream log(copy.ReadFile(folder.empty() ? "probe.log" : folder + "\\probe.log"));
    std::string line;
    while (std::getline(log, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ProbeStart start;
        char name[MAX_PATH] = {};
        unsigned long long created = 0;
        if (std::sscanf(line.c_str(), "name=%259s show=%d created=%llu", name, &start.show, &created) == 3) {
            start.name = name;
            start.created = created;
            const auto path = line.find(" path=");
            const auto args = line.find(" args=", path == std::string::npos ? 0 : path);
            if (path != std::string::npos && args != std::string::npos) start.path = line.substr(path + 6, args - path - 6);
            if (args != std::string::npos) start.args = line.substr(args + 6);
            starts.push_back(start);
        }
    }
    return starts;
}

std::vector<ProbeStart> SettledProbeStarts(const ProgramCopy& copy) {
    constexpr ULONGLONG kQuietMs = kShellStartMs + 2 * kTickMs;
    const ULONGLONG end = GetTickCount64() + 10000;
    size_t count = ProbeStarts(copy).size();
    ULONGLONG lastChange = GetTickCount64();
    while (GetTickCount64() - lastChange < kQuietMs && GetTickCount64() < end) {
        Wait(25);
        const size_t now = ProbeStarts(copy).size();
        if (now != count) {
            count = now;
            lastChange = GetTickCount64();
        }
    }
    return ProbeStarts(copy);
}

void EnterRow(const RunningProgram& program, int row, const Row& values) {
    program.SetText(ids::kText1 + row, values.firstKey);
    program.SetText(ids::kText2 + row, values.path);
    program.SetText(ids::kCombo1 + row, values.windowState);
    program.SetCheck(ids::kCheck1 + row, std::stoi(values.active));
    program.SetText(ids::kText3 + row, values.letter);
}

void ProgramTest::Start(const std::vector<Row>& rows) {
    rows_ = TenRows(rows);
    copy_.WriteFile("data\\shortcuts.ini", ShortcutsFile(rows_));
    StartAgain();
}

void ProgramTest::StartAgain() {
    program_ = copy_.Start();
    ASSERT_TRUE(program_->WaitForForm()) << "the main window did not appear";
}

}  // namespace brimlow::e2e
