#include "core/KvString.h"

#include <gtest/gtest.h>

#include <random>

using namespace kv;

TEST(KvString, CuttingAndPadding) {
    std::string s = "a/b/c";
    DeleteLeft(s, '/');
    EXPECT_EQ(s, "/b/c");
    DeleteRight(s, '/');
    EXPECT_EQ(s, "/b/");
    s = "abc";
    DeleteLeft(s, '/');
    DeleteRight(s, '/');
    EXPECT_EQ(s, "abc");

    EXPECT_EQ(LeftEnd("key=value=x", '='), "key");
    EXPECT_EQ(RightEnd("key=value=x", '='), "x");
    EXPECT_EQ(LeftEnd("novalue", '='), "");
    EXPECT_EQ(RightEnd("novalue", '='), "");
    EXPECT_EQ(LeftStr("abcdef", 2), "ab");
    EXPECT_EQ(RightStr("abcdef", 2), "ef");
    EXPECT_EQ(RightStr("ab", 5), "ab");
    EXPECT_EQ(LeftStr("ab", -1), "");

    EXPECT_EQ(PadEnds("ab", '*', 7), "**ab***");
    EXPECT_EQ(PadEnds("abcd", '*', 3), "abcd");
    EXPECT_EQ(PadLeft("7", '0', 3), "007");
    EXPECT_EQ(PadRight("7", '.', 3), "7..");
    EXPECT_EQ(PadRight("7", '.', -3), "7");
    EXPECT_EQ(Replicate("ab", 3), "ababab");
    EXPECT_EQ(Replicate("ab", 0), "");
}

TEST(KvString, Positions) {
    EXPECT_EQ(PosRight("ab", "abxab"), 4u);
    EXPECT_EQ(PosRight("zz", "abxab"), 0u);
    EXPECT_EQ(PosEx(1, "ab", "abxab"), 1u);
    EXPECT_EQ(PosEx(2, "ab", "abxab"), 3u); // counted from position 2
    EXPECT_EQ(PosEx(9, "ab", "abxab"), 0u);
    EXPECT_EQ(PosEx(-4, "x", "abxab"), 3u);
    EXPECT_EQ(PosEx(1, "", "abc"), 0u);
    EXPECT_EQ(StrPosEx("XA", "abxab"), 3u);
}

TEST(KvString, GermanUpperCaseAndHex) {
    EXPECT_EQ(DUpCase('a'), 'A');
    EXPECT_EQ(DUpCase('1'), '1');
    EXPECT_EQ(static_cast<unsigned char>(DUpCase(char(228))), 196);
    EXPECT_EQ(static_cast<unsigned char>(DUpCase(char(246))), 214);
    EXPECT_EQ(static_cast<unsigned char>(DUpCase(char(252))), 220);
    EXPECT_EQ(static_cast<unsigned char>(DUpCase(char(233))), 233);
    EXPECT_EQ(DUpperCase("gr\xfc\xdf" "e"), "GR\xdc\xdf" "E");
    EXPECT_TRUE(Equal("M\xfcller", "M\xdcLLER"));
    EXPECT_FALSE(Equal("abc", "abd"));

    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("7FFFFFFF"), 0x7FFFFFFF);
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt("123456789"), 0x12345678); // only the first 8 characters count
    EXPECT_EQ(HexToInt("12g4"), 0);
    EXPECT_EQ(HexToInt(""), 0);
}

TEST(KvString, ScramblingIsReversibleAndKeyDependent) {
    // The first character is XORed with the key's high byte; the key then moves with the output.
    EXPECT_EQ(Encrypt("A", 0x1200), std::string(1, char('A' ^ 0x12)));
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string s(rng() % 40, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        const auto key = static_cast<std::uint16_t>(rng());
        const std::string e = Encrypt(s, key);
        EXPECT_EQ(e.size(), s.size());
        EXPECT_EQ(Decrypt(e, key), s);
        if (!s.empty()) {
            EXPECT_NE(Decrypt(e, static_cast<std::uint16_t>(key ^ 0x0100)), s);
        }
    }
}
