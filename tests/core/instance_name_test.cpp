#include "instance_name.h"

#include <gtest/gtest.h>

namespace brimlow {
namespace {

TEST(InstanceName, IsALocalNameWithSixteenHexDigitsThatDependsOnEveryCodeUnit) {
    const std::string name = InstanceName(u"C:\\USERS\\ANN\\APPDATA\\LOCAL\\PROGRAMS\\BRIMLOW");
    ASSERT_EQ(name.rfind("Local\\Brimlow-", 0), 0u) << name;
    const std::string hex = name.substr(sizeof "Local\\Brimlow-" - 1);
    EXPECT_EQ(hex.size(), 16u);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;

    EXPECT_EQ(name, InstanceName(u"C:\\USERS\\ANN\\APPDATA\\LOCAL\\PROGRAMS\\BRIMLOW"));
    // Folders that differ in one character, in the high byte of one code
    // unit only, or by a trailing part are different tables.
    EXPECT_NE(name, InstanceName(u"C:\\USERS\\ANN\\APPDATA\\LOCAL\\PROGRAMS\\BRIMLOX"));
    EXPECT_NE(InstanceName(u"C:\\A\u0141"), InstanceName(u"C:\\A\u0041"));
    EXPECT_NE(InstanceName(u"C:\\TOOLS"), InstanceName(u"C:\\TOOLS\\BRIMLOW"));
    // The well-known FNV-1a offset basis for nothing hashed.
    EXPECT_EQ(InstanceName(u""), "Local\\Brimlow-cbf29ce484222325");
}

}  // namespace
}  // namespace brimlow
