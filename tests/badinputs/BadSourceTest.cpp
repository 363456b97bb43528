// Damaged source files for every source driver, chosen through the window
// as a user would: cut short at several sizes, of another format under the
// right extension, empty, locked by another process, unreadable. The run is
// refused with an Italian message (or imports what could be read), and the
// destination keeps its bytes whenever nothing was imported.

#include <gtest/gtest.h>

#include <optional>

#include <shapefil.h>

#include "tests/badinputs/Installations.h"
#include "tests/flatfile/XlsBuilder.h"
#include "tests/support/FilePermissionsHold.h"

using namespace badinputstest;

namespace {

struct Driver {
    const char* name;
    const char* extension;
    int tessilyFormat;  // position in Tessily's list of formats
    int varnelFormat;   // 0: not a Varnel source
};
const Driver kDrivers[] = {
    {"Access", ".mdb", TessilyHome::Access, 1},
    {"SQLite", ".db", TessilyHome::Sqlite, 2},
    {"dBASE", ".dbf", TessilyHome::Dbase, 0},
    {"CSV", ".csv", TessilyHome::Csv, 0},
    {"Excel", ".xls", TessilyHome::Excel, 0},
};

// A sound source of each kind, with a "Codice" column and a few rows.
std::string SoundSource(const Driver& d, const TessilyHome& home) {
    const std::string path = home.File(std::string("sorgente") + d.extension);
    const std::string name = d.name;
    if (name == "Access") {
        fs::copy_file(std::string(AGENCY_FIXTURES) + "/access/V1997_test.mdb", path);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    } else if (name == "SQLite") {
        std::string script = "CREATE TABLE Anagrafe (Codice TEXT(10), Denominazione TEXT(50));";
        for (int i = 0; i < 200; ++i)
            script += "INSERT INTO Anagrafe VALUES ('C" + std::to_string(i) + "', 'Ditta numero " +
                      std::to_string(i) + "');";
        core::sqlite::CreateDatabase(path, script);
    } else if (name == "dBASE") {
        DBFHandle h = DBFCreateEx(path.c_str(), "LDID/87");
        DBFAddNativeFieldType(h, "CODICE", 'C', 10, 0);
        DBFAddNativeFieldType(h, "DENOM", 'C', 50, 0);
        for (int i = 0; i < 50; ++i) {
            DBFWriteStringAttribute(h, i, 0, ("C" + std::to_string(i)).c_str());
            DBFWriteStringAttribute(h, i, 1, "Ditta");
        }
        DBFClose(h);
    } else if (name == "CSV") {
        std::string text = "Codice;Denominazione\r\n";
        for (int i = 0; i < 200; ++i) text += "C" + std::to_string(i) + ";\"Ditta " + std::to_string(i) + "\"\r\n";
        WriteBytes(path, text);
    } else {
        flatfiletest::XlsSheet sheet{u"Foglio1", {{std::u16string(u"Codice"), std::u16string(u"Denominazione")}}};
        for (int i = 0; i < 40; ++i) sheet.rows.push_back({std::u16string(u"C1"), double(i)});
        WriteBytes(path, flatfiletest::BuildXls({sheet}));
    }
    return path;
}

// FoundByFuzzing: a saved input that once made a system library crash or
// loop (a forged schema, a damaged catalogue, a sheet with two dimensions),
// in place of the file.
enum class Damage { CutTiny, CutHalf, CutLastByte, WrongFormat, ZeroBytes, Locked, Unreadable, FoundByFuzzing };
const char* DamageName(Damage d) {
    switch (d) {
    case Damage::CutTiny: return "CutAt16Bytes";
    case Damage::CutHalf: return "CutInHalf";
    case Damage::CutLastByte: return "CutByOneByte";
    case Damage::WrongFormat: return "WrongFormat";
    case Damage::ZeroBytes: return "ZeroBytes";
    case Damage::Locked: return "Locked";
    case Damage::Unreadable: return "Unreadable";
    case Damage::FoundByFuzzing: return "FoundByFuzzing";
    }
    return "?";
}

// The saved fuzz input that stands for a format's FoundByFuzzing case.
struct SavedInput {
    const char* folder;
    const char* prefix;
};
std::optional<SavedInput> SavedInputFor(const Driver& driver) {
    const std::string name = driver.name;
    if (name == "Access") return SavedInput{"access", "libmdb-props-hang-"};
    if (name == "SQLite") return SavedInput{"sqlite", "sqlcipher-schema-"};
    if (name == "Excel") return SavedInput{"excel", "freexl-second-dimension-"};
    return std::nullopt;
}

// Damages the file in place; false (with the reason) when this machine
// cannot produce the damage.
bool Apply(Damage damage, const std::string& path, const Driver& driver, std::string& why) {
    const std::string bytes = Bytes(path);
    switch (damage) {
    case Damage::CutTiny: WriteBytes(path, bytes.substr(0, 16)); return true;
    case Damage::CutHalf: WriteBytes(path, bytes.substr(0, bytes.size() / 2)); return true;
    case Damage::CutLastByte: WriteBytes(path, bytes.substr(0, bytes.size() - 1)); return true;
    case Damage::ZeroBytes: WriteBytes(path, ""); return true;
    case Damage::WrongFormat:
        // Another driver's kind of file, or text, under this extension.
        WriteBytes(path, std::string(driver.name) == "CSV" ? Noise(4096, 9) : "Codice;Denominazione\r\nC1;Ditta\r\n");
        return true;
    case Damage::Unreadable:
        // The caller holds a FilePermissionsHold, so that this holds for root too.
        fs::permissions(path, fs::perms::none);
        if (testsupport::CannotOpenForReading(path)) return true;
        why = "this process reads files whatever their permissions";
        return false;
    case Damage::Locked: return true;  // taken by the caller
    case Damage::FoundByFuzzing: {
        const auto saved = SavedInputFor(driver);
        if (!saved) {
            why = "no saved input for this format";
            return false;
        }
        const fs::path inputs = fs::path(AGENCY_SOURCE_DIR) / "tests" / "regression" / "inputs";
        for (const auto& entry : fs::directory_iterator(inputs / saved->folder))
            if (entry.path().filename().string().rfind(saved->prefix, 0) == 0) {
                WriteBytes(path, Bytes(entry.path().string()));
                return true;
            }
        why = "no saved input for this format";
        return false;
    }
    }
    return false;
}

struct SourceCase {
    Driver driver;
    Damage damage;
};
void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.driver.name << " " << DamageName(c.damage); }
std::string SourceCaseName(const ::testing::TestParamInfo<SourceCase>& info) {
    return std::string(info.param.driver.name) + "_" + DamageName(info.param.damage);
}
std::vector<SourceCase> AllSourceCases(bool varnelOnly) {
    std::vector<SourceCase> out;
    for (const auto& d : kDrivers) {
        if (varnelOnly && d.varnelFormat == 0) continue;
        for (Damage damage : {Damage::CutTiny, Damage::CutHalf, Damage::CutLastByte, Damage::WrongFormat,
                              Damage::ZeroBytes, Damage::Locked, Damage::Unreadable})
            out.push_back({d, damage});
        if (SavedInputFor(d)) out.push_back({d, Damage::FoundByFuzzing});
    }
    return out;
}

class TessilySource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(TessilySource, RefusesOrImportsWhatItRead) {
    const SourceCase c = GetParam();
    TessilyHome home;
    home.MakeDestination();
    const std::string source = SoundSource(c.driver, home);
    std::optional<testsupport::FilePermissionsHold> hold;
    if (c.damage == Damage::Unreadable) hold.emplace();
    std::string why;
    if (!Apply(c.damage, source, c.driver, why)) {
        // Only permissions that root's capabilities override depend on the machine.
        if (c.damage == Damage::Unreadable) GTEST_SKIP() << why;
        FAIL() << why;
    }
    std::unique_ptr<LockingProcess> lock;
    if (c.damage == Damage::Locked) {
        lock = std::make_unique<LockingProcess>(source);
        ASSERT_TRUE(lock->Locked()) << "flock(1) could not lock the file from another process";
    }
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    bool imported = false;
    {
        Watchdog dog(SourceCaseName({c, 0}));
        auto w = home.Load();
        ASSERT_TRUE(w) << dialogs->Transcript();
        TessilyHome::ChooseAndRun(*w, *dialogs, source, c.driver.tessilyFormat,
                                  std::string(c.driver.name) == "dBASE" ? "CODICE" : "Codice");
        const auto messages = dialogs->Messages();
        imported = !messages.empty() && messages.back().text == "Operazione eseguita con successo!";
        // Nothing imported and nothing said would leave the user guessing,
        // unless the window simply offered nothing to import.
        if (!imported && w->cmdAvvia()->isEnabled()) {
            EXPECT_GE(dialogs->MessageCount(), 1) << dialogs->Transcript();
        }
    }
    List("Tessily", std::string("origine ") + SourceCaseName({c, 0}), *dialogs);
    ExpectItalianMessages(*dialogs);
    if (!imported) {
        EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
    }
}
INSTANTIATE_TEST_SUITE_P(Catalogue, TessilySource, ::testing::ValuesIn(AllSourceCases(false)), SourceCaseName);

class VarnelSource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(VarnelSource, RefusesWithoutTouchingTheDestination) {
    const SourceCase c = GetParam();
    VarnelHome home;
    home.MakeDestination();
    std::string source;
    if (std::string(c.driver.name) == "SQLite") {
        source = home.MakeArchive("INSERT INTO \"Area\" VALUES ('NORD','Italia settentrionale');");
    } else {
        source = home.File("vecchio.mdb");
        fs::copy_file(std::string(AGENCY_FIXTURES) + "/access/V1997_test.mdb", source);
        fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write);
    }
    std::optional<testsupport::FilePermissionsHold> hold;
    if (c.damage == Damage::Unreadable) hold.emplace();
    std::string why;
    if (!Apply(c.damage, source, c.driver, why)) {
        // Only permissions that root's capabilities override depend on the machine.
        if (c.damage == Damage::Unreadable) GTEST_SKIP() << why;
        FAIL() << why;
    }
    std::unique_ptr<LockingProcess> lock;
    if (c.damage == Damage::Locked) {
        lock = std::make_unique<LockingProcess>(source);
        ASSERT_TRUE(lock->Locked()) << "flock(1) could not lock the file from another process";
    }
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    bool migrated = false;
    {
        Watchdog dog(SourceCaseName({c, 0}));
        auto w = home.Load();
        ASSERT_TRUE(w) << dialogs->Transcript();
        if (VarnelHome::Choose(*w, *dialogs, source, c.driver.varnelFormat)) {
            const auto outcome = w->cmdAvvia_Click();
            (void)outcome;
            const auto messages = dialogs->Messages();
            migrated = !messages.empty() && messages.back().text == "Operazione eseguita con successo!";
        }
        if (!migrated) {
            EXPECT_GE(dialogs->MessageCount(), 1) << dialogs->Transcript();
        }
    }
    List("Varnel", std::string("origine ") + SourceCaseName({c, 0}), *dialogs);
    ExpectItalianMessages(*dialogs);
    if (!migrated) {
        EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
    }
}
INSTANTIATE_TEST_SUITE_P(Catalogue, VarnelSource, ::testing::ValuesIn(AllSourceCases(true)), SourceCaseName);

}  // namespace
