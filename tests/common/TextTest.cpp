// The shared text helpers: code pages against Windows' own conversion,
// UTF-8 validity and repair, ASCII and Unicode case, trimming and rounding.
#include <gtest/gtest.h>

#include <QString>

#include <array>
#include <cmath>
#include <string>

#include "common/text/AsciiText.h"
#include "common/text/CodePages.h"
#include "common/text/Rounding.h"
#include "common/text/Utf8.h"

using namespace core::text;

namespace {

using UpperHalf = std::array<char16_t, 128>;

// Windows' conversion of bytes 0x80 to 0xFF; the lower half is ASCII in
// every page.
constexpr UpperHalf kWindowsDos437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr UpperHalf kWindowsDos850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252 from 0x80 to 0x9F (the rest is Latin-1); the five unassigned
// bytes keep their C1 control code.
constexpr std::array<char16_t, 32> kWindows1252Low = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string Utf8Of(char16_t unit) { return QString(QChar(unit)).toStdString(); }

char16_t WindowsMapping(int page, unsigned char b) {
    if (b < 0x80) return b;
    if (page == kDos437) return kWindowsDos437[b - 0x80];
    if (page == kDos850) return kWindowsDos850[b - 0x80];
    return b < 0xA0 ? kWindows1252Low[b - 0x80] : char16_t(b);
}

// Every byte of every page we decode, alone and inside one long text, gives
// what Windows gives: Qt's decoders stand in for hand tables only as far as
// this holds.
TEST(CodePages, EveryByteDecodesAsWindowsDoes) {
    for (int page : {kWindows1252, kDos850, kDos437}) {
        std::string all, expected;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            const std::string want = Utf8Of(WindowsMapping(page, static_cast<unsigned char>(b)));
            EXPECT_EQ(FromCodePage(std::string(1, byte), page), want) << "page " << page << " byte " << b;
            all += byte;
            expected += want;
        }
        EXPECT_EQ(FromCodePage(all, page), expected) << "page " << page;
    }
}

TEST(CodePages, PageNumbersOutsideTheKnownOnes) {
    struct Case { int page; std::string bytes; std::string expected; };
    const Case cases[] = {
        {0, "perch\xE8 \x80", "perchè €"},          // unset: Windows-1252
        {65999, "\xE8", "è"},                        // unknown: Windows-1252
        {1250, "\xE8", "č"},                         // another Windows page
        {kUtf8, "già", "già"},                      // UTF-8 as it is
        {kWindows1252, std::string("a\0b", 3), std::string("a\0b", 3)},  // NUL kept
        {kDos850, "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FromCodePage(c.bytes, c.page), c.expected) << c.page;
}

TEST(CodePages, FileTextByItsMark) {
    struct Case { std::string bytes; std::string expected; };
    const Case cases[] = {
        {"\xEF\xBB\xBF" "citt\xC3\xA0", "città"},                 // UTF-8 mark dropped
        {"\xEF\xBB\xBF" "citt\xE0", "citt\xEF\xBF\xBD"},         // marked UTF-8, damaged
        {std::string("\xFF\xFE" "a\0\xE0\0", 6), "aà"},          // UTF-16LE
        {std::string("\xFE\xFF\0a\0\xE0", 6), "aà"},             // UTF-16BE
        {"citt\xE0 \x80", "città €"},                             // not UTF-8: Windows-1252
        {"citt\xC3\xA0", "città"},                                // unmarked UTF-8
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeFileText(c.bytes), c.expected) << c.bytes;
}

TEST(Utf8, Validity) {
    struct Case { std::string bytes; bool valid; };
    const Case cases[] = {
        {"abc", true},
        {"àè€ \xF0\x9F\x98\x80", true},
        {"", true},
        {"Citt\xE0", false},            // Windows-1252 à
        {"\xC3", false},                // cut at the end
        {"\xC0\xAF", false},            // overlong
        {"\xE0\x80\xAF", false},        // overlong, 3 bytes
        {"\xED\xA0\x80", false},        // surrogate
        {"\xF4\x90\x80\x80", false},    // beyond U+10FFFF
        {"\xE2\x82", false},            // € cut short
        {"\x80", false},                // continuation byte alone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
        if (c.valid) EXPECT_EQ(ToValidUtf8(c.bytes), c.bytes);
        EXPECT_TRUE(IsValidUtf8(ToValidUtf8(c.bytes))) << c.bytes;
    }
    // Each byte that begins no sequence becomes one U+FFFD; long ASCII runs
    // around the damage are kept whole.
    EXPECT_EQ(ToValidUtf8("Citt\xE0 di Roma, via Appia"), "Citt\xEF\xBF\xBD di Roma, via Appia");
    EXPECT_EQ(ToValidUtf8("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ToValidUtf8("abcdefgh\xC0\xAF" "abcdefgh"), "abcdefgh\xEF\xBF\xBD\xEF\xBF\xBD" "abcdefgh");
}

// ASCII folding leaves every other byte alone, so UTF-8 survives it and
// "À" stays upper case; the Unicode comparison folds it.
TEST(Case, AsciiFoldingAndUnicodeComparison) {
    EXPECT_EQ(AsciiLower("SELECT Città À"), "select città À");
    EXPECT_EQ(AsciiUpper("pwd=è;Driver"), "PWD=è;DRIVER");
    EXPECT_EQ(AsciiLower(std::string("A\0\xC3\x80", 4)), std::string("a\0\xC3\x80", 4));
    struct Case { std::string a, b; bool same; };
    const Case cases[] = {
        {"CITTÀ", "città", true}, {"Clienti", "cLIENTI", true}, {"", "", true},
        {"città", "citta", false}, {"a", "ab", false}, {"Ω", "ω", true},
    };
    for (const Case& c : cases) EXPECT_EQ(SameTextIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(Trim, DefaultBlanksAndGivenSets) {
    struct Case { std::string text; std::string chars; std::string expected; };
    const Case cases[] = {
        {" \t a b \r\n\v\f", std::string(kAsciiSpace), "a b"},
        {"   ", std::string(kAsciiSpace), ""},
        {"", std::string(kAsciiSpace), ""},
        {std::string("\0 12 \0", 6), std::string(" \0", 2), "12"},
        {" x\r", " \t\v\f", "x\r"},                     // CR not in the set
    };
    for (const Case& c : cases) EXPECT_EQ(std::string(Trim(c.text, c.chars)), c.expected) << c.text;
    EXPECT_EQ(Trim("  y "), "y");
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    const std::array<std::pair<double, double>, 10> cases = {{
        {212.5, 212}, {213.5, 214}, {0.5, 0}, {1.5, 2}, {2.4999, 2},
        {2.5001, 3}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {7, 7},
    }};
    for (const auto& [x, expected] : cases) EXPECT_EQ(RoundHalfEven(x), expected) << x;
}

}  // namespace
