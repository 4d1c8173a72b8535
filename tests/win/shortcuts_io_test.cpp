// Reading and saving the shortcuts file against real files in a private
// folder under the temporary folder. What a failing read or save does is
// shown by the fault tests (tests/faults).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "support/test_files.h"

namespace {

using brimlow::Status;
using brimlow::win::SaveShortcutsFile;

class ShortcutsIo : public ::testing::Test {
protected:
    std::vector<std::string> Names() const { return brimlow::testing::FileNames(folder_); }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(brimlow::testing::WriteBytes(path, bytes)) << path;
    }

    static std::string Bytes(const std::string& path) {
        auto read = brimlow::win::ReadShortcutsFile(path);
        if (auto* error = std::get_if<brimlow::Error>(&read)) {
            ADD_FAILURE() << error->description;
            return {};
        }
        return std::get<std::string>(read);
    }

    static std::string SomeFile(const std::string& path) {
        brimlow::ShortcutRows rows{};
        for (auto& row : rows) row = {"PAGE UP", "K", path, "3 - Maximized", brimlow::kActiveDimmed};
        rows[0].firstKey = " CTRL ";
        return brimlow::FormatShortcuts(rows);
    }

    brimlow::testing::TempFolder temp_{"io"};
    const std::string folder_ = temp_.Path();
    const std::string target_ = temp_.PathOf("shortcuts.ini");
};

TEST_F(ShortcutsIo, SaveThenReadGivesTheSameBytes) {
    const std::string bytes = SomeFile("C:\\Program Files\\\xE9t\xE9\\a b.exe");
    ASSERT_FALSE(SaveShortcutsFile(target_, bytes).has_value());
    EXPECT_EQ(Bytes(target_), bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"shortcuts.ini"});
}

TEST_F(ShortcutsIo, SaveReplacesALongerExistingFileWhole) {
    WriteBytes(target_, std::string(20000, 'x'));
    const std::string bytes = SomeFile("C:\\a.exe");
    ASSERT_FALSE(SaveShortcutsFile(target_, bytes).has_value());
    EXPECT_EQ(Bytes(target_), bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"shortcuts.ini"});
}

TEST_F(ShortcutsIo, SaveWithAnEmptyPathWritesNothingAndSucceeds) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    const Status status = SaveShortcutsFile("", SomeFile("C:\\a.exe"));
    SetCurrentDirectoryA(previous);
    EXPECT_FALSE(status.has_value());
    EXPECT_TRUE(Names().empty());
}

TEST_F(ShortcutsIo, ReadStopsAfterTheFiftiethLine) {
    const std::string bytes = SomeFile("C:\\a.exe");
    WriteBytes(target_, bytes + std::string(1 << 20, 'y') + "\r\n");
    const std::string read = Bytes(target_);
    EXPECT_LT(read.size(), bytes.size() + 8192);
    EXPECT_EQ(read.substr(0, bytes.size()), bytes);
}

}  // namespace
