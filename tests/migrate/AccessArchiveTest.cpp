// The real version-4 archive in Access format, migrated through the window
// and compared with what the archive itself holds.

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <set>

#include "common/engine/FieldConvert.h"
#include "tests/migrate/WindowDriver.h"

namespace migratetest {
namespace {

const std::string kFixture = std::string(AGENCY_FIXTURES) + "/v4/archivio4.mdb";

std::string Lower(const std::string& text) { return QString::fromStdString(text).toLower().toStdString(); }

class AccessArchive : public WindowTest {
protected:
    std::string Copy() {
        const std::string path = folder_ + "/archivio4.mdb";
        std::filesystem::copy_file(kFixture, path);
        WriteIni(Replace(DefaultIni(), "PREFILE=ARCHIVIO4.sqlite", "PREFILE=archivio4.mdb"));
        return path;
    }
    // Every record of a source table, or nothing with the reason in `why`.
    std::vector<Row> Source(const std::string& path, const std::string& table) {
        auto db = core::Workspace::OpenDatabase(path, false, true, ";PWD=vup");
        auto rs = db->OpenRecordset("SELECT * FROM [" + table + "]");
        std::vector<Row> rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            Row row;
            for (int i = 0; i < rs->Fields().Count(); ++i) row[rs->Fields()[i].Name()] = rs->Fields()[i].Value();
            rows.push_back(std::move(row));
        }
        return rows;
    }
};

bool NamePasses(const Row& row) {
    const auto& name = row.at("Denominazione");
    return !name.IsNull() && core::CharCount(name.ToText()) > 2;
}

TEST_F(AccessArchive, MigratesEveryTableThroughTheWindow) {
    ASSERT_TRUE(std::filesystem::exists(kFixture)) << "fixture missing: " << kFixture;
    MakeDestination();
    const std::string path = Copy();
    try {
        Source(path, "Area");
    } catch (const core::Error& e) {
        FAIL() << "the Access driver cannot read the archive: " << e.Number() << " " << e.Description();
    }
    OpenWindow(path, 1);
    ASSERT_EQ(Avvia(true), migrate::RunOutcome::Succeeded) << dialogs_->Transcript();

    auto count = [&](const std::string& table, bool filtered) {
        std::size_t n = 0;
        for (const auto& row : Source(path, table)) n += !filtered || NamePasses(row);
        return n;
    };
    EXPECT_EQ(Count("tblAnMandanti"), count("Fornitori", true));
    EXPECT_EQ(Count("tblAree"), count("Area", false));
    EXPECT_EQ(Count("tblZone"), count("Zona", false));
    EXPECT_EQ(Count("tblTiPagamento"), count("Pagamenti", false));
    EXPECT_EQ(Count("tblMoPagamento"), count("ModalitaPagamento", false));
    EXPECT_EQ(Count("tblCaArticoli"), count("CatArt", false));
    EXPECT_EQ(Count("tblAliquoteIVA"), count("IVA", false));
    EXPECT_EQ(Count("tblListini"), count("Listini", false));
    EXPECT_EQ(Count("tblUnMisura"), count("Unita", false));
    EXPECT_EQ(Count("tblAnSubAgenti"), count("Agenti", true));
    EXPECT_EQ(Count("tblAnClienti"), count("Clienti", true));
    EXPECT_EQ(Count("tblArticoli"), count("Articoli", false));
    // A link is carried when its price list's whole code is a saved code.
    std::set<std::string> lists;
    for (const auto& row : Source(path, "Listini")) lists.insert(Lower(core::CutChars(row.at("id").ToTextOrEmpty(), 10)));
    std::size_t links = 0;
    for (const auto& row : Source(path, "ArtList")) links += lists.count(Lower(row.at("idListino").ToTextOrEmpty()));
    EXPECT_EQ(Count("tblArListini"), links);

    // The first customer carried, field by field against its source.
    Row source;
    for (const auto& row : Source(path, "Clienti"))
        if (NamePasses(row)) {
            source = row;
            break;
        }
    const Row c = Rows("tblAnClienti").front();
    auto cut = [&](const char* field, std::size_t n) {
        const auto& v = source.at(field);
        return v.IsNull() ? std::string() : core::CutChars(v.ToText(), n);
    };
    EXPECT_EQ(Text(c, "sCodice"), cut("id", 10));
    EXPECT_EQ(Text(c, "sCognome"), cut("Denominazione", 30));
    EXPECT_EQ(Text(c, "sDenominazione"), source.at("Denominazione").ToText());
    EXPECT_EQ(At(c, "sTelefono1"), source.at("Telefono1"));
    EXPECT_EQ(Text(c, "sSitoWeb"), cut("HTTP", 50));
    EXPECT_EQ(Text(c, "sPartitaIVA"), cut("Piva", 11));
    EXPECT_EQ(At(c, "sSCCitta"), source.at("Localit\xC3\xA0SC"));
    EXPECT_EQ(Text(c, "sSCProvincia"), cut("idProvinciaSC", 2));
    EXPECT_EQ(Text(c, "sSCCap"), cut("idCAPSC", 5));
    EXPECT_EQ(Text(c, "sCOOrario"), cut("ContattoOrario", 15));
    EXPECT_EQ(Text(c, "sCoCorrente2"), cut("ContoCorrente1", 25));
    if (!source.at("Sct1").IsNull()) {
        EXPECT_DOUBLE_EQ(Number(c, "nSconto1"), source.at("Sct1").ToDouble());
    }
}

}  // namespace
}  // namespace migratetest
