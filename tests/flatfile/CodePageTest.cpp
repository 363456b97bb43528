#include <gtest/gtest.h>

#include "common/engine/flatfile/CodePage.h"

using namespace core::flatfile;

TEST(CodePage, LanguageDriverBytesOfTheSupportedPages) {
    EXPECT_EQ(CodePageFromLanguageDriver(0x57), CodePage::Windows1252);
    EXPECT_EQ(CodePageFromLanguageDriver(0x03), CodePage::Windows1252);
    EXPECT_EQ(CodePageFromLanguageDriver(0x01), CodePage::Dos437);
    EXPECT_EQ(CodePageFromLanguageDriver(0x12), CodePage::Dos437);  // Italian DOS 437
    EXPECT_EQ(CodePageFromLanguageDriver(0x02), CodePage::Dos850);
    EXPECT_EQ(CodePageFromLanguageDriver(0x11), CodePage::Dos850);  // Italian DOS 850
    // Unmarked files come from DOS programs: the Italian DOS page.
    EXPECT_EQ(CodePageFromLanguageDriver(0x00), CodePage::Dos850);
    // Cyrillic, Central European and Japanese pages are refused, not guessed.
    EXPECT_FALSE(CodePageFromLanguageDriver(0xC9).has_value());
    EXPECT_FALSE(CodePageFromLanguageDriver(0x64).has_value());
    EXPECT_FALSE(CodePageFromLanguageDriver(0x7B).has_value());
}

TEST(CodePage, ItalianLettersDecodeInEveryPage) {
    // à è é ì ò ù sit at the same bytes in both DOS pages.
    const std::string dos = "\x85\x8A\x82\x8D\x95\x97";
    EXPECT_EQ(ToUtf8(dos, CodePage::Dos437), "àèéìòù");
    EXPECT_EQ(ToUtf8(dos, CodePage::Dos850), "àèéìòù");
    // Capitals with accents exist only in 850; 437 has box drawing there.
    EXPECT_EQ(ToUtf8("\xB7\xD4\xEB", CodePage::Dos850), "ÀÈÙ");
    EXPECT_EQ(ToUtf8("\xB7", CodePage::Dos437), "╖");
    EXPECT_EQ(ToUtf8("Citt\xE0 \x80 5", CodePage::Windows1252), "Città € 5");
    EXPECT_EQ(ToUtf8("\x81", CodePage::Windows1252), "\xC2\x81");  // unassigned byte kept
    EXPECT_EQ(ToUtf8("plain", CodePage::Dos437), "plain");
}
