#include "icon_lookup.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace brimlow {
namespace {

constexpr const char* kStock = "C:\\windows\\system32\\SHELL32.DLL";

// A registry of default values and a set of files that hold icons; records
// every key read and every extraction asked for.
class FakeIconPlatform final : public IconPlatform {
public:
    std::optional<std::string> ReadClassesRootDefault(const std::string& key) override {
        keysRead.push_back(key);
        const auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool ExtractAndDraw(const IconSource& source) override {
        extractions.push_back(source);
        return icons.count({source.file, source.index}) != 0;
    }
    std::string StockLibrary() override { return stockLibrary; }

    void FileType(const std::string& extension, const std::string& defaultIcon) {
        values[extension] = extension.substr(1) + "file";
        values[extension.substr(1) + "file\\DefaultIcon"] = defaultIcon;
    }

    std::map<std::string, std::string> values;
    std::set<std::pair<std::string, std::int32_t>> icons{{kStock, 0}, {kStock, 2}};
    std::string stockLibrary = kStock;
    std::vector<std::string> keysRead;
    std::vector<IconSource> extractions;
};

IconSource Stock(std::int32_t index) { return {kStock, index}; }

class IconLookupTest : public ::testing::Test {
protected:
    std::vector<IconAttempt> Refresh(const std::string& path) { return DrawTargetIcon(path, platform); }
    FakeIconPlatform platform;
};

TEST(IconLookupHelpers, ExtensionRunsFromTheLastDotOrIsTheWholePath) {
    EXPECT_EQ(ExtensionOf("C:\\docs\\a.b.txt"), ".txt");
    EXPECT_EQ(ExtensionOf("C:\\notes\\readme"), "C:\\notes\\readme");
    EXPECT_EQ(ExtensionOf("C:\\my.dir\\readme"), ".dir\\readme");
    EXPECT_EQ(ExtensionOf("trailing."), ".");
}

TEST(IconLookupHelpers, OnlyAnExactLowerCaseExeEndingMarksAProgram) {
    EXPECT_TRUE(IsLowerCaseProgram("C:\\Tools\\app.exe"));
    EXPECT_TRUE(IsLowerCaseProgram(".exe"));
    EXPECT_FALSE(IsLowerCaseProgram("C:\\Tools\\APP.EXE"));
    EXPECT_FALSE(IsLowerCaseProgram("C:\\Tools\\app.Exe"));
    EXPECT_FALSE(IsLowerCaseProgram("exe"));
    EXPECT_FALSE(IsLowerCaseProgram("C:\\Tools\\app.exe "));
}

TEST(IconLookupHelpers, IndexIsAWholeNumberWithAnOptionalMinusWithin32Bits) {
    EXPECT_EQ(ParseIconIndex("3"), 3);
    EXPECT_EQ(ParseIconIndex("-12"), -12);
    EXPECT_EQ(ParseIconIndex("007"), 7);
    EXPECT_EQ(ParseIconIndex("2147483647"), 2147483647);
    EXPECT_EQ(ParseIconIndex("-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const char* bad : {"", "-", "+3", "3a", "b\\pic.ico", "- 3", "1.5", "2147483648", "-2147483649",
                            "99999999999999999999"}) {
        EXPECT_EQ(ParseIconIndex(bad), std::nullopt) << bad;
    }
}

TEST(IconLookupHelpers, DefaultIconSplitsAtTheLastCommaAndTrimsSpacesOnly) {
    EXPECT_EQ(ParseDefaultIcon("  C:\\x\\lib.dll, 3 "), (IconSource{"C:\\x\\lib.dll", 3}));
    EXPECT_EQ(ParseDefaultIcon("C:\\x\\lib.dll,-12"), (IconSource{"C:\\x\\lib.dll", -12}));
    EXPECT_EQ(ParseDefaultIcon("C:\\a,b\\lib.dll,1"), (IconSource{"C:\\a,b\\lib.dll", 1}));
    EXPECT_EQ(ParseDefaultIcon("\"C:\\x\\lib.dll\",1"), (IconSource{"\"C:\\x\\lib.dll\"", 1}));
    EXPECT_EQ(ParseDefaultIcon(",0"), (IconSource{"", 0}));
    EXPECT_EQ(ParseDefaultIcon("%1"), std::nullopt);
    EXPECT_EQ(ParseDefaultIcon("C:\\a,b\\pic.ico"), std::nullopt);
    EXPECT_EQ(ParseDefaultIcon("C:\\x\\lib.dll,\t3"), std::nullopt);
}

TEST_F(IconLookupTest, LowerCaseExeShowsItsOwnFirstIconAndNothingElse) {
    platform.icons.insert({"C:\\Tools\\app.exe", 0});
    auto attempts = Refresh("C:\\Tools\\app.exe");
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_EQ(attempts[0].source, (IconSource{"C:\\Tools\\app.exe", 0}));
    EXPECT_TRUE(attempts[0].drawn);
    EXPECT_TRUE(platform.keysRead.empty());

    // Without an icon of its own the box stays empty: no stock icon.
    attempts = Refresh("C:\\Tools\\noicon.exe");
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_FALSE(attempts[0].drawn);
    EXPECT_TRUE(platform.keysRead.empty());
}

TEST_F(IconLookupTest, ExeNotInLowerCaseShowsStockIconTwoWithoutTheRegistry) {
    platform.FileType(".EXE", "C:\\x\\lib.dll,5");
    for (const char* path : {"C:\\Tools\\APP.EXE", "C:\\Tools\\app.Exe"}) {
        platform.icons.insert({path, 0});
        const auto attempts = Refresh(path);
        ASSERT_EQ(attempts.size(), 1u) << path;
        EXPECT_EQ(attempts[0].source, Stock(2)) << path;
        EXPECT_TRUE(attempts[0].drawn);
    }
    EXPECT_TRUE(platform.keysRead.empty());
}

TEST_F(IconLookupTest, StockIconTwoThatYieldsNothingFallsBackToStockZero) {
    platform.icons.erase({kStock, 2});
    const auto attempts = Refresh("C:\\Tools\\APP.EXE");
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_EQ(attempts[1].source, Stock(0));
    EXPECT_TRUE(attempts[1].drawn);
}

TEST_F(IconLookupTest, FileTypeIconComesFromTheClassDefaultIconValue) {
    platform.values[".txt"] = "txtfile";
    platform.values["txtfile\\DefaultIcon"] = " C:\\x\\lib.dll, 3 ";
    platform.icons.insert({"C:\\x\\lib.dll", 3});
    const auto attempts = Refresh("C:\\docs\\notes.txt");
    EXPECT_EQ(platform.keysRead, (std::vector<std::string>{".txt", "txtfile\\DefaultIcon"}));
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_EQ(attempts[0].source, (IconSource{"C:\\x\\lib.dll", 3}));
    EXPECT_TRUE(attempts[0].drawn);
}

TEST_F(IconLookupTest, ExtensionIsLookedUpAsWrittenAndTheClassNameUntrimmed) {
    platform.values[".TXT"] = "txtfile ";
    platform.values["txtfile \\DefaultIcon"] = "C:\\x\\lib.dll,1";
    platform.icons.insert({"C:\\x\\lib.dll", 1});
    const auto attempts = Refresh("C:\\docs\\NOTES.TXT");
    EXPECT_EQ(platform.keysRead, (std::vector<std::string>{".TXT", "txtfile \\DefaultIcon"}));
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_TRUE(attempts[0].drawn);
}

TEST_F(IconLookupTest, NegativeIndexIsPassedUnchanged) {
    platform.FileType(".neg", "C:\\x\\lib.dll,-12");
    platform.icons.insert({"C:\\x\\lib.dll", -12});
    const auto attempts = Refresh("C:\\a.neg");
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_EQ(attempts[0].source, (IconSource{"C:\\x\\lib.dll", -12}));
}

TEST_F(IconLookupTest, FileTypeIconThatYieldsNothingFallsBackToStockZero) {
    platform.FileType(".env", "%SystemRoot%\\system32\\imageres.dll,2");
    platform.FileType(".quo", "\"C:\\x\\lib.dll\",4");
    platform.icons.insert({"C:\\x\\lib.dll", 4});
    for (const auto& [path, tried] : {std::pair{"C:\\a.env", IconSource{"%SystemRoot%\\system32\\imageres.dll", 2}},
                                      std::pair{"C:\\a.quo", IconSource{"\"C:\\x\\lib.dll\"", 4}}}) {
        const auto attempts = Refresh(path);
        ASSERT_EQ(attempts.size(), 2u) << path;
        EXPECT_EQ(attempts[0].source, tried) << path;
        EXPECT_FALSE(attempts[0].drawn);
        EXPECT_EQ(attempts[1].source, Stock(0));
        EXPECT_TRUE(attempts[1].drawn);
    }
}

TEST_F(IconLookupTest, EveryFailedLookupStepGivesStockZero) {
    platform.FileType(".nocomma", "%1");
    platform.FileType(".inpath", "C:\\a,b\\pic.ico");
    platform.FileType(".empty", "");
    platform.values[".noclass"] = "missingclass";
    platform.values[".emptyclass"] = "";
    platform.values[".longclass"] = std::string(260, 'c');
    platform.values[std::string(260, 'c') + "\\DefaultIcon"] = "C:\\x\\lib.dll,1";
    platform.FileType(".longicon", "C:\\x\\" + std::string(250, 'n') + ".dll,1");
    platform.icons.insert({"C:\\x\\lib.dll", 1});
    platform.icons.insert({"C:\\x\\" + std::string(250, 'n') + ".dll", 1});
    for (const char* path : {"C:\\a.nocomma", "C:\\a.inpath", "C:\\a.empty", "C:\\a.noclass", "C:\\a.emptyclass",
                             "C:\\a.longclass", "C:\\a.longicon", "C:\\a.unregistered", "C:\\notes\\readme",
                             "C:\\my.dir\\readme"}) {
        const auto attempts = Refresh(path);
        ASSERT_EQ(attempts.size(), 1u) << path;
        EXPECT_EQ(attempts[0].source, Stock(0)) << path;
        EXPECT_TRUE(attempts[0].drawn) << path;
    }
}

// The limit is in characters: 259 of three UTF-8 bytes each still count.
TEST_F(IconLookupTest, ValueOfExactly259CharactersStillCountsInAnyScript) {
    std::string wide;
    for (int i = 0; i < 259; ++i) wide += "\xE6\x97\xA5";
    for (const std::string& className : {std::string(259, 'k'), wide}) {
        platform.values[".fits"] = className;
        platform.values[className + "\\DefaultIcon"] = "C:\\x\\lib.dll,1";
        platform.icons.insert({"C:\\x\\lib.dll", 1});
        const auto attempts = Refresh("C:\\a.fits");
        ASSERT_EQ(attempts.size(), 1u);
        EXPECT_EQ(attempts[0].source, (IconSource{"C:\\x\\lib.dll", 1}));
    }
    platform.values[".fits"] = wide + "\xE6\x97\xA5";
    EXPECT_EQ(Refresh("C:\\a.fits").at(0).source, Stock(0));
}

TEST_F(IconLookupTest, EmptyPathDrawsNothingAndReadsNothing) {
    EXPECT_TRUE(Refresh("").empty());
    EXPECT_TRUE(platform.keysRead.empty());
    EXPECT_TRUE(platform.extractions.empty());
}

TEST_F(IconLookupTest, NoStockIconLeavesTheBoxEmpty) {
    // What a failed system-directory query leaves: the library name alone.
    platform.stockLibrary = "\\SHELL32.DLL";
    const auto attempts = Refresh("C:\\a.unregistered");
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_EQ(attempts[0].source, (IconSource{"\\SHELL32.DLL", 0}));
    EXPECT_FALSE(attempts[0].drawn);

    const auto upper = Refresh("C:\\APP.EXE");
    ASSERT_EQ(upper.size(), 2u);
    EXPECT_FALSE(upper[0].drawn);
    EXPECT_FALSE(upper[1].drawn);
}

}  // namespace
}  // namespace brimlow
