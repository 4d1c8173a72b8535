// The launcher library, loaded by name as the program loads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "module1.h"
#include "paths.h"

namespace {

using brimlow::Module1::OstradFunction;

class OstradLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("Ostrad.dll");
        ASSERT_NE(module_, nullptr) << "Ostrad.dll beside the tests";
        ostrad_ = reinterpret_cast<OstradFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "Ostrad")));
        ASSERT_NE(ostrad_, nullptr);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
    OstradFunction ostrad_ = nullptr;
};

TEST_F(OstradLibrary, ExportsOstradByNameAndAtOrdinalOne) {
    auto byOrdinal = GetProcAddress(module_, MAKEINTRESOURCEA(1));
    EXPECT_EQ(reinterpret_cast<void*>(byOrdinal), reinterpret_cast<void*>(ostrad_));
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(2)), nullptr);
}

TEST_F(OstradLibrary, AMissingFileGivesTheShellsErrorCode) {
    const LONG result = ostrad_("C:\\no such folder\\nothing.exe", 1, "");
    EXPECT_LE(result, 32);
    EXPECT_GE(result, 0);
}

TEST_F(OstradLibrary, ADocumentIsAcceptedByTheShell) {
    // A folder opens in the shell's file manager: accepted, above 32.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const LONG result = ostrad_(windows, 0, "");
    EXPECT_GT(result, 32);
}

}  // namespace
