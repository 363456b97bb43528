#include <gtest/gtest.h>

#include <vector>

#include "common/engine/access/JetText.h"

using namespace core::access;

namespace {

std::string Jet4(std::vector<std::uint8_t> bytes) { return DecodeJet4Text(bytes.data(), bytes.size()); }

TEST(Jet4Text, PlainUtf16WithAccentsAndSurrogatePairs) {
    // "Città €" then U+1F600 as a surrogate pair.
    EXPECT_EQ(Jet4({'C', 0, 'i', 0, 't', 0, 't', 0, 0xE0, 0, ' ', 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}),
              "Citt\xC3\xA0 \xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Jet4({}), "");
}

TEST(Jet4Text, CompressedTextSwitchesModeAtEachZeroByte) {
    // FF FE, "Perch" then "é" compressed, switch to two-byte for "€", back.
    EXPECT_EQ(Jet4({0xFF, 0xFE, 'P', 'e', 'r', 'c', 'h', 0xE9, 0, 0xAC, 0x20, 0, '!'}),
              "Perch\xC3\xA9\xE2\x82\xAC!");
    EXPECT_EQ(Jet4({0xFF, 0xFE}), "");
}

TEST(Jet4Text, DamagedInputNeverReadsPastItsEndOrBreaksUtf8) {
    EXPECT_EQ(Jet4({'a', 0, 'b'}), "a");                  // odd length
    EXPECT_EQ(Jet4({0xFF, 0xFE, 'a', 0, 'b'}), "a");      // half a unit in two-byte mode
    EXPECT_EQ(Jet4({0x3D, 0xD8, 'x', 0}), "\xEF\xBF\xBDx");  // lone high surrogate
    EXPECT_EQ(Jet4({0x00, 0xDE}), "\xEF\xBF\xBD");        // lone low surrogate
    EXPECT_EQ(Jet4({0x3D, 0xD8}), "\xEF\xBF\xBD");        // high surrogate at the end
}

TEST(CodePageText, Windows1252IncludingItsSpecialRange) {
    const std::uint8_t bytes[] = {'p', 'e', 'r', 'c', 'h', 0xE8, ' ', 0x80, ' ', 0x93, 'x', 0x94};
    EXPECT_EQ(DecodeCodePageText(bytes, sizeof bytes, 1252),
              "perch\xC3\xA8 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    // An unset code page is read as 1252.
    EXPECT_EQ(DecodeCodePageText(bytes, 6, 0), "perch\xC3\xA8");
}

TEST(CodePageText, OtherCodePagesAndUnknownOnes) {
    const std::uint8_t bytes[] = {0xE8};  // 1250: č; 1252: è
    EXPECT_EQ(DecodeCodePageText(bytes, 1, 1250), "\xC4\x8D");
    // A code page that is not known falls back to 1252.
    EXPECT_EQ(DecodeCodePageText(bytes, 1, 65999), "\xC3\xA8");
}

}  // namespace
