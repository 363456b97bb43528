// The details of Varnel's final message: per step the records read, saved
// and skipped, the codes each look-up did not find and the values each cut
// shortened, and where a stopped run was; checked on small archives whose
// counts are known in advance.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "migrate/MigrationReport.h"
#include "tests/migrate/SampleRows.h"
#include "tests/migrate/WindowDriver.h"

using migrate::MigrationReport;
using migrate::RunOutcome;

namespace migratetest {
namespace {

// The lines of one step in the details, from its heading ("11. Clienti → ...")
// to the blank line after it; empty when the step is not listed.
std::string Block(const std::string& details, int number, const std::string& source) {
    const std::string heading = (number < 10 ? " " : "") + std::to_string(number) + ". " + source + " \xE2\x86\x92 ";
    const auto at = details.find("\n" + heading);
    if (at == std::string::npos) return {};
    const auto end = details.find("\n\n", at + 1);
    return details.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Thirty accented letters: sixty bytes that fit a field of thirty characters.
const std::string kThirtyAccented = [] {
    std::string s;
    for (int i = 0; i < 30; ++i) s += "\xC3\xA8";
    return s;
}();

std::string DetailRows() {
    std::string rows = BaseRows();
    rows += "INSERT INTO \"Fornitori\" (\"id\",\"Denominazione\") VALUES ('F-UTF','" + kThirtyAccented + "');\n";
    rows += "INSERT INTO \"Agenti\" (\"id\",\"Denominazione\",\"idArea\",\"idZona\") VALUES ('AG-V','Verdi Vuoto','NORD','');\n";
    return rows;
}

using Details = WindowTest;

std::string SuccessDetails(testsupport::ScopedScriptedDialogs& dialogs) {
    const auto messages = dialogs->Messages();
    EXPECT_EQ(messages.size(), 2u) << dialogs->Transcript();
    if (messages.size() < 2) return {};
    EXPECT_EQ(messages[1].text, "Operazione eseguita con successo!");  // the line itself is unchanged
    return messages[1].details;
}

TEST_F(Details, FilterSkipsCutsAndCodesNotFoundPerStep) {
    MakeDestination();
    MakeArchive(DetailRows());
    OpenWindow();
    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded) << dialogs_->Transcript();
    const std::string details = SuccessDetails(dialogs_);
    EXPECT_TRUE(Has(details, "Migrazione completata: 13 passi eseguiti su 13.")) << details;
    EXPECT_FALSE(Has(details, "non raggiunti")) << details;

    // Name filter: "AB" (2 characters), Null and "" are skipped; thirty
    // accented letters are neither skipped nor counted as cut (characters,
    // not bytes, are compared).
    const std::string principals = Block(details, 1, "Fornitori");
    EXPECT_TRUE(Has(principals, "Record letti: 8, salvati: 5, scartati dal filtro: 3 (Denominazione Null")) << principals;
    EXPECT_TRUE(Has(principals, "Valori troncati:\n"
                                "         sCodice a 10 caratteri: 1\n"
                                "         sCognome a 30 caratteri: 2\n"
                                "         sSitoWeb a 50 caratteri: 1\n"
                                "         sPartitaIVA a 11 caratteri: 1\n"
                                "         sSCProvincia a 2 caratteri: 1\n"
                                "         sSCCap a 5 caratteri: 1\n"
                                "         sSLProvincia a 2 caratteri: 1\n"
                                "         sSLCap a 5 caratteri: 1\n"))
        << principals;
    EXPECT_EQ(Count("tblAnMandanti"), 5u);

    // Zones: a code missing from the areas and one longer than the ten
    // characters an area code keeps; the Null code finds the area whose code
    // is empty, so it is not listed.
    const std::string zones = Block(details, 3, "Zona");
    EXPECT_TRUE(Has(zones, "Record letti: 5, salvati: 5\n")) << zones;
    EXPECT_FALSE(Has(zones, "filtro")) << zones;
    EXPECT_TRUE(Has(zones, "IDArea \xE2\x86\x90 idArea (codici di tblAree): 2 record con codice non trovato (2 codici diversi)\n"
                           "         \"A-LUNGA-DESCR\": 1 record\n"
                           "         \"ZZ99\": 1 record\n"))
        << zones;

    // Sub-agents: the empty code is shown as such, apart from the Null one.
    const std::string agents = Block(details, 10, "Agenti");
    EXPECT_TRUE(Has(agents, "Record letti: 4, salvati: 3, scartati dal filtro: 1")) << agents;
    EXPECT_TRUE(Has(agents, "IDArea \xE2\x86\x90 idArea (codici di tblAree): 1 record con codice non trovato (1 codice diverso)\n"
                            "         \"XX\": 1 record\n"))
        << agents;
    EXPECT_TRUE(Has(agents, "IDZona \xE2\x86\x90 idZona (codici di tblZone): 2 record con codice non trovato (2 codici diversi)\n"
                            "         (Null): 1 record\n"
                            "         (vuoto): 1 record\n"))
        << agents;

    // Customers: codes longer than ten characters never match a saved code
    // and are shown whole.
    const std::string customers = Block(details, 11, "Clienti");
    EXPECT_TRUE(Has(customers, "Record letti: 5, salvati: 3, scartati dal filtro: 2")) << customers;
    EXPECT_TRUE(Has(customers, "IDMandante \xE2\x86\x90 idMandante (codici di tblAnMandanti): 2 record con codice non trovato (2 codici diversi)\n"
                               "         \"F-DUE\": 1 record\n"
                               "         \"FORNITORE-LUNGO\": 1 record\n"))
        << customers;
    EXPECT_TRUE(Has(customers, "\"AGENTE-LUNGO-1\": 1 record")) << customers;
    EXPECT_TRUE(Has(customers, "IDCategoria \xE2\x86\x90 idCategoria (codici di tblCaClienti): tutti i codici trovati")) << customers;

    // Price-list links: a list not found skips the record, and its code is
    // listed (the Null one too); the article's code only leaves its field empty.
    const std::string links = Block(details, 13, "ArtList");
    EXPECT_TRUE(Has(links, "Record letti: 6, salvati: 4, scartati dal filtro: 2 (listino non trovato)")) << links;
    EXPECT_TRUE(Has(links, "IDListino \xE2\x86\x90 idListino (codici di tblListini): 2 record con codice non trovato (2 codici diversi)\n"
                           "         (Null): 1 record\n"
                           "         \"L9\": 1 record\n"))
        << links;
    EXPECT_TRUE(Has(links, "IDArticolo \xE2\x86\x90 idArticolo (codici di tblArticoli): 1 record con codice non trovato (1 codice diverso)\n"
                           "         \"NOPE\": 1 record\n"))
        << links;
    EXPECT_EQ(Count("tblArListini"), 4u);

}

TEST_F(Details, TwentyMostFrequentCodesThenTheRest) {
    std::string rows = BaseRows();
    for (int i = 1; i <= 22; ++i) {
        const std::string code = std::string("X") + (i < 10 ? "0" : "") + std::to_string(i);
        rows += "INSERT INTO \"Zona\" VALUES ('ZX" + std::to_string(i) + "','Zona','" + code + "');\n";
    }
    rows += "INSERT INTO \"Zona\" VALUES ('ZX5B','Zona','X05');\nINSERT INTO \"Zona\" VALUES ('ZX5C','Zona','X05');\n";
    MakeDestination();
    MakeArchive(rows);
    OpenWindow();
    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded) << dialogs_->Transcript();
    const std::string zones = Block(SuccessDetails(dialogs_), 3, "Zona");
    std::string expected =
        "IDArea \xE2\x86\x90 idArea (codici di tblAree): 26 record con codice non trovato (24 codici diversi)\n"
        "         \"X05\": 3 record\n"
        "         \"A-LUNGA-DESCR\": 1 record\n";
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19})
        expected += std::string("         \"X") + (i < 10 ? "0" : "") + std::to_string(i) + "\": 1 record\n";
    expected += "         e altri 4 (4 record)\n";
    EXPECT_TRUE(Has(zones, expected)) << zones;
    EXPECT_FALSE(Has(zones, "\"X20\"")) << zones;
}

// tblTiPagamento refuses a Null code, and the archive's second payment has one.
std::string RefusingDestination() {
    return Replace(V5Script(), "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE",
                   "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE NOT NULL");
}

TEST_F(Details, AStoppedRunListsStepsDoneTheStepInProgressAndStepsNotReached) {
    MakeDestination(RefusingDestination());
    MakeArchive(Replace(BaseRows(), "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);",
                        "INSERT INTO \"Pagamenti\" VALUES (NULL,'Senza codice',0);\n"
                        "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);"));
    OpenWindow();
    ASSERT_EQ(Avvia(true), RunOutcome::Stopped);
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();
    EXPECT_EQ(messages[1].title, "Errore n. 3314");
    const std::string& details = messages[1].details;
    EXPECT_TRUE(Has(details, "Migrazione interrotta al passo 4 (Pagamenti \xE2\x86\x92 tblTiPagamento): 3 passi completati "
                             "su 13, 1 record salvato nel passo interrotto prima dell'errore.\n"))
        << details;
    EXPECT_TRUE(Has(details, "Totale: 18 record letti, 14 record salvati.")) << details;

    EXPECT_TRUE(Has(Block(details, 1, "Fornitori"), "Record letti: 7, salvati: 4")) << details;
    EXPECT_TRUE(Has(Block(details, 1, "Fornitori"), "Tabella di destinazione svuotata prima della copia")) << details;
    EXPECT_TRUE(Has(Block(details, 3, "Zona"), "Record letti: 5, salvati: 5")) << details;
    const std::string stopped = Block(details, 4, "Pagamenti");
    EXPECT_TRUE(Has(stopped, "(interrotto dall'errore)\n")) << details;
    EXPECT_TRUE(Has(stopped, "Record letti: 2, salvati: 1 (contati nel database)\n")) << stopped;
    EXPECT_EQ(Count("tblTiPagamento"), 1u);

    const auto rest = details.find("\nPassi non raggiunti:\n");
    ASSERT_NE(rest, std::string::npos) << details;
    const std::string notReached = details.substr(rest);
    EXPECT_TRUE(Has(notReached, " 5. ModalitaPagamento \xE2\x86\x92 tblMoPagamento\n")) << notReached;
    EXPECT_TRUE(Has(notReached, "13. ArtList \xE2\x86\x92 tblArListini\n")) << notReached;
    EXPECT_FALSE(Has(notReached, "Pagamenti \xE2\x86\x92 tblTiPagamento")) << notReached;
    // Steps not reached carry no counts, and are not listed twice.
    EXPECT_TRUE(Block(details, 5, "ModalitaPagamento").empty()) << details;
}

TEST_F(Details, AStopAtTheFirstRecordOfAStepSavedNothingInIt) {
    MakeDestination(V5Script() + "\nDROP TABLE \"tblBoClienti\";\n");
    MakeArchive(BaseRows());
    OpenWindow();
    ASSERT_EQ(Avvia(false), RunOutcome::Stopped);
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();
    const std::string& details = messages[1].details;
    EXPECT_TRUE(Has(details, "al passo 11 (Clienti \xE2\x86\x92 tblAnClienti): 10 passi completati su 13, "
                             "0 record salvati nel passo interrotto"))
        << details;
    const std::string stopped = Block(details, 11, "Clienti");
    EXPECT_TRUE(Has(stopped, "Record letti: 1, salvati: 0")) << stopped;
    // The record being built was not saved: its cuts and codes are not counted.
    EXPECT_TRUE(Has(stopped, "Valori troncati: nessuno\n")) << stopped;
    EXPECT_TRUE(Has(stopped, "(codici di tblCaClienti): tutti i codici trovati")) << stopped;
}

// The report alone: ordering and labels of the codes, and the header of a
// run stopped before any step.
TEST(MigrationReportText, CodeLabelsAndTies) {
    EXPECT_EQ(MigrationReport::CodeLabel(""), "(vuoto)");
    EXPECT_EQ(MigrationReport::CodeLabel("A B"), "\"A B\"");
    EXPECT_EQ(MigrationReport::CodeLabel("a\nb"), "\"a b\"");
    const std::string longCode(70, 'x');
    EXPECT_EQ(MigrationReport::CodeLabel(longCode), "\"" + std::string(60, 'x') + "...\"");

    std::vector<migrate::TableStep> steps(1);
    steps[0].number = 3;
    steps[0].sourceTable = "Zona";
    steps[0].destinationTable = "tblZone";
    migrate::FieldRow lookup;
    lookup.destination = "IDArea";
    lookup.source = "idArea";
    lookup.rule = migrate::Rule::Lookup;
    lookup.lookupTable = "tblAree";
    steps[0].rows.push_back(lookup);

    MigrationReport report;
    report.Start(steps);
    EXPECT_TRUE(Has(report.Text(), "Migrazione interrotta prima del primo passo")) << report.Text();
    EXPECT_TRUE(Has(report.Text(), "Passi non raggiunti:\n       3. Zona")) << report.Text();

    MigrationReport::Step& step = report.Begin(0);
    step.NotFound(0, core::Variant(std::string("B")));
    step.NotFound(0, core::Variant());
    step.NotFound(0, core::Variant(std::string("A")));
    step.NotFound(0, core::Variant(std::string("")));
    step.NotFound(0, core::Variant(7));  // a numeric code, as text
    report.Finish(0);
    report.SetSucceeded();
    const std::string text = report.Text();
    EXPECT_TRUE(Has(text, "5 record con codice non trovato (5 codici diversi)\n"
                          "         (Null): 1 record\n"
                          "         \"7\": 1 record\n"
                          "         \"A\": 1 record\n"
                          "         \"B\": 1 record\n"
                          "         (vuoto): 1 record\n"))
        << text;
}

}  // namespace
}  // namespace migratetest
