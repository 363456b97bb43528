// Damaged copies of sound source files of every kind, made here: each file
// cut at every page boundary and, in turn, each page overwritten by zeros
// (large files at every few pages). Read through the engine, each copy must
// give either every row of the sound file, or error 3049 (damaged) or 3343
// (not a database of that kind); never fewer or other rows without an error.
// Verify must agree: it passes on the sound files and, where it refuses a
// copy, with one of the same errors.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "tests/damage/DamageSupport.h"
#include "tests/flatfile/FlatFileTestSupport.h"
#include "tests/flatfile/XlsBuilder.h"

using namespace damagetest;

namespace {

namespace fs = std::filesystem;

// Sampling: a file of many pages is damaged at every `stride`-th page so
// that each kind of damage gives at most about this many copies per file.
#if defined(AGENCY_DAMAGE_SPARSE) || defined(AGENCY_SANITIZE)
constexpr std::size_t kCopiesPerKind = 25;
#else
constexpr std::size_t kCopiesPerKind = 120;
#endif

struct SourceFile {
    std::string name;     // for messages
    std::string path;     // the sound file
    std::string connect;  // connect text of its format
    std::size_t pageSize;
    // Without its first page a file of whole pages carries no signature at
    // all, and may be an encrypted SQLite archive whose password is wrong
    // (3031): an Access file's first page holds its signature, a SQLite
    // file's first page its header or, encrypted, its key's salt.
    bool firstPageMayAskPassword = true;
};

std::string SqliteScript(int rows) {
    std::string script =
        "CREATE TABLE Clienti (id TEXT(10), Denominazione TEXT(50), Citta TEXT(30), Fido REAL, Note TEXT);"
        "CREATE TABLE Area (id TEXT(10), Descrizione TEXT(40));"
        "INSERT INTO Area VALUES ('NORD', 'Italia settentrionale'), ('SUD', 'Italia meridionale');";
    for (int i = 0; i < rows; ++i)
        script += "INSERT INTO Clienti VALUES ('C" + std::to_string(i) + "', 'Ditta numero " + std::to_string(i) +
                  "', 'Citt\xC3\xA0 " + std::to_string(i % 37) + "', " + std::to_string(i * 1.25) + ", " +
                  (i % 5 ? "'nota " + std::string(std::size_t(i % 60), 'x') + "'" : std::string("NULL")) + ");";
    return script;
}

void WriteDbase(const std::string& path) {
    std::vector<flatfiletest::DbfRow> rows;
    for (int i = 0; i < 2000; ++i)
        rows.push_back({"C" + std::to_string(i), "Ditta numero " + std::to_string(i),
                        std::to_string(i) + ".50", i % 7 ? std::optional<std::string>("2003" + std::string(i % 2 ? "0412" : "1130"))
                                                         : std::nullopt});
    flatfiletest::WriteDbf(path, 0x57, {{"CODICE", 'C', 10}, {"DENOM", 'C', 40}, {"IMPORTO", 'N', 10, 2}, {"DATA", 'D', 8}},
                            rows);
}

void WriteExcel(const std::string& path) {
    using flatfiletest::XlsDate;
    using flatfiletest::XlsRk;
    flatfiletest::XlsSheet sheet{u"Foglio1", {{std::u16string(u"Codice"), std::u16string(u"Ragione sociale"),
                                                std::u16string(u"Importo"), std::u16string(u"Data")}}};
    for (int i = 0; i < 150; ++i) {
        std::u16string name = u"Ditta ";
        for (char c : std::to_string(i)) name += char16_t(c);
        sheet.rows.push_back({XlsRk{i}, name, i * 2.5, XlsDate{37600.0 + i}});
    }
    flatfiletest::XlsSheet second{u"Foglio2", {{std::u16string(u"Zona")}, {std::u16string(u"Nord")}}};
    flatfiletest::WriteBytes(path, flatfiletest::BuildXls({sheet, second}));
}

class DamageCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new flatfiletest::ScratchFolder();
        const std::string data = std::string(AGENCY_FIXTURES);
        sources_ = {
            {"V1997_test.mdb", data + "/access/V1997_test.mdb", ";PWD=", 2048},
            {"V2000_no-password.mdb", data + "/access/V2000_no-password.mdb", ";PWD=", 4096},
            {"archivio4.mdb", data + "/v4/archivio4.mdb", ";PWD=vup", 4096},
        };
        const std::string encrypted = folder_->Path("archivio4.sqlite");
        core::sqlite::CreateDatabase(encrypted, SqliteScript(700), "vup");
        sources_.push_back({"archivio cifrato SQLite", encrypted, ";PWD=vup", 4096});
        const std::string plain = folder_->Path("origine.db");
        core::sqlite::CreateDatabase(plain, SqliteScript(700));
        sources_.push_back({"SQLite in chiaro", plain, "SQLite;", 4096});
        const std::string dbf = folder_->Path("clienti.dbf");
        WriteDbase(dbf);
        sources_.push_back({"clienti.dbf", dbf, "dBASE IV;", 4096, false});
        const std::string xls = folder_->Path("clienti.xls");
        WriteExcel(xls);
        sources_.push_back({"clienti.xls", xls, "Excel 8.0;", 512, false});
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    static flatfiletest::ScratchFolder* folder_;
    static std::vector<SourceFile> sources_;
};
flatfiletest::ScratchFolder* DamageCorpus::folder_ = nullptr;
std::vector<SourceFile> DamageCorpus::sources_;

bool Accepted(int number, const SourceFile& source, const Damage& damage) {
    if (number == core::err::CorruptDatabase || number == core::err::NotADatabase) return true;
    return number == core::err::BadPassword && source.firstPageMayAskPassword && damage.TouchesFirstPage();
}

TEST_F(DamageCorpus, EveryCopyGivesEveryRowOrAnError) {
    const auto started = std::chrono::steady_clock::now();
    std::size_t total = 0;
    std::vector<std::string> faults;
    for (const SourceFile& source : sources_) {
        SCOPED_TRACE(source.name);
        const std::string sound = flatfiletest::ReadBytes(source.path);
        ASSERT_FALSE(sound.empty());
        const std::string extension = fs::path(source.path).extension().string();
        const Outcome expected = ReadThroughEngine(source.path, source.connect);
        ASSERT_EQ(expected.error, 0) << expected.description;
        ASSERT_EQ(expected.verifyError, 0) << expected.description;
        ASSERT_FALSE(expected.tables.empty());

        const auto damages = Damages(sound.size(), source.pageSize, kCopiesPerKind);
        Tally tally;
        for (std::size_t i = 0; i < damages.size(); ++i) {
            const Damage& damage = damages[i];
            const std::string copy = folder_->Path("copia" + std::to_string(total++) + extension);
            flatfiletest::WriteBytes(copy, damage.Apply(sound));
            const Outcome got = ReadThroughEngine(copy, source.connect);
            fs::remove(copy);
            const std::string what = source.name + " " + damage.Name();
            if (got.verifyError != 0 && !Accepted(got.verifyError, source, damage))
                faults.push_back(what + ": Verify raised " + std::to_string(got.verifyError) + " " + got.description);
            if (got.error != 0) {
                if (!Accepted(got.error, source, damage))
                    faults.push_back(what + ": error " + std::to_string(got.error) + " " + got.description);
                tally.Count(got);
            } else if (got.verifyError != 0) {
                faults.push_back(what + ": Verify refused a copy that reads whole");
            } else if (auto difference = Difference(expected, got)) {
                faults.push_back(what + ": " + *difference + " without an error");
            } else {
                ++tally.same;
            }
        }
        std::cout << "DAMAGE | " << source.name << " | " << damages.size() << " copie | " << tally.Text()
                  << std::endl;
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count() /
        1000.0;
    std::cout << "DAMAGE | totale | " << total << " copie in " << seconds << " s" << std::endl;
#if !defined(AGENCY_DAMAGE_SPARSE) && !defined(AGENCY_SANITIZE)
    EXPECT_GE(total, 500u);
#endif
    std::string listing;
    for (const auto& fault : faults) listing += fault + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " copies read wrongly:\n" << listing;
}

}  // namespace
