// Reading and saving the shortcuts file against real files in a private
// folder under the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "support/checks.h"
#include "support/test_files.h"

namespace {

using brimlow::Error;
using brimlow::Status;
using brimlow::win::ReadShortcutsFile;
using brimlow::win::SaveShortcutsFile;
using brimlow::win::SaveStep;
namespace error_number = brimlow::error_number;

using brimlow::testing::Includes;

class ShortcutsIo : public ::testing::Test {
protected:
    std::vector<std::string> Names() const { return brimlow::testing::FileNames(folder_); }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(brimlow::testing::WriteBytes(path, bytes)) << path;
    }

    static std::string Bytes(const std::string& path) {
        auto read = ReadShortcutsFile(path);
        if (auto* error = std::get_if<Error>(&read)) {
            ADD_FAILURE() << error->description;
            return {};
        }
        return std::get<std::string>(read);
    }

    static Error ReadError(const std::string& path) {
        auto read = ReadShortcutsFile(path);
        if (!std::holds_alternative<Error>(read)) {
            ADD_FAILURE() << "read succeeded: " << path;
            return {};
        }
        return std::get<Error>(read);
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

// --- Saving and reading back --------------------------------------------

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

// --- Failures name the file and change nothing ---------------------------

TEST_F(ShortcutsIo, SaveIntoAMissingFolderFailsAndCreatesNothing) {
    const std::string missing = folder_ + "\\data\\shortcuts.ini";
    const Status status = SaveShortcutsFile(missing, SomeFile("C:\\a.exe"));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(status->description, missing));
    EXPECT_TRUE(Names().empty());
}

TEST_F(ShortcutsIo, SaveOverAReadOnlyFileFailsAndLeavesItAsItWas) {
    const std::string old = SomeFile("C:\\old.exe");
    WriteBytes(target_, old);
    ASSERT_TRUE(SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_READONLY));
    const Status status = SaveShortcutsFile(target_, SomeFile("C:\\new.exe"));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kPermissionDenied);
    EXPECT_TRUE(Includes(status->description, target_));
    EXPECT_EQ(Bytes(target_), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"shortcuts.ini"});
}

TEST_F(ShortcutsIo, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
    ASSERT_TRUE(CreateDirectoryA(target_.c_str(), nullptr));
    const Status status = SaveShortcutsFile(target_, SomeFile("C:\\a.exe"));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(Includes(status->description, target_));
    EXPECT_TRUE(Includes(status->description, "folder"));
    EXPECT_NE(GetFileAttributesA(target_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(Names(), std::vector<std::string>{"shortcuts.ini"});

    const Error error = ReadError(target_);
    EXPECT_EQ(error.number, error_number::kPathFileAccess);
    EXPECT_TRUE(Includes(error.description, target_));
}

TEST_F(ShortcutsIo, ReadingAMissingFileNamesIt) {
    const Error error = ReadError(target_);
    EXPECT_EQ(error.number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(error.description, target_));

    const std::string inMissingFolder = folder_ + "\\data\\shortcuts.ini";
    EXPECT_EQ(ReadError(inMissingFolder).number, error_number::kFileNotFound);
    EXPECT_TRUE(Names().empty());
}

// --- Every step of a save can fail without harm -------------------------

struct Fault {
    SaveStep step;
    int occurrence;  // which time the step comes round, from 1
    const char* name;
};
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class ShortcutsIoFault : public ShortcutsIo, public ::testing::WithParamInterface<Fault> {
protected:
    // Fails the chosen step with a full disk; counts each step's turns.
    brimlow::win::SaveStepHook Injector() {
        return [this](SaveStep step) -> DWORD {
            const int turn = ++turns_[static_cast<int>(step)];
            return step == GetParam().step && turn == GetParam().occurrence ? ERROR_DISK_FULL : ERROR_SUCCESS;
        };
    }
    int turns_[4] = {};
};

TEST_P(ShortcutsIoFault, LeavesTheOldFileByteForByteAndNoTemporaryFile) {
    const std::string old = SomeFile("C:\\old.exe");
    WriteBytes(target_, old);
    // A long path makes the file span several writes, so a later write fails
    // after part of the file is already on disk.
    const std::string bytes = SomeFile(std::string(900, 'p'));
    ASSERT_GT(bytes.size(), 8192u);

    const Status status = SaveShortcutsFile(target_, bytes, Injector());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kDiskFull);
    EXPECT_TRUE(Includes(status->description, target_));
    EXPECT_EQ(Bytes(target_), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"shortcuts.ini"});
}

TEST_P(ShortcutsIoFault, LeavesNoFileWhereThereWasNone) {
    const Status status = SaveShortcutsFile(target_, SomeFile(std::string(900, 'p')), Injector());
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(Names().empty());
}

INSTANTIATE_TEST_SUITE_P(EachStep, ShortcutsIoFault,
                         ::testing::Values(Fault{SaveStep::CreateTemporary, 1, "CreateTemporary"},
                                           Fault{SaveStep::Write, 1, "FirstWrite"},
                                           Fault{SaveStep::Write, 3, "ThirdWrite"},
                                           Fault{SaveStep::Flush, 1, "Flush"},
                                           Fault{SaveStep::Replace, 1, "Replace"}),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

}  // namespace
