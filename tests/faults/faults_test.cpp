// Faults and bad inputs against the real main window, hosted in this process,
// and the shortcuts file routines under it, in a program folder of their own
// under the temporary folder: each one gives an error that names the file,
// or the documented quiet result, and nothing the user had is lost.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "form1.h"
#include "module1.h"
#include "paths.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "support/checks.h"
#include "support/test_files.h"
#include "win_errors.h"

namespace {

using brimlow::Box;
using brimlow::Error;
using brimlow::Status;
using brimlow::testing::FileNames;
using brimlow::testing::Includes;
using brimlow::win::SaveShortcutsFile;
using brimlow::win::SaveStep;
namespace error_number = brimlow::error_number;

using Names = std::vector<std::string>;

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<brimlow::Form1>(GetModuleHandleA(nullptr), folder_);
        ASSERT_FALSE(form_->Create());
    }
    void TearDown() override { form_.reset(); }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(brimlow::testing::WriteBytes(path, bytes)) << path;
    }

    // The file's bytes as they are on disk, whatever their length.
    static std::string DiskBytes(const std::string& path) {
        return brimlow::testing::Exists(path) ? brimlow::testing::ReadBytes(path) : "<missing>";
    }

    static Error ReadError(const std::string& path) {
        auto read = brimlow::win::ReadShortcutsFile(path);
        if (!std::holds_alternative<Error>(read)) {
            ADD_FAILURE() << "read succeeded: " << path;
            return {};
        }
        return std::get<Error>(read);
    }

    std::string DataFolder() const { return folder_ + "\\data"; }
    std::string DataFile() const { return folder_ + "\\data\\shortcuts.ini"; }
    void MakeDataFolder() { ASSERT_TRUE(CreateDirectoryA(DataFolder().c_str(), nullptr)); }

    static std::string GoodFile(const std::string& path) {
        brimlow::ShortcutRows rows{};
        for (auto& row : rows) row = {"PAGE UP", "K", path, "3 - Maximized", brimlow::kActiveOff};
        return brimlow::FormatShortcuts(rows);
    }

    // The rows as they stand in the window, to show that a refused file
    // changed none of them.
    brimlow::ShortcutRows WindowRows() { return brimlow::ReadRows(form_->Rows()); }

    void ExpectRefusedAndUnchanged(const std::string& bytes) {
        MakeDataFolder();
        WriteBytes(DataFile(), bytes);
        const brimlow::ShortcutRows before = WindowRows();
        const Status status = form_->LoadShortcuts(DataFile());
        ASSERT_TRUE(status.has_value()) << "the file was accepted";
        EXPECT_TRUE(Includes(status->description, DataFile()));
        EXPECT_TRUE(WindowRows() == before) << "a refused file changed the rows";
        EXPECT_EQ(DiskBytes(DataFile()), bytes) << "reading changed the file";
    }

    brimlow::testing::TempFolder temp_{"faults"};
    const std::string folder_ = temp_.Path();
    std::unique_ptr<brimlow::Form1> form_;
};

// --- The shortcuts file and its folder -------------------------------------

TEST_F(Faults, AMissingFileOrDataFolderIsAnErrorNamingTheFileAndNothingIsCreated) {
    const Status loaded = form_->LoadShortcuts(form_->ShortcutsPath());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(loaded->description, DataFile()));

    // Saving into the missing folder fails the same way and creates nothing.
    const Status saved = form_->SaveShortcuts(form_->ShortcutsPath());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(saved->description, DataFile()));
    EXPECT_TRUE(FileNames(folder_).empty()) << "no data folder, no file";

    // The folder without the file: reading names the file and creates none.
    MakeDataFolder();
    const Error error = ReadError(DataFile());
    EXPECT_EQ(error.number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(error.description, DataFile()));
    EXPECT_TRUE(FileNames(DataFolder()).empty());
}

TEST_F(Faults, AReadOnlyShortcutsFileLoadsButIsNeverWrittenOver) {
    MakeDataFolder();
    const std::string old = GoodFile("C:\\old.exe");
    WriteBytes(DataFile(), old);
    ASSERT_TRUE(SetFileAttributesA(DataFile().c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_FALSE(form_->LoadShortcuts(DataFile()));
    EXPECT_EQ(form_->Rows().Text(Box::Path, 9), "C:\\old.exe");
    form_->Rows().SetText(Box::Path, 9, "C:\\new.exe");
    const Status status = form_->Form_Unload();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kPermissionDenied);
    EXPECT_TRUE(Includes(status->description, DataFile()));
    EXPECT_EQ(form_->ExitCode(), 1);
    EXPECT_EQ(DiskBytes(DataFile()), old);
    EXPECT_EQ(FileNames(DataFolder()), Names{"shortcuts.ini"});
}

// What the user set on the table survives a save: the hidden attribute, and
// a link into a synced folder, which keeps pointing at the file it pointed at.
TEST_F(Faults, ASaveKeepsAHiddenTableHiddenAndALinkedTableLinked) {
    MakeDataFolder();
    WriteBytes(DataFile(), GoodFile("C:\\old.exe"));
    ASSERT_TRUE(SetFileAttributesA(DataFile().c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_FALSE(form_->LoadShortcuts(DataFile()));
    form_->Rows().SetText(Box::Path, 0, "C:\\hidden.exe");
    ASSERT_FALSE(form_->Form_Unload());
    EXPECT_NE(GetFileAttributesA(DataFile().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u) << "the save unhid the table";
    EXPECT_EQ(DiskBytes(DataFile()), brimlow::FormatShortcuts(WindowRows()));

    const std::string synced = folder_ + "\\synced";
    ASSERT_TRUE(CreateDirectoryA(synced.c_str(), nullptr));
    WriteBytes(synced + "\\table.ini", GoodFile("C:\\synced.exe"));
    ASSERT_TRUE(SetFileAttributesA(DataFile().c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileA(DataFile().c_str()));
    ASSERT_TRUE(brimlow::testing::MakeLinuxSymlink(DataFolder(), "../synced/table.ini", "shortcuts.ini"));
    form_ = std::make_unique<brimlow::Form1>(GetModuleHandleA(nullptr), folder_);
    ASSERT_FALSE(form_->Create());
    ASSERT_FALSE(form_->LoadShortcuts(DataFile()));
    EXPECT_EQ(form_->Rows().Text(Box::Path, 0), "C:\\synced.exe");
    form_->Rows().SetText(Box::Path, 0, "C:\\linked.exe");
    ASSERT_FALSE(form_->Form_Unload());
    EXPECT_EQ(DiskBytes(synced + "\\table.ini"), brimlow::FormatShortcuts(WindowRows()));
    EXPECT_EQ(FileNames(synced), Names{"table.ini"});
    // Still a link: a write to the synced file is what the table holds.
    WriteBytes(synced + "\\table.ini", "changed in the synced folder\r\n");
    EXPECT_EQ(DiskBytes(DataFile()), "changed in the synced folder\r\n");
    form_.reset();
    EXPECT_TRUE(brimlow::testing::RemoveLinuxSymlink(DataFolder(), "shortcuts.ini"));
}

TEST_F(Faults, AFolderInPlaceOfTheShortcutsFileIsNeitherReadNorReplaced) {
    MakeDataFolder();
    ASSERT_TRUE(CreateDirectoryA(DataFile().c_str(), nullptr));
    const Status loaded = form_->LoadShortcuts(DataFile());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->number, error_number::kPathFileAccess);
    EXPECT_TRUE(Includes(loaded->description, DataFile()));
    EXPECT_TRUE(Includes(loaded->description, "it is a folder"));
    const Status saved = form_->SaveShortcuts(DataFile());
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(Includes(saved->description, DataFile()));
    EXPECT_TRUE(Includes(saved->description, "folder"));
    EXPECT_NE(GetFileAttributesA(DataFile().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(FileNames(DataFolder()), Names{"shortcuts.ini"});
}

// A full disk at every step of a save, at each write of a file many writes
// long: the old file stays byte for byte, or where there was none there is
// still none, no temporary file is left, and the message names the file and
// says why.
TEST_F(Faults, AFullDiskAtAnyStepOfASaveLeavesTheOldFileOrNoneAndSaysSo) {
    MakeDataFolder();
    const std::string old = GoodFile("C:\\old.exe");
    const std::string bytes = GoodFile(std::string(2000, 'p'));
    int turns[5] = {};
    ASSERT_FALSE(SaveShortcutsFile(folder_ + "\\count.ini", bytes, [&](SaveStep step) -> DWORD {
        ++turns[static_cast<int>(step)];
        return ERROR_SUCCESS;
    }));
    DeleteFileA((folder_ + "\\count.ini").c_str());
    ASSERT_GE(turns[static_cast<int>(SaveStep::Write)], 5);

    for (SaveStep failing : {SaveStep::CreateTemporary, SaveStep::Write, SaveStep::Flush, SaveStep::Replace}) {
        for (int turn = 1; turn <= turns[static_cast<int>(failing)]; ++turn) {
            for (bool hadFile : {true, false}) {
                SCOPED_TRACE("step " + std::to_string(static_cast<int>(failing)) + ", turn " + std::to_string(turn) +
                             (hadFile ? ", over the old file" : ", no file before"));
                if (hadFile) WriteBytes(DataFile(), old);
                int seen = 0;
                const Status status = SaveShortcutsFile(DataFile(), bytes, [&](SaveStep step) -> DWORD {
                    return step == failing && ++seen == turn ? ERROR_DISK_FULL : ERROR_SUCCESS;
                });
                ASSERT_TRUE(status.has_value());
                EXPECT_EQ(status->number, error_number::kDiskFull);
                EXPECT_TRUE(Includes(status->description, DataFile()));
                EXPECT_TRUE(Includes(status->description, brimlow::win::SystemMessage(ERROR_DISK_FULL)));
                EXPECT_EQ(DiskBytes(DataFile()), hadFile ? old : "<missing>");
                EXPECT_EQ(FileNames(DataFolder()), hadFile ? Names{"shortcuts.ini"} : Names{});
                DeleteFileA(DataFile().c_str());
            }
        }
    }
}

// Permissions that deny Delete refuse a rename over the table (Wine keeps no
// permissions, so the refusal is injected where the save asks): the table is
// written in place, the same file, whole and alone in its folder.
TEST_F(Faults, ATableWhosePermissionsRefuseReplacementIsWrittenInPlace) {
    MakeDataFolder();
    WriteBytes(DataFile(), std::string(9000, 'o'));
    const auto identity = [this] {
        brimlow::win::UniqueFile file(CreateFileA(DataFile().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        GetFileInformationByHandle(file.Get(), &info);
        return (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    };
    const ULONGLONG before = identity();
    const std::string bytes = GoodFile("C:\\new.exe");
    ASSERT_FALSE(SaveShortcutsFile(DataFile(), bytes, [](SaveStep step) -> DWORD {
        return step == SaveStep::CheckReplace ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }));
    EXPECT_EQ(DiskBytes(DataFile()), bytes);
    EXPECT_EQ(identity(), before) << "replaced, not written in place";
    EXPECT_EQ(FileNames(DataFolder()), Names{"shortcuts.ini"});
}

// --- Files that are not shortcuts files ------------------------------------

TEST_F(Faults, ATenMegabyteSingleLineFileIsRefusedAndChangesNothing) {
    ExpectRefusedAndUnchanged(std::string(10 * 1024 * 1024, 'x'));
}

TEST_F(Faults, AFileOfNulBytesIsRefusedAndChangesNothing) { ExpectRefusedAndUnchanged(std::string(4096, '\0')); }

TEST_F(Faults, AUtf16FileIsRefusedAndChangesNothing) {
    const std::string ansi = GoodFile("C:\\a.exe");
    std::string wide = "\xFF\xFE";
    for (char c : ansi) {
        wide.push_back(c);
        wide.push_back('\0');
    }
    ExpectRefusedAndUnchanged(wide);
}

// --- The launcher library and the help file --------------------------------

class LauncherFaults : public Faults {
protected:
    std::string Library() const { return folder_ + "\\Ostrad.dll"; }
    static std::string Built(const std::string& name) { return brimlow::win::ModuleFolder() + "\\" + name; }

    Error CallFails() {
        brimlow::Module1::Ostrad launcher(folder_);
        const Status status = launcher.Call("C:\\no such file.txt", 1, "");
        if (!status) {
            ADD_FAILURE() << "the call succeeded";
            return {};
        }
        EXPECT_TRUE(Includes(status->description, Library()));
        return *status;
    }
};

TEST_F(LauncherFaults, AMissingLibraryIsAnErrorNamingItAndPuttingItBackIsEnough) {
    brimlow::Module1::Ostrad launcher(folder_);
    Status status = launcher.Call("C:\\no such file.txt", 1, "");
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kFileNotFound);
    EXPECT_TRUE(Includes(status->description, Library()));

    // The failure is not remembered: the next call finds the library.
    ASSERT_TRUE(CopyFileA(Built("Ostrad.dll").c_str(), Library().c_str(), FALSE));
    LONG result = 0;
    EXPECT_FALSE(launcher.Call("C:\\no such file.txt", 1, "", &result));
    EXPECT_EQ(result, 2);
}

TEST_F(LauncherFaults, ACorruptLibraryIsAnErrorNamingIt) {
    WriteBytes(Library(), "This is not a library.\r\n");
    EXPECT_EQ(CallFails().number, error_number::kBadDllLoad);
}

TEST_F(LauncherFaults, ALibraryWithoutTheExportIsAnErrorNamingTheFunction) {
    ASSERT_TRUE(CopyFileA(Built("faults\\no_export.dll").c_str(), Library().c_str(), FALSE));
    const Error error = CallFails();
    EXPECT_EQ(error.number, error_number::kDllEntryMissing);
    EXPECT_TRUE(Includes(error.description, "Ostrad"));
}

// A missing help file shows nothing: the launcher binds and returns the
// shell's "file not found", which the Context command does not report.
TEST_F(LauncherFaults, AMissingHelpFileIsTheShellsQuietNotFound) {
    ASSERT_TRUE(CopyFileA(Built("Ostrad.dll").c_str(), Library().c_str(), FALSE));
    LONG result = 0;
    const Status status = form_->Launcher().Call(folder_ + "\\help.txt", 1, std::string(), &result);
    EXPECT_FALSE(status.has_value());
    EXPECT_EQ(result, 2);
}

}  // namespace
