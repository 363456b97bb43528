#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/IniFile.h"
#include "common/engine/Error.h"
#include "tests/common/TestFiles.h"

using core::ReadIniString;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::string Ini(std::string_view bytes) { return folder_.Write("cfg.ini", bytes); }
    testsupport::TempFolder folder_;
};

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndBlanksAroundThemIgnored) {
    const auto f = Ini("[Cfg]\r\n  DbPath = Dati\\ \r\nAPPNAME=Agenzia\r\n");
    EXPECT_EQ(ReadIniString("CFG", "DBPATH", "", f), "Dati\\");
    EXPECT_EQ(ReadIniString("cfg", "appname", "", f), "Agenzia");
}

TEST_F(IniFileTest, OnePairOfMatchingQuotesIsRemoved) {
    const auto f = Ini(
        "[CFG]\n"
        "A=\"  spaced  \"\n"
        "B='single'\n"
        "C=\"mixed'\n"
        "D=\"\"quoted twice\"\"\n"
        "E=\"\n"
        "F=\"\"\n"
        "G=it's \"fine\"\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", f), "  spaced  ");
    EXPECT_EQ(ReadIniString("CFG", "B", "", f), "single");
    EXPECT_EQ(ReadIniString("CFG", "C", "", f), "\"mixed'");
    EXPECT_EQ(ReadIniString("CFG", "D", "", f), "\"quoted twice\"");
    EXPECT_EQ(ReadIniString("CFG", "E", "", f), "\"");
    EXPECT_EQ(ReadIniString("CFG", "F", "def", f), "");
    EXPECT_EQ(ReadIniString("CFG", "G", "", f), "it's \"fine\"");
}

TEST_F(IniFileTest, CommentsAndInlineSemicolons) {
    const auto f = Ini(
        "; leading comment\n"
        "[CFG]\n"
        ";DBFILE=commented.mdb\n"
        "   ; indented comment=1\n"
        "DBFILE=archivio.mdb ; not a comment\n");
    EXPECT_EQ(ReadIniString("CFG", "DBFILE", "", f), "archivio.mdb ; not a comment");
    EXPECT_EQ(ReadIniString("CFG", ";DBFILE", "none", f), "none");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    const auto f = Ini("[CFG]\nA=1\n[OTHER]\nB=2\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "d", folder_.Str() + "/missing.ini"), "d");
    EXPECT_EQ(ReadIniString("CFG", "A", "d", ""), "d");
    EXPECT_EQ(ReadIniString("CFG", "A", "d", folder_.Str()), "d");  // a folder
    EXPECT_EQ(ReadIniString("NOPE", "A", "d", f), "d");
    EXPECT_EQ(ReadIniString("CFG", "B", "d", f), "d");  // key of another section
    EXPECT_EQ(ReadIniString("CFG", "", "d", f), "d");
    // The default loses its trailing blanks, as the Windows reader's does.
    EXPECT_EQ(ReadIniString("CFG", "Z", " 0  ", f), " 0");
}

TEST_F(IniFileTest, EmptyValueIsNotTheDefault) {
    const auto f = Ini("[CFG]\nFORMATS=\nTABLES=   \n");
    EXPECT_EQ(ReadIniString("CFG", "FORMATS", "0", f), "");
    EXPECT_EQ(ReadIniString("CFG", "TABLES", "0", f), "");
}

TEST_F(IniFileTest, ValueIsCutAt254Characters) {
    const std::string longValue(300, 'A');
    const std::string accented = std::string(253, 'b') + "\xC3\xA0\xC3\xA8";  // ...bàè in UTF-8
    const auto f = Ini("[CFG]\nDBPWD=" + longValue + "\nQ=\"" + std::string(260, 'q') + "\"\nU=" + accented + "\n");
    EXPECT_EQ(ReadIniString("CFG", "DBPWD", "", f), std::string(254, 'A'));
    // Quotes go first, then the cut.
    EXPECT_EQ(ReadIniString("CFG", "Q", "", f), std::string(254, 'q'));
    // Characters, not bytes: the cut never splits a character.
    EXPECT_EQ(ReadIniString("CFG", "U", "", f), std::string(253, 'b') + "\xC3\xA0");
    EXPECT_EQ(ReadIniString("CFG", "MISSING", std::string(300, 'd'), f), std::string(254, 'd'));
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyWin) {
    const auto f = Ini("[CFG]\nA=first\nA=second\n[OTHER]\nX=1\n[cfg]\nA=third\nB=later\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", f), "first");
    EXPECT_EQ(ReadIniString("CFG", "B", "none", f), "none");
}

TEST_F(IniFileTest, EqualsInValueAndOddLines) {
    const auto f = Ini(
        "A=before section\n"
        "[FORMATS]\n"
        "1=Access,Access 2000;PWD=x=y,.mdb\n"
        "=orphan value\n"
        "   =blank key\n"
        "no equals sign\n"
        "[broken header\n"
        "2 = after broken header \n");
    EXPECT_EQ(ReadIniString("FORMATS", "1", "", f), "Access,Access 2000;PWD=x=y,.mdb");
    EXPECT_EQ(ReadIniString("FORMATS", "2", "", f), "after broken header");
    EXPECT_EQ(ReadIniString("FORMATS", "no equals sign", "d", f), "d");
    EXPECT_EQ(ReadIniString("", "A", "d", f), "d");
}

TEST_F(IniFileTest, LineEndings) {
    const auto crlf = Ini("[CFG]\r\nA=1\r\nB=2\r\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", crlf), "1");
    EXPECT_EQ(ReadIniString("CFG", "B", "", crlf), "2");
    const auto noFinalEnd = folder_.Write("b.ini", "[CFG]\nA=last");
    EXPECT_EQ(ReadIniString("CFG", "A", "", noFinalEnd), "last");
    const auto oldMac = folder_.Write("c.ini", "[CFG]\rA=1\rB=2");
    EXPECT_EQ(ReadIniString("CFG", "B", "", oldMac), "2");
}

TEST_F(IniFileTest, Windows1252AndUtf8) {
    // "Società" in Windows-1252, then in UTF-8 with and without a mark; a
    // UTF-16 file as Notepad's "Unicode" writes it.
    const auto ansi = folder_.Write("ansi.ini", "[CFG]\r\nAPPNAME=Societ\xE0 \x80 \x93\r\n");
    const auto utf8 = folder_.Write("utf8.ini", "[CFG]\nAPPNAME=Societ\xC3\xA0\n");
    const auto bom = folder_.Write("bom.ini", "\xEF\xBB\xBF[CFG]\nAPPNAME=Societ\xC3\xA0\n");
    const std::string utf16text = "[CFG]\r\nAPPNAME=Societ\xE0\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : utf16text) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto wide = folder_.Write("wide.ini", utf16);
    EXPECT_EQ(ReadIniString("CFG", "APPNAME", "", ansi), "Societ\xC3\xA0 \xE2\x82\xAC \xE2\x80\x9C");
    EXPECT_EQ(ReadIniString("CFG", "APPNAME", "", utf8), "Societ\xC3\xA0");
    EXPECT_EQ(ReadIniString("CFG", "APPNAME", "", bom), "Societ\xC3\xA0");
    EXPECT_EQ(ReadIniString("CFG", "APPNAME", "", wide), "Societ\xC3\xA0");
    // A file that is not valid UTF-8 as a whole is read as Windows-1252
    // everywhere, even where a byte pair would pass for UTF-8.
    const auto mixed = folder_.Write("mixed.ini", "[CFG]\nA=\xC3\xA0\nB=\xE0\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", mixed), "\xC3\x83\xC2\xA0");
}

TEST_F(IniFileTest, NonAsciiNamesCompareCaseInsensitively) {
    const auto f = folder_.Write("n.ini", "[Tabelle]\nCITT\xC3\x80=Roma\n");
    EXPECT_EQ(ReadIniString("TABELLE", "citt\xC3\xA0", "", f), "Roma");
}

TEST_F(IniFileTest, BinaryAndDamagedFilesNeverBreakTheReader) {
    std::string garbage;
    std::mt19937 rng(42);
    for (int i = 0; i < 200000; ++i) garbage += static_cast<char>(rng() & 0xFF);
    const auto bin = folder_.Write("bin.ini", garbage);
    EXPECT_EQ(ReadIniString("CFG", "A", "d", bin), "d");

    // A NUL inside a line ends that line; what follows is a line of its own.
    const auto nul = folder_.Write("nul.ini", std::string("[CFG]\nA=one\0B=two\nC=three\n", 26));
    EXPECT_EQ(ReadIniString("CFG", "A", "", nul), "one");
    EXPECT_EQ(ReadIniString("CFG", "B", "", nul), "two");
    EXPECT_EQ(ReadIniString("CFG", "C", "", nul), "three");

    // A huge single line is read whole and cut as usual.
    const auto longLine = folder_.Write("long.ini", "[CFG]\nA=" + std::string(1000000, 'x') + "\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", longLine).size(), core::kIniValueMaxChars);

    // Truncated UTF-8 at the end of the file: read as Windows-1252.
    const auto cut = folder_.Write("cut.ini", "[CFG]\nA=ok\nB=\xC3");
    EXPECT_EQ(ReadIniString("CFG", "A", "", cut), "ok");
    EXPECT_EQ(ReadIniString("CFG", "B", "", cut), "\xC3\x83");
}

TEST_F(IniFileTest, FilesOverTheSizeLimitReadAsMissing) {
    std::string big = "[CFG]\nA=found\n";
    big += std::string(core::kIniFileMaxBytes, ';');
    const auto f = folder_.Write("big.ini", big);
    EXPECT_EQ(ReadIniString("CFG", "A", "default", f), "default");
}

TEST_F(IniFileTest, EveryCallSeesTheFileAsItIsNow) {
    const auto f = Ini("[CFG]\nA=1\n");
    EXPECT_EQ(ReadIniString("CFG", "A", "", f), "1");
    Ini("[CFG]\nA=2\n");  // same size, same second
    EXPECT_EQ(ReadIniString("CFG", "A", "", f), "2");
}

TEST_F(IniFileTest, CountsEmptyIsAnErrorMissingIsZero) {
    const auto f = Ini(
        "[CFG]\nFORMATS=\nTABLES= 12 \nSTD=abc\nREQ=40000\nNEG=-3\nHALF=2.5\nHALF2=3.5\n");
    EXPECT_EQ(core::ReadIniCount("CFG", "MISSING", f), 0);
    EXPECT_EQ(core::ReadIniCount("CFG", "TABLES", f), 12);
    EXPECT_EQ(core::ReadIniCount("CFG", "NEG", f), -3);
    EXPECT_EQ(core::ReadIniCount("CFG", "HALF", f), 2);
    EXPECT_EQ(core::ReadIniCount("CFG", "HALF2", f), 4);
    EXPECT_EQ(core::ReadIniCount("CFG", "X", folder_.Str() + "/none.ini"), 0);

    const auto expectError = [&](const char* key, int number) {
        try {
            core::ReadIniCount("CFG", key, f);
            ADD_FAILURE() << key << " did not fail";
        } catch (const core::Error& e) {
            EXPECT_EQ(e.Number(), number) << key;
            // The user and the log learn which file and key are wrong.
            EXPECT_NE(e.Description().find(key), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find("[CFG]"), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find(f), std::string::npos) << e.Description();
        }
    };
    expectError("FORMATS", core::err::TypeMismatch);
    expectError("STD", core::err::TypeMismatch);
    expectError("REQ", core::err::Overflow);
}

}  // namespace
