#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "tests/common/TestFiles.h"

namespace {

// Every test here pretends the program lives in a temporary folder.
class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override { core::SetProgramFolderForTesting(folder_.Str()); }
    void TearDown() override { core::SetProgramFolderForTesting(""); }
    std::string In(const std::string& relative) const { return (folder_.Path() / relative).string(); }
    testsupport::TempFolder folder_;
};

TEST_F(ProgramFolderTest, DestinationPathIsJoinedAsItStands) {
    folder_.Write("Dati/archivio.mdb", "x");
    const std::string withSeparator = core::DestinationDatabasePath("Dati\\", "archivio.mdb");
    EXPECT_EQ(withSeparator, In("Dati/archivio.mdb"));
    EXPECT_TRUE(core::FileExists(withSeparator));

    // No separator is added between DBPATH and DBFILE.
    const std::string without = core::DestinationDatabasePath("Dati", "archivio.mdb");
    EXPECT_EQ(without, folder_.Str() + "/Datiarchivio.mdb");
    EXPECT_FALSE(core::FileExists(without));

    // Both missing: the folder itself, which is no file.
    const std::string empty = core::DestinationDatabasePath("", "");
    EXPECT_EQ(empty, folder_.Str() + "/");
    EXPECT_FALSE(core::FileExists(empty));

    // Nested Windows-style folders.
    EXPECT_EQ(core::DestinationDatabasePath("Dati\\2024\\", "a.mdb"), In("Dati/2024/a.mdb"));
}

TEST_F(ProgramFolderTest, AMissingDestinationIsNamedWithWhatIsWrongWithItsPath) {
    folder_.Write("Dati/cartella.db/x", "x");
    const std::string cut(254, 'd');
    const struct {
        std::string dbPath, dbFile, why;
    } cases[] = {
        {"Dati\\", "archivio.db", ""},
        {"Dati\\", "cartella.db", ": è una cartella, non un file"},
        {"C:\\Agenzia\\", "archivio.db",
         ": DBPATH e DBFILE si scrivono a partire dalla cartella del programma, senza unità come 'C:'"},
        {cut, "", ": il valore di DBPATH o DBFILE supera i 254 caratteri ammessi nel file di configurazione ed è "
                  "stato troncato"},
        {"Dati", "archivio.db", ": DBPATH ('Dati') non termina con '\\'"},
        {"Altrove\\", "archivio.db", ": la cartella '" + In("Altrove") + "' non esiste"},
    };
    for (const auto& c : cases) {
        const std::string path = core::DestinationDatabasePath(c.dbPath, c.dbFile);
        EXPECT_EQ(core::NotFoundSentence("il file archivio", path, c.dbPath, c.dbFile),
                  "il file archivio non è stato trovato ('" + path + "')" + c.why + "!");
    }
}

TEST_F(ProgramFolderTest, FixedPathTextsUseBackslashes) {
    EXPECT_EQ(core::PathBesideProgram("\\Tpl\\Clienti.ini"), In("Tpl/Clienti.ini"));
    EXPECT_EQ(core::NativeSeparators("a\\b\\c"), "a/b/c");
    // A trailing separator given for the folder is not doubled.
    core::SetProgramFolderForTesting(folder_.Str() + "/");
    EXPECT_EQ(core::ProgramFolder(), folder_.Str());
}

TEST(ProgramFolder, IsTheExecutablesFolderByDefault) {
    const std::string folder = core::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "common_foundation_tests"));
}

TEST_F(ProgramFolderTest, FileExistsOnlyForRegularFiles) {
    const std::string file = folder_.Write("a.ini", "");
    EXPECT_TRUE(core::FileExists(file));
    EXPECT_FALSE(core::FileExists(""));
    EXPECT_FALSE(core::FileExists(folder_.Str()));
    EXPECT_FALSE(core::FileExists(folder_.Str() + "/"));
    EXPECT_FALSE(core::FileExists(In("none.ini")));
    std::filesystem::create_symlink(file, folder_.Path() / "link.ini");
    EXPECT_TRUE(core::FileExists(In("link.ini")));
    std::filesystem::create_symlink(In("gone.ini"), folder_.Path() / "dangling.ini");
    EXPECT_FALSE(core::FileExists(In("dangling.ini")));
}

TEST_F(ProgramFolderTest, InitPrefsSetsTheIniPathAndClearsTheRest) {
    core::ThePrefs().destinationPassword = "left over";
    core::ThePrefs().dialogFolder = "/somewhere";
    core::InitPrefs("Varnel", "Varnel.ini");
    EXPECT_EQ(core::ThePrefs().programTitle, "Varnel");
    EXPECT_EQ(core::ThePrefs().iniPath, In("Varnel.ini"));
    EXPECT_EQ(core::ThePrefs().destinationPassword, "");
    EXPECT_EQ(core::ThePrefs().dialogFolder, "");
    core::InitPrefs("Quillon", "\\Quillon.ini");
    EXPECT_EQ(core::ThePrefs().iniPath, In("Quillon.ini"));
}

TEST_F(ProgramFolderTest, LoadDestinationSettingsFromAWindowsIni) {
    folder_.Write("Tessily.ini",
                  "[CFG]\r\nAPPNAME=Gestione Agenzia\r\nDBPATH=Dati\\\r\nDBFILE=archivio.mdb\r\n"
                  "DBPWD=736567726574E0\r\nPREFILE=Vecchio.MDB\r\nPREPWD=  \"v4 pwd\" \r\n");
    core::InitPrefs("Tessily", "Tessily.ini");
    core::LoadDestinationSettings(true);
    const core::Prefs& p = core::ThePrefs();
    EXPECT_EQ(core::ReadCfg("APPNAME"), "Gestione Agenzia");
    EXPECT_EQ(p.dbFolder, "Dati\\");
    EXPECT_EQ(p.destinationPath, In("Dati/archivio.mdb"));
    EXPECT_EQ(p.destinationPassword, "segret\xC3\xA0");
    EXPECT_EQ(p.previousFileName, "Vecchio.MDB");
    EXPECT_EQ(p.previousPassword, "v4 pwd");

    core::InitPrefs("Quillon", "Quillon.ini");  // no such file
    core::LoadDestinationSettings(false);
    EXPECT_EQ(core::ThePrefs().destinationPath, folder_.Str() + "/");
    EXPECT_EQ(core::ThePrefs().destinationPassword, "");
    EXPECT_EQ(core::ThePrefs().previousFileName, "");
}

TEST_F(ProgramFolderTest, ServerDestinationReplacesTheFileAndHidesItsPassword) {
    // "Pr0va" hex-encoded, as DBPWD is.
    folder_.Write("Varnel.ini",
                  "[CFG]\r\nDBPATH=Dati\\\r\nDBFILE=archivio.mdb\r\nDBPWD=616263\r\n"
                  "DBCONNECT=ODBC;DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=agenzia;UID=mario;PWD=507230766"
                  "1\r\n");
    core::InitPrefs("Varnel", "Varnel.ini");
    core::LoadDestinationSettings(true);
    EXPECT_TRUE(core::DestinationIsServer());
    EXPECT_EQ(core::ThePrefs().destinationConnect,
              "ODBC;DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=agenzia;UID=mario;PWD=Pr0va");
    EXPECT_EQ(core::ThePrefs().destinationPath, "");
    EXPECT_EQ(core::DestinationDisplay(), "ODBC;DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=agenzia;UID=mario;PWD=***");
    core::DataControl dc;
    core::PointAtDestination(dc, "ignored");
    EXPECT_EQ(dc.Connect, core::ThePrefs().destinationConnect);
    EXPECT_EQ(dc.DatabaseName, "");

    // Without the key everything is as before.
    folder_.Write("Tessily.ini", "[CFG]\r\nDBPATH=Dati\\\r\nDBFILE=archivio.mdb\r\nDBPWD=616263\r\n");
    core::InitPrefs("Tessily", "Tessily.ini");
    core::LoadDestinationSettings(true);
    EXPECT_FALSE(core::DestinationIsServer());
    EXPECT_EQ(core::DestinationDisplay(), In("Dati/archivio.mdb"));
    core::PointAtDestination(dc, "abc");
    EXPECT_EQ(dc.Connect, ";PWD=abc");
    EXPECT_EQ(dc.DatabaseName, In("Dati/archivio.mdb"));
}

}  // namespace
