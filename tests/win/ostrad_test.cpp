// The launcher library, loaded by name as the program loads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
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

TEST_F(OstradLibrary, AProgramStartsInTheShowStateAsked) {
    // The probe of the end-to-end tests records how it was started.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "ostrad test " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string probe = folder + "\\probe.exe";
    ASSERT_TRUE(CopyFileA((brimlow::win::ModuleFolder() + "\\e2e\\probe.exe").c_str(), probe.c_str(), FALSE));

    EXPECT_GT(ostrad_(probe.c_str(), 3, ""), 32);
    const std::string log = folder + "\\probe.log";
    std::string line;
    for (int i = 0; i < 100 && line.empty(); ++i) {
        Sleep(50);
        if (FILE* file = std::fopen(log.c_str(), "rb")) {
            char buffer[512] = {};
            std::fgets(buffer, sizeof buffer, file);
            std::fclose(file);
            line = buffer;
        }
    }
    EXPECT_NE(line.find("show=3 "), std::string::npos) << line;
    DeleteFileA(log.c_str());
    DeleteFileA(probe.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
