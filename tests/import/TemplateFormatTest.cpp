#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "common/Paths.h"
#include "common/engine/Error.h"
#include "import/TemplateFormat.h"

using import::CompletionRule;
using import::ReadCompletionRule;
using import::ReadDestinationTables;
using import::ReadImportTemplate;

namespace {

class TemplateFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = dir_.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The error a reading raises; fails the test when it raises none.
    template <typename F>
    core::Error ErrorOf(F&& read)
    {
        try {
            read();
        } catch (const core::Error& e) {
            return e;
        }
        ADD_FAILURE() << "no error raised";
        return core::Error(0, "");
    }

    QTemporaryDir dir_;
};

TEST_F(TemplateFiles, TableListMissingOrZeroIsEmpty)
{
    EXPECT_TRUE(ReadDestinationTables(Write("a.ini", "[CFG]\n[TABLES]\n1=Clienti,tblAnClienti\n")).tables.empty());
    EXPECT_TRUE(ReadDestinationTables(Write("b.ini", "[CFG]\nTABLES=0\n[TABLES]\n1=Clienti,tblAnClienti\n")).tables.empty());
    EXPECT_TRUE(ReadDestinationTables(dir_.path().toStdString() + "/nessuno.ini").tables.empty());
}

TEST_F(TemplateFiles, TableListStopsAtGapAndAtCount)
{
    const auto withGap = ReadDestinationTables(
        Write("a.ini", "[CFG]\nTABLES=4\n[TABLES]\n1=Clienti,tblAnClienti\n2=Mandanti,tblAnMandanti\n"
                       "4=Articoli,tblArticoli\n"));
    ASSERT_EQ(withGap.tables.size(), 2u);
    EXPECT_EQ(withGap.count, 4);
    EXPECT_EQ(withGap.tables[1].ID, 2);
    EXPECT_EQ(withGap.tables[1].Name, "Mandanti");
    EXPECT_EQ(withGap.tables[1].Table, "tblAnMandanti");

    const auto bounded = ReadDestinationTables(
        Write("b.ini", "[CFG]\nTABLES=1\n[TABLES]\n1=Clienti,tblAnClienti\n2=Mandanti,tblAnMandanti\n"));
    ASSERT_EQ(bounded.tables.size(), 1u);

    // An empty value is a gap as much as a missing key.
    const auto emptyValue = ReadDestinationTables(
        Write("c.ini", "[CFG]\nTABLES=3\n[TABLES]\n1=Clienti,tblAnClienti\n2=\n3=Articoli,tblArticoli\n"));
    EXPECT_EQ(emptyValue.tables.size(), 1u);
}

TEST_F(TemplateFiles, TableEntryPartsAreTakenAsTheyStand)
{
    const auto list = ReadDestinationTables(
        Write("a.ini", "[CFG]\nTABLES=1\n[TABLES]\n1=Anagrafica Clienti , tblAnClienti,ignorato\n"));
    ASSERT_EQ(list.tables.size(), 1u);
    EXPECT_EQ(list.tables[0].Name, "Anagrafica Clienti ");
    EXPECT_EQ(list.tables[0].Table, " tblAnClienti");
}

TEST_F(TemplateFiles, TemplateIsFoundByDisplayName)
{
    core::SetProgramFolderForTesting(dir_.path().toStdString());
    EXPECT_EQ(import::TemplatePath("Anagrafica Clienti"),
              dir_.path().toStdString() + "/Tpl/Anagrafica Clienti.ini");
    core::SetProgramFolderForTesting({});
}

TEST_F(TemplateFiles, MalformedCountsNameFileSectionAndKey)
{
    for (const std::string value : {"", "tre", "2.5", "-1"}) {
        const std::string path = Write("c.ini", "[CFG]\nTABLES=" + value + "\n[TABLES]\n1=Clienti,tblAnClienti\n");
        const core::Error e = ErrorOf([&] { ReadDestinationTables(path); });
        EXPECT_EQ(e.Number(), core::err::TypeMismatch) << value;
        EXPECT_NE(e.Description().find("TABLES"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("[CFG]"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
    }
    const std::string big = Write("d.ini", "[CFG]\nSTD=40000\n");
    EXPECT_EQ(ErrorOf([&] { ReadImportTemplate(big); }).Number(), core::err::Overflow);
    const std::string badReq = Write("e.ini", "[CFG]\nSTD=1\nREQ=x\n[STD]\n1=Codice,sCodice\n");
    const core::Error e = ErrorOf([&] { ReadImportTemplate(badReq); });
    EXPECT_EQ(e.Number(), core::err::TypeMismatch);
    EXPECT_NE(e.Description().find("REQ"), std::string::npos);
}

TEST_F(TemplateFiles, EntriesOfOnePartAreRefused)
{
    const std::string tables = Write("a.ini", "[CFG]\nTABLES=2\n[TABLES]\n1=Clienti,tblAnClienti\n2=Mandanti\n");
    core::Error e = ErrorOf([&] { ReadDestinationTables(tables); });
    EXPECT_EQ(e.Number(), core::err::SubscriptOutOfRange);
    EXPECT_NE(e.Description().find("[TABLES]"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find("chiave 2"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(tables), std::string::npos) << e.Description();

    const std::string tpl = Write("t.ini", "[CFG]\nSTD=3\n[STD]\n1=Codice,sCodice\n3=Nome\n");
    e = ErrorOf([&] { ReadImportTemplate(tpl); });
    EXPECT_EQ(e.Number(), core::err::SubscriptOutOfRange);
    EXPECT_NE(e.Description().find("[STD]"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find("chiave 3"), std::string::npos) << e.Description();
}

TEST_F(TemplateFiles, SlotsMayHaveGapsAndKeysAbove24AreIgnored)
{
    const auto tpl = ReadImportTemplate(Write(
        "t.ini", "[CFG]\nSTD=5\nREQ=1\n[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n5=Note,sNote\n25=Oltre,sOltre\n"));
    EXPECT_EQ(tpl.stdCount, 5);
    EXPECT_EQ(tpl.reqCount, 1);
    EXPECT_EQ(tpl.fields.size(), 7u);  // STD + REQ + 1
    ASSERT_NE(tpl.Slot(1), nullptr);
    EXPECT_EQ(tpl.Slot(1)->ID, 1);
    EXPECT_EQ(tpl.Slot(1)->Name, "Codice");
    EXPECT_EQ(tpl.Slot(1)->Field, "sCodice");
    EXPECT_NE(tpl.Slot(2), nullptr);
    EXPECT_EQ(tpl.Slot(3), nullptr);
    EXPECT_EQ(tpl.Slot(4), nullptr);
    ASSERT_NE(tpl.Slot(5), nullptr);
    EXPECT_EQ(tpl.Slot(5)->Field, "sNote");
    EXPECT_EQ(tpl.Slot(25), nullptr);
}

TEST_F(TemplateFiles, SlotBeyondTheDeclaredFieldsIsRefused)
{
    // STD = 2 and no REQ leave room for slots 1 to 3 only.
    const auto fits = ReadImportTemplate(Write("a.ini", "[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n3=Nome,sNome\n"));
    EXPECT_NE(fits.Slot(3), nullptr);
    const std::string path = Write("b.ini", "[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n4=Nome,sNome\n");
    const core::Error e = ErrorOf([&] { ReadImportTemplate(path); });
    EXPECT_EQ(e.Number(), core::err::SubscriptOutOfRange);
    EXPECT_NE(e.Description().find("chiave 4"), std::string::npos) << e.Description();
}

TEST_F(TemplateFiles, CompletionRulesAreReadOneByOne)
{
    const std::string path = Write("r.ini",
                                   "[CFG]\nREQ=6\n[REQ]\n1=sDenominazione,&,sCognome,sNome\n2=sA,+,sB,sC\n"
                                   "3=sA, &,sB,sC\n4=sA,+\n5=sDenominazione\n6=sA,&,sB\n");
    const auto first = ReadCompletionRule(path, 1);
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(first->IsConcatenation());
    EXPECT_EQ(import::ConcatenationStatement("tblAnClienti", *first),
              "UPDATE [tblAnClienti] SET [sDenominazione] = ([sCognome] + ' ' +  [sNome]) WHERE [sDenominazione] = ''");
    EXPECT_FALSE(ReadCompletionRule(path, 2)->IsConcatenation());
    EXPECT_FALSE(ReadCompletionRule(path, 3)->IsConcatenation());  // a blank before the ampersand
    EXPECT_FALSE(ReadCompletionRule(path, 4)->IsConcatenation());  // two parts, another operator: fine
    EXPECT_EQ(ErrorOf([&] { ReadCompletionRule(path, 5); }).Number(), core::err::SubscriptOutOfRange);
    const core::Error e = ErrorOf([&] { ReadCompletionRule(path, 6); });
    EXPECT_EQ(e.Number(), core::err::SubscriptOutOfRange);
    EXPECT_NE(e.Description().find("[REQ]"), std::string::npos);
    EXPECT_FALSE(ReadCompletionRule(path, 7).has_value());
}

}  // namespace

TEST(TemplateFormatSafety, ARuleNameWithABracketNeverReachesTheStatement)
{
    import::CompletionRule rule;
    rule.key = 2;
    rule.parts = {"sNote] = 'x'; DELETE FROM [tblAnClienti", "&", "sCognome", "sNome"};
    try {
        import::ConcatenationStatement("tblAnClienti", rule);
        ADD_FAILURE() << "the statement was built";
    } catch (const core::Error& e) {
        EXPECT_EQ(e.Number(), core::err::ItemNotFound);
        EXPECT_NE(e.Description().find("regola 2"), std::string::npos);
    }
}
