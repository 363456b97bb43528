// The version-4 archive damaged as users' archives were (cut short, one page
// overwritten by zeros) and chosen as the source in Varnel and Tessily, with
// "Svuota" ticked. Each run either gives the destination the intact archive
// gives, or stops with an Italian message; when the damage can be found
// before the first write (by opening the file or by Verify on the tables the
// run reads), the destination keeps its bytes.

#include <gtest/gtest.h>

#include <QCheckBox>

#include <cmath>
#include <filesystem>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "tests/badinputs/Installations.h"
#include "tests/damage/DamageSupport.h"

using namespace badinputstest;

namespace {

const std::string kArchive = std::string(AGENCY_FIXTURES) + "/v4/archivio4.mdb";
constexpr std::size_t kPage = 4096;

// Where the archive is damaged, as a share of its pages: the customers', the
// articles' and the price-list links' data pages, the index pages at the end.
struct Sample {
    const char* name;
    damagetest::Damage::Kind kind;
    double at;
};
const Sample kSamples[] = {
    {"PaginaClientiAzzerata", damagetest::Damage::Kind::Zeroed, 0.25},
    {"PaginaArticoliAzzerata", damagetest::Damage::Kind::Zeroed, 0.60},
    {"PaginaListiniAzzerata", damagetest::Damage::Kind::Zeroed, 0.90},
    {"PaginaIndiceAzzerata", damagetest::Damage::Kind::Zeroed, 0.98},
    {"TagliatoAMeta", damagetest::Damage::Kind::Cut, 0.50},
    {"SenzaLeUltimePagine", damagetest::Damage::Kind::Cut, 0.90},
    {"SenzaGliIndici", damagetest::Damage::Kind::Cut, 0.97},
};
void PrintTo(const Sample& s, std::ostream* os) { *os << s.name; }

damagetest::Damage DamageOf(const Sample& s, std::size_t size) {
    const std::size_t pages = size / kPage;
    const auto page = static_cast<std::size_t>(std::floor(s.at * double(pages)));
    return {s.kind, page * kPage, kPage};
}

// Whether opening the file or verifying one of these tables refuses it.
bool FoundBeforeWriting(const std::string& path, const std::vector<std::string>& tables) {
    try {
        auto db = core::Workspace::OpenPrivateDatabase(path, false, true, ";PWD=vup");
        for (const auto& table : tables) {
            try {
                db->Verify(table);
            } catch (const core::Error& e) {
                if (e.Number() == core::err::CorruptDatabase || e.Number() == core::err::NotADatabase) return true;
            }
        }
        return false;
    } catch (const core::Error&) {
        return true;
    }
}

struct RunResult {
    bool succeeded = false;
    bool unchanged = false;
    bool foundBeforeWriting = false;
    damagetest::Outcome destination;
    std::string said;
};

void Finish(RunResult& r, const Installation& home, const std::string& key, const std::string& before,
                   const testsupport::ScriptedDialogs& dialogs) {
    core::Engine::Instance().FlushAll();
    core::Engine::Instance().Prune();
    const auto messages = dialogs.Messages();
    r.succeeded = !messages.empty() && messages.back().text.rfind("Operazione eseguita con successo!", 0) == 0;
    r.unchanged = Bytes(home.Destination()) == before;
    r.destination = damagetest::ReadThroughEngine(home.Destination(), ";PWD=" + key, {"dInserimento"});
    r.said = Said(dialogs);
}

// The intact archive's result first, then each damaged copy's.
class DamagedArchive : public ::testing::TestWithParam<Sample> {
protected:
    static std::string Archive() { return Bytes(kArchive); }
    static std::string Damaged(const Sample& s) {
        const std::string sound = Archive();
        return DamageOf(s, sound.size()).Apply(sound);
    }
};

std::vector<std::string> VarnelSourceTables() {
    return {"Fornitori", "Area", "Zona", "Pagamenti", "ModalitaPagamento", "CatArt", "IVA",
            "Listini", "Unita", "Agenti", "Clienti", "Articoli", "ArtList"};
}

RunResult RunVarnel(const std::string& sourceBytes, const std::string& caseName) {
    RunResult r;
    VarnelHome home;
    std::string ini = VarnelHome::DefaultIni();
    ini.replace(ini.find("ARCHIVIO4.sqlite"), 16, "archivio4.mdb");
    home.WriteIni(ini);
    core::sqlite::CreateDatabase(home.Destination(),
                                 V5Script() + "\nINSERT INTO \"tblAree\" (\"sCodice\", \"sDescrizione\") "
                                              "VALUES ('VECCHIA', 'Area preesistente');",
                                 VarnelHome::kKey);
    const std::string source = home.File("archivio4.mdb");
    WriteBytes(source, sourceBytes);
    r.foundBeforeWriting = FoundBeforeWriting(source, VarnelSourceTables());
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(caseName);
        auto w = home.Load();
        EXPECT_TRUE(w) << dialogs->Transcript();
        if (!w) return r;
        w->chkSvuota()->setChecked(true);
        if (VarnelHome::Choose(*w, *dialogs, source, 1)) w->cmdAvvia_Click();
    }
    Finish(r, home, VarnelHome::kKey, before, *dialogs);
    List("Varnel", "archivio " + caseName, *dialogs);
    ExpectItalianMessages(*dialogs);
    return r;
}

RunResult RunTessily(const std::string& sourceBytes, const std::string& caseName) {
    RunResult r;
    TessilyHome home;
    core::sqlite::CreateDatabase(home.Destination(),
                                 V5Script() + "\nINSERT INTO \"tblAnClienti\" (\"sCodice\", \"sCognome\") "
                                              "VALUES ('VECCHIO', 'Cliente preesistente');",
                                 TessilyHome::kKey);
    const std::string source = home.File("archivio4.mdb");
    WriteBytes(source, sourceBytes);
    r.foundBeforeWriting = FoundBeforeWriting(source, {"Clienti"});
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(caseName);
        auto w = home.Load();
        EXPECT_TRUE(w) << dialogs->Transcript();
        if (!w) return r;
        dialogs->AnswerFile(source, TessilyHome::Access).AnswerInput("vup");
        w->cmdSourceDb_Click();
        if (!w->Ended() && w->cmdAvvia()->isEnabled()) {
            w->cmbTblFrom()->setCurrentText("Clienti");
            if (w->cmbTblFrom()->currentText() == "Clienti") {
                w->cmbFldFrom(0)->setCurrentText("id");
                w->cmbFldFrom(1)->setCurrentText("Denominazione");
                w->cmbFldFrom(2)->setCurrentText("Denominazione");
                w->chkSvuota()->setChecked(true);
                w->cmdAvvia_Click();
            }
        }
    }
    Finish(r, home, TessilyHome::kKey, before, *dialogs);
    List("Tessily", "archivio " + caseName, *dialogs);
    ExpectItalianMessages(*dialogs);
    return r;
}

// Either the intact archive's destination, or an error; untouched when the
// damage could be found before writing.
void ExpectSoundOrRefused(const RunResult& intact, const RunResult& damaged) {
    ASSERT_TRUE(intact.succeeded) << intact.said;
    if (damaged.succeeded) {
        const auto difference = damagetest::Difference(intact.destination, damaged.destination);
        EXPECT_FALSE(difference) << "success with another result: " << *difference;
        return;
    }
    EXPECT_NE(damaged.said, "(nessun messaggio)");
    if (damaged.foundBeforeWriting) {
        EXPECT_TRUE(damaged.unchanged) << "the destination changed: " << damaged.said;
    }
}

TEST_P(DamagedArchive, VarnelMigratesWhatTheIntactArchiveGivesOrStops) {
    static const RunResult intact = RunVarnel(Archive(), "integro");
    ExpectSoundOrRefused(intact, RunVarnel(Damaged(GetParam()), GetParam().name));
}

TEST_P(DamagedArchive, TessilyImportsWhatTheIntactArchiveGivesOrStops) {
    static const RunResult intact = RunTessily(Archive(), "integro");
    ExpectSoundOrRefused(intact, RunTessily(Damaged(GetParam()), GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Catalogue, DamagedArchive, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) { return std::string(info.param.name); });

}  // namespace
