#include "key_codes.h"

#include <gtest/gtest.h>

#include "fake_rows.h"

namespace brimlow {
namespace {

using testing::FakeRows;

TEST(FirstKeyCode, MatchesOnlyWholeNamesInUpperCase) {
    EXPECT_EQ(FirstKeyCode("CTRL"), 17);
    EXPECT_EQ(FirstKeyCode("PAGE UP"), 33);
    EXPECT_EQ(FirstKeyCode("PAGE DOWN"), 34);
    EXPECT_EQ(FirstKeyCode("DELETE"), 46);
    for (const char* text : {"Ctrl", "ctrl", "CTRL ", " CTRL", "PAGEUP", "PAGE", "DDELETE", "", "SHIFT", "F1"}) {
        EXPECT_FALSE(FirstKeyCode(text)) << '"' << text << '"';
    }
}

TEST(LetterCode, EveryCapitalLetterIsItsOwnCode) {
    for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(LetterCode(std::string(1, c)), c);
    EXPECT_EQ(LetterCode("K"), 75);
    EXPECT_EQ(LetterCode("J"), 74);
    for (const char* text : {"k", "KK", " K", "K ", "1", "", "\xC4"}) {
        EXPECT_FALSE(LetterCode(text)) << '"' << text << '"';
    }
}

TEST(FirstKeyPressFor, DeleteWritesTheDoubledNameTheBoxThenTrims) {
    auto press = FirstKeyPressFor(46);
    ASSERT_TRUE(press);
    EXPECT_EQ(press->textWritten, "DDELETE");
    EXPECT_EQ(press->code, 46);
    EXPECT_EQ(FirstKeyPressFor(8)->textWritten, "BACKSPACE");
    EXPECT_EQ(FirstKeyPressFor(33)->textWritten, "PAGE UP");
    EXPECT_FALSE(FirstKeyPressFor('A'));
    EXPECT_FALSE(FirstKeyPressFor(16));  // Shift
    EXPECT_FALSE(FirstKeyPressFor(112));  // F1
}

TEST(FirstKeyPressFor, EveryNameButDeleteIsAFirstKeyName) {
    for (int vk = 0; vk < 256; ++vk) {
        auto press = FirstKeyPressFor(vk);
        if (!press || vk == 46) continue;
        EXPECT_EQ(FirstKeyCode(press->textWritten), vk);
    }
}

TEST(ResolveRowKeyCodes, StoresBothCodesOfTheRowOnly) {
    FakeRows rows;
    rows.Set(3, "PAGE DOWN", "K", "x", "1 - Normal", kActiveOn);
    KeyCodes codes;
    ResolveRowKeyCodes(rows, codes, 3);
    EXPECT_EQ(codes.first[3], 34);
    EXPECT_EQ(codes.second[3], 75);
    for (int i = 0; i < kCodeTableSize; ++i) {
        if (i == 3) continue;
        EXPECT_EQ(codes.first[i], 0);
        EXPECT_EQ(codes.second[i], 0);
    }
}

TEST(ResolveRowKeyCodes, TextsThatNameNoKeyKeepTheOldCodes) {
    FakeRows rows;
    KeyCodes codes;
    ResolveRowKeyCodes(rows, codes, 0);
    ASSERT_EQ(codes.first[0], 17);
    ASSERT_EQ(codes.second[0], 78);
    for (const char* letter : {"", "k", "K ", "NN", "7"}) {
        rows.Set(0, "Ctrl", letter, "x", "1 - Normal", kActiveOn);
        ResolveRowKeyCodes(rows, codes, 0);
        EXPECT_EQ(codes.first[0], 17);
        EXPECT_EQ(codes.second[0], 78);
    }
}

TEST(ResolveRowKeyCodes, TheTwoStepsAreIndependent) {
    FakeRows rows;
    KeyCodes codes;
    rows.Set(1, "UP", "bad", "x", "", kActiveOff);
    ResolveRowKeyCodes(rows, codes, 1);
    EXPECT_EQ(codes.first[1], 38);
    EXPECT_EQ(codes.second[1], 0);
    rows.Set(1, "PAGEUP", "Z", "x", "", kActiveOff);
    ResolveRowKeyCodes(rows, codes, 1);
    EXPECT_EQ(codes.first[1], 38);
    EXPECT_EQ(codes.second[1], 90);
}

TEST(ResolveKeyCodes, ResolvesAllTenRowsAndNeverEntryTen) {
    FakeRows rows;
    const char* names[] = {"CTRL", "BACKSPACE", "PAUSE", "PAGE UP", "PAGE DOWN", "UP", "DOWN", "LEFT", "RIGHT", "INSERT"};
    for (int row = 0; row < kRowCount; ++row) {
        rows.Set(row, names[row], std::string(1, static_cast<char>('A' + row)), "p", "1", kActiveOn);
    }
    KeyCodes codes;
    ResolveKeyCodes(rows, codes);
    const int expected[] = {17, 8, 19, 33, 34, 38, 40, 37, 39, 45};
    for (int row = 0; row < kRowCount; ++row) {
        EXPECT_EQ(codes.first[row], expected[row]);
        EXPECT_EQ(codes.second[row], 'A' + row);
    }
    EXPECT_EQ(codes.first[10], 0);
    EXPECT_EQ(codes.second[10], 0);
}

// A key going down in a first-key box: a named key writes its name and code
// and the row is resolved again with the letter beside it; a key without a
// name writes nothing but still resolves the row from its boxes.
TEST(PressFirstKey, WritesTheKeysNameAndCodeAndResolvesTheRow) {
    FakeRows rows;
    KeyCodes codes;
    rows.Set(3, "anything", "K", "", "1 - Normal", kActiveOn);
    PressFirstKey(rows, codes, 3, 33);
    EXPECT_EQ(rows.Text(Box::FirstKey, 3), "PAGE UP");
    EXPECT_EQ(codes.first[3], 33);
    EXPECT_EQ(codes.second[3], 'K');

    // Delete writes "DDELETE" for the box to trim; the code is set directly,
    // since that text names no key.
    PressFirstKey(rows, codes, 3, 46);
    EXPECT_EQ(rows.Text(Box::FirstKey, 3), "DDELETE");
    EXPECT_EQ(codes.first[3], 46);

    rows.Set(4, "INSERT", "J", "", "1 - Normal", kActiveOn);
    PressFirstKey(rows, codes, 4, 'A');
    EXPECT_EQ(rows.Text(Box::FirstKey, 4), "INSERT");
    EXPECT_EQ(codes.first[4], 45);
    EXPECT_EQ(codes.second[4], 'J');
    EXPECT_EQ(codes.first[2], 0) << "other rows untouched";
}

TEST(ActiveAfterClick, TicksAnUntickedOrDimmedBoxAndClearsATickedOne) {
    EXPECT_EQ(ActiveAfterClick(kActiveOff), kActiveOn);
    EXPECT_EQ(ActiveAfterClick(kActiveDimmed), kActiveOn);
    EXPECT_EQ(ActiveAfterClick(kActiveOn), kActiveOff);
}

}  // namespace
}  // namespace brimlow
