// The whole migration through the window's handlers on small archives,
// destination tables checked field by field.

#include <gtest/gtest.h>

#include "migrate/RunQuestion.h"
#include "tests/migrate/SampleRows.h"
#include "tests/migrate/WindowDriver.h"
#include "ui/ctrProgress.h"

using migrate::RunOutcome;
using testsupport::DialogCall;

namespace migratetest {

void WindowTest::MigrateBase(const std::string& destination) {
    MakeDestination(destination);
    MakeArchive(BaseRows());
    OpenWindow();
    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded) << dialogs_->Transcript();
}

namespace {

using EndToEnd = WindowTest;

TEST_F(EndToEnd, SuccessShowsOneMessageAfterOneYieldAndRestoresTheWindow) {
    MakeDestination();
    MakeArchive(BaseRows());
    OpenWindow();
    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded);
    const auto& calls = dialogs_->Calls();
    ASSERT_EQ(calls.size(), 5u) << dialogs_->Transcript();
    EXPECT_EQ(calls[0].text, "Confermi l'operazione di importazione dati?\n\n"
                             "Le tabelle di destinazione non verranno svuotate: ora sono vuote.");
    EXPECT_EQ(calls[0].title, "Varnel");
    EXPECT_EQ(calls[0].icon, core::MsgIcon::Exclamation);
    EXPECT_EQ(calls[0].buttons, core::MsgButtons::YesNo);
    EXPECT_EQ(calls[1].kind, DialogCall::Kind::SetBusy);
    EXPECT_TRUE(calls[1].busy);
    EXPECT_EQ(calls[2].kind, DialogCall::Kind::ProcessEvents);
    EXPECT_EQ(calls[3].text, "Operazione eseguita con successo!");
    EXPECT_EQ(calls[3].icon, core::MsgIcon::Information);
    EXPECT_EQ(calls[3].title, "Varnel");
    EXPECT_EQ(calls[4].kind, DialogCall::Kind::SetBusy);
    EXPECT_FALSE(calls[4].busy);
    EXPECT_FALSE(form_->pbrMain()->isVisibleTo(form_.get()));
    EXPECT_EQ(form_->pbrMain()->Value(), 0);
    EXPECT_TRUE(form_->cmdAvvia()->isEnabled());  // ready for another run
}

TEST_F(EndToEnd, TheQuestionSaysWhatHappensToTheRecordsAlreadyThere) {
    MakeDestination();
    MakeArchive(BaseRows());
    OpenWindow();
    Execute("INSERT INTO [tblAree] ([sCodice], [sDescrizione]) VALUES ('N', 'Nord')");
    Execute("INSERT INTO [tblZone] ([sCodice], [sDescrizione]) VALUES ('Z', 'Zona')");
    const struct {
        bool empty;
        const char* second;
    } cases[] = {
        {false, "Le tabelle di destinazione non verranno svuotate: i record copiati si aggiungeranno ai 2 record "
                "gi\xC3\xA0 presenti."},
        {true, "Le tabelle di destinazione verranno svuotate prima della copia: 2 record gi\xC3\xA0 presenti "
               "saranno eliminati."},
    };
    for (const auto& c : cases) {
        dialogs_->ClearLog();
        form_->chkSvuota()->setChecked(c.empty);
        dialogs_->AnswerMessage(core::MsgResult::No);
        EXPECT_EQ(form_->cmdAvvia_Click(), RunOutcome::Declined);
        ASSERT_EQ(dialogs_->MessageCount(), 1) << dialogs_->Transcript();
        EXPECT_EQ(dialogs_->LastMessage().text,
                  std::string("Confermi l'operazione di importazione dati?\n\n") + c.second);
    }
    EXPECT_EQ(migrate::ConfirmQuestion(false, -1),
              "Confermi l'operazione di importazione dati?\n\nLe tabelle di destinazione non verranno svuotate: "
              "i record copiati si aggiungeranno a quelli gi\xC3\xA0 presenti.");
    EXPECT_EQ(Count("tblAree"), 1u);
}

TEST_F(EndToEnd, AnsweringNoTouchesNothing) {
    MakeDestination();
    MakeArchive(BaseRows());
    OpenWindow();
    Execute("INSERT INTO [tblAree] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchia')");
    form_->chkSvuota()->setChecked(true);
    form_->pbrMain()->SetValue(40);
    dialogs_->AnswerMessage(core::MsgResult::No);
    EXPECT_EQ(form_->cmdAvvia_Click(), RunOutcome::Declined);
    EXPECT_EQ(dialogs_->Calls().size(), 1u) << dialogs_->Transcript();
    EXPECT_EQ(form_->pbrMain()->Value(), 40);
    EXPECT_EQ(Count("tblAree"), 1u);
    EXPECT_EQ(Count("tblAnMandanti"), 0u);
}

TEST_F(EndToEnd, PrincipalsNameFilterCutsAndCopies) {
    MigrateBase();
    const auto rows = Rows("tblAnMandanti");
    ASSERT_EQ(rows.size(), 4u);  // "AB", Null and "" are not carried; "Eco" is
    EXPECT_EQ(Text(rows[0], "sCodice"), "F1");
    EXPECT_EQ(Text(rows[1], "sCodice"), "F-TRE");
    EXPECT_EQ(Text(rows[1], "sCognome"), "Eco");
    EXPECT_EQ(Text(rows[2], "sCodice"), "FORNITORE-");  // 15 characters cut to 10
    EXPECT_EQ(Text(rows[2], "sCognome"), "Commercio all'ingrosso di prod");
    EXPECT_EQ(Text(rows[2], "sDenominazione"), "Commercio all'ingrosso di prodotti alimentari");
    EXPECT_EQ(Text(rows[2], "sCoFiscale"), "BNCGPP75C12H501Z");  // 16 kept whole
    // Cuts count characters: accented letters are one each and never split.
    EXPECT_EQ(Text(rows[3], "sCognome"), "Attivit\xC3\xA0 gi\xC3\xA0 pi\xC3\xB9 citt\xC3\xA0 cos\xC3\xAC pe");

    const Row& f = rows[0];
    EXPECT_EQ(Text(f, "sCognome"), "Rossi Forniture S.r.l.");
    EXPECT_EQ(Text(f, "sDenominazione"), "Rossi Forniture S.r.l.");
    EXPECT_EQ(Text(f, "sTelefono1"), "02 1234567");
    EXPECT_TRUE(IsNull(f, "sTelefono2"));  // Null copied as Null
    EXPECT_EQ(Text(f, "sEMail"), "info@rossi.it");
    EXPECT_EQ(Text(f, "sSitoWeb"), std::string("www.rossiforniture-industriali-e-commerciali-del-nord-italia.it").substr(0, 50));
    EXPECT_EQ(Text(f, "sFax"), "02 7654321");
    EXPECT_EQ(Text(f, "sCoFiscale"), "RSSMRA80A01F205X");
    EXPECT_EQ(Text(f, "sPartitaIVA"), "IT123456789");  // 13 cut to 11
    EXPECT_EQ(Text(f, "sPartitaIVACEE"), "IT12345678901EU");
    EXPECT_EQ(Text(f, "sSCCitta"), "Forl\xC3\xAC");
    EXPECT_EQ(Text(f, "sSCIndirizzo"), "Via Roma, 1");
    EXPECT_EQ(Text(f, "sSCStato"), "Italia");
    EXPECT_EQ(Text(f, "sSCProvincia"), "MI");
    EXPECT_EQ(Text(f, "sSCCap"), "20121");
    EXPECT_EQ(Text(f, "sSLCitta"), "Sant'Agata");
    EXPECT_EQ(Text(f, "sSLIndirizzo"), "Via Verdi, 2");
    EXPECT_EQ(Text(f, "sSLStato"), "San Marino");
    EXPECT_EQ(Text(f, "sSLProvincia"), "RS");
    EXPECT_EQ(Text(f, "sSLCap"), "47890");
    EXPECT_DOUBLE_EQ(Number(f, "nProvvigione"), 7.5);
    EXPECT_DOUBLE_EQ(Number(f, "nEAAgente"), 8.5);
    EXPECT_DOUBLE_EQ(Number(f, "nEAAzienda"), 4.5);
    EXPECT_DOUBLE_EQ(Number(f, "nEAMassimale"), 38000.25);
    EXPECT_DOUBLE_EQ(Number(f, "nEAMinimale"), 450.5);
    EXPECT_DOUBLE_EQ(Number(f, "nEAPagato"), 1200);
    EXPECT_DOUBLE_EQ(Number(f, "nESAgente"), 6);
    EXPECT_DOUBLE_EQ(Number(f, "nESAzienda"), 3);
    EXPECT_DOUBLE_EQ(Number(f, "nESMassimale"), 25000);
    EXPECT_DOUBLE_EQ(Number(f, "nESMinimale"), 300.75);
    EXPECT_DOUBLE_EQ(Number(f, "nESPagato"), 0);
    // Fields no rule names keep the database's defaults.
    EXPECT_EQ(Text(f, "sNome"), "");
    EXPECT_TRUE(At(f, "bAttivo").ToBool());
    EXPECT_TRUE(IsNull(f, "sNote"));
}

TEST_F(EndToEnd, CodeTablesCutsAndLookups) {
    MigrateBase();
    const auto areas = Rows("tblAree");
    ASSERT_EQ(areas.size(), 4u);
    EXPECT_EQ(Text(areas[1], "sCodice"), "D'ALFA");
    EXPECT_EQ(Text(areas[2], "sCodice"), "A-LUNGA-DE");
    EXPECT_EQ(Text(areas[2], "sDescrizione"), "Descrizione di area lunga quar");  // 40 cut to 30
    EXPECT_EQ(Text(areas[3], "sCodice"), "");

    EXPECT_EQ(At(One("tblZone", "Z1"), "IDArea"), IdOf("tblAree", "NORD"));
    EXPECT_TRUE(IsNull(One("tblZone", "Z2"), "IDArea"));              // names no area
    EXPECT_EQ(At(One("tblZone", "Z3"), "IDArea"), IdOf("tblAree", "D'ALFA"));  // apostrophe
    EXPECT_TRUE(IsNull(One("tblZone", "Z4"), "IDArea"));              // whole 13-character code: not found
    EXPECT_EQ(At(One("tblZone", "Z5"), "IDArea"), IdOf("tblAree", ""));  // Null looked up as ""
    EXPECT_EQ(Text(One("tblZone", "Z5"), "sDescrizione"), "Zona cinque");

    const Row rb = One("tblTiPagamento", "RB");
    EXPECT_EQ(Text(rb, "sDescrizione"), "Ricevuta bancaria");
    EXPECT_FALSE(At(rb, "bRiBa").ToBool());  // not migrated: the default

    const Row vat = One("tblAliquoteIVA", "22");
    EXPECT_DOUBLE_EQ(Number(vat, "nPercentuale"), 22);
    EXPECT_EQ(Text(vat, "sNote"), kLongNote.substr(0, 255));
    EXPECT_EQ(Text(vat, "sDescrizione"), "Ordinaria");

    EXPECT_TRUE(IsNull(One("tblCaArticoli", "FER"), "sNote"));
    EXPECT_EQ(Text(One("tblCaArticoli", ""), "sNote"), "Categoria senza codice");
    EXPECT_EQ(Text(One("tblUnMisura", "PZ"), "sDescrizione"), "Pezzi");
}

TEST_F(EndToEnd, InstalmentsReadTheLeadingNumberAndNullLeavesTheDefault) {
    // A default that no number rule can produce, so an unwritten field shows.
    MigrateBase(Replace(V5Script(), "\"nScad03\" INTEGER NOT NULL DEFAULT 0", "\"nScad03\" INTEGER NOT NULL DEFAULT 77"));
    const Row m = One("tblMoPagamento", "M1");
    EXPECT_EQ(Text(m, "sDescrizione"), kLongMethod.substr(0, 100));  // 120 cut to 100
    EXPECT_DOUBLE_EQ(Number(m, "nRate"), 3);
    EXPECT_DOUBLE_EQ(Number(m, "nScad01"), 30);   // "30"
    EXPECT_DOUBLE_EQ(Number(m, "nScad02"), 60);   // " 60 gg"
    EXPECT_DOUBLE_EQ(Number(m, "nScad03"), 77);   // Null: unwritten
    EXPECT_DOUBLE_EQ(Number(m, "nScad04"), 0);    // "abc"
    EXPECT_DOUBLE_EQ(Number(m, "nScad05"), 0);    // ""
    EXPECT_DOUBLE_EQ(Number(m, "nScad06"), 30);   // "&H1E"
    EXPECT_DOUBLE_EQ(Number(m, "nScad07"), 15);   // "1.5e1"
    EXPECT_DOUBLE_EQ(Number(m, "nScad08"), -7);   // "-7 giorni"
    EXPECT_DOUBLE_EQ(Number(m, "nScad12"), 0);    // Null: unwritten, default 0
}

TEST_F(EndToEnd, PriceListsFindOnlyListsSavedBeforeThem) {
    MigrateBase();
    const auto l1 = IdOf("tblListini", "L1");
    EXPECT_TRUE(IsNull(One("tblListini", "L1"), "IDRiListino"));  // Null code, no list with code ""
    EXPECT_EQ(At(One("tblListini", "L2"), "IDRiListino"), l1);    // earlier
    EXPECT_TRUE(IsNull(One("tblListini", "L3"), "IDRiListino"));  // later
    EXPECT_TRUE(IsNull(One("tblListini", "L4"), "IDRiListino"));  // its own code
    EXPECT_EQ(At(One("tblListini", "L5"), "IDRiListino"), l1);
    EXPECT_DOUBLE_EQ(Number(One("tblListini", "L2"), "nPercentuale"), -10);
}

TEST_F(EndToEnd, SubAgentsConstantAddressAndBank) {
    MigrateBase();
    const auto rows = Rows("tblAnSubAgenti");
    ASSERT_EQ(rows.size(), 2u);  // "Bo" is not carried
    const Row& a = rows[0];
    EXPECT_EQ(Text(a, "sCodice"), "AG1");
    EXPECT_EQ(Text(a, "sCitta"), "Cant\xC3\xB9");
    EXPECT_EQ(Text(a, "sIndirizzo"), "Via Milano, 3");
    EXPECT_EQ(Text(a, "sStato"), "Italia");
    EXPECT_EQ(Text(a, "sProvincia"), "CO");
    EXPECT_EQ(Text(a, "sCap"), "22063");
    EXPECT_DOUBLE_EQ(Number(a, "nProvvigione"), 1.5);
    EXPECT_DOUBLE_EQ(Number(a, "nRiAcconto1"), 23);
    EXPECT_DOUBLE_EQ(Number(a, "nRiAcconto2"), 20);
    EXPECT_EQ(Text(a, "sABI1"), "03069-1234");
    EXPECT_EQ(Text(a, "sCAB1"), "01600-9876");
    EXPECT_EQ(Text(a, "sCoCorrente1"), "000012345678-000098765432");
    EXPECT_DOUBLE_EQ(Number(a, "IDTiMandato"), 1);
    EXPECT_EQ(At(a, "IDArea"), IdOf("tblAree", "NORD"));
    EXPECT_EQ(At(a, "IDZona"), IdOf("tblZone", "Z1"));
    EXPECT_TRUE(At(a, "bAttivo").ToBool());  // "Attivo" is not read

    const Row& b = rows[1];
    EXPECT_EQ(Text(b, "sCodice"), "AGENTE-LUN");
    EXPECT_DOUBLE_EQ(Number(b, "IDTiMandato"), 1);
    EXPECT_TRUE(IsNull(b, "IDArea"));  // "XX" names no area
    EXPECT_TRUE(IsNull(b, "IDZona"));  // Null code, no zone with code ""
}

TEST_F(EndToEnd, CustomersFieldsAndNineLookups) {
    MigrateBase();
    const auto rows = Rows("tblAnClienti");
    ASSERT_EQ(rows.size(), 3u);  // "Ok" and Null are not carried; "Tre" is
    const Row& c = rows[0];
    EXPECT_EQ(Text(c, "sCodice"), "C1");
    EXPECT_EQ(Text(c, "sCOCognome"), "Dell'Acqua Bianchi Montecatini");
    EXPECT_EQ(Text(c, "sCONome"), "Giovanni Battista Maria Luigi ");
    EXPECT_EQ(Text(c, "sCOOrario"), "dalle 9 alle 13");
    EXPECT_EQ(Text(c, "sCOPosizione"), "Responsabile degli acquisti e della logistica inte");
    EXPECT_DOUBLE_EQ(Number(c, "nSconto1"), 5);
    EXPECT_DOUBLE_EQ(Number(c, "nSconto2"), 3);
    EXPECT_DOUBLE_EQ(Number(c, "nSconto5"), 1.5);
    EXPECT_EQ(Text(c, "sABI1"), "03069");
    EXPECT_EQ(Text(c, "sCAB1"), "01600");
    EXPECT_EQ(Text(c, "sCoCorrente1"), "IT60X05428111010000001234");
    EXPECT_EQ(Text(c, "sABI2"), "01005");
    EXPECT_EQ(Text(c, "sCAB2"), "03002");
    EXPECT_EQ(Text(c, "sCoCorrente2"), "000000123456");
    EXPECT_EQ(Text(c, "sSLCitta"), "Citt\xC3\xA0 di Castello");
    EXPECT_EQ(Text(c, "sSLCap"), "06012");
    EXPECT_TRUE(IsNull(c, "sSCCitta"));
    EXPECT_EQ(At(c, "IDCategoria"), IdOf("tblCaClienti", "A"));
    EXPECT_EQ(At(c, "IDBonta"), IdOf("tblBoClienti", "2"));
    EXPECT_EQ(At(c, "IDTiPagamento"), IdOf("tblTiPagamento", "RB"));
    EXPECT_EQ(At(c, "IDMoPagamento"), IdOf("tblMoPagamento", "M1"));
    EXPECT_EQ(At(c, "IDListino"), IdOf("tblListini", "L2"));
    EXPECT_EQ(At(c, "IDMandante"), IdOf("tblAnMandanti", "F1"));
    EXPECT_EQ(At(c, "IDArea"), IdOf("tblAree", "NORD"));
    EXPECT_EQ(At(c, "IDZona"), IdOf("tblZone", "Z1"));
    EXPECT_EQ(At(c, "IDSubAgente"), IdOf("tblAnSubAgenti", "AG1"));
    EXPECT_DOUBLE_EQ(Number(c, "nFido"), 0);  // "Fido" is not read: the default

    const Row& d = rows[1];
    EXPECT_EQ(Text(d, "sDenominazione"), "Bar dell'Angolo");
    EXPECT_EQ(At(d, "IDCategoria"), IdOf("tblCaClienti", ""));  // Null found as the empty code
    EXPECT_TRUE(IsNull(d, "IDBonta"));        // "9": no such class
    EXPECT_TRUE(IsNull(d, "IDTiPagamento"));  // "XX"
    EXPECT_TRUE(IsNull(d, "IDMoPagamento"));  // Null, no method with code ""
    EXPECT_TRUE(IsNull(d, "IDListino"));      // Null, no list with code ""
    EXPECT_TRUE(IsNull(d, "IDMandante"));     // principal "AB" was not carried
    EXPECT_EQ(At(d, "IDArea"), IdOf("tblAree", "D'ALFA"));
    EXPECT_TRUE(IsNull(d, "IDZona"));
    EXPECT_TRUE(IsNull(d, "IDSubAgente"));    // sub-agent "Bo" was not carried

    const Row& e = rows[2];
    EXPECT_EQ(Text(e, "sCodice"), "CLIENTE-LU");
    EXPECT_EQ(Text(e, "sCognome"), "Tre");
    EXPECT_TRUE(IsNull(e, "IDMandante"));   // whole code "FORNITORE-LUNGO" is not "FORNITORE-"
    EXPECT_TRUE(IsNull(e, "IDSubAgente"));
}

TEST_F(EndToEnd, ArticlesAndPriceListLinks) {
    MigrateBase();
    const Row a = One("tblArticoli", "A1");
    EXPECT_EQ(Text(a, "sDescrizione"), "Vite autofilettante 4x30");
    EXPECT_EQ(Text(a, "sNote"), kLongNote.substr(0, 255));
    EXPECT_DOUBLE_EQ(Number(a, "nPrezzo"), 1.2345);
    EXPECT_DOUBLE_EQ(Number(a, "nGiacenza"), 10);
    EXPECT_EQ(Text(a, "sProduttore"), "Fratelli Bertolini");
    EXPECT_DOUBLE_EQ(Number(a, "nSconto1"), 5);
    EXPECT_DOUBLE_EQ(Number(a, "nSconto2"), 2);
    EXPECT_DOUBLE_EQ(Number(a, "nSconto3"), 1);
    EXPECT_DOUBLE_EQ(Number(a, "nSconto4"), 0.5);
    EXPECT_DOUBLE_EQ(Number(a, "nSconto5"), 0.25);
    EXPECT_DOUBLE_EQ(Number(a, "nPrMiListino"), 0.99);
    EXPECT_DOUBLE_EQ(Number(a, "nScMinima"), 6);
    EXPECT_EQ(At(a, "IDCategoria1"), IdOf("tblCaArticoli", "FER"));
    EXPECT_EQ(At(a, "IDCategoria2"), IdOf("tblCaArticoli", ""));  // Null found as the empty code
    EXPECT_EQ(At(a, "IDUnMisura"), IdOf("tblUnMisura", "PZ"));
    EXPECT_EQ(At(a, "IDMandante"), IdOf("tblAnMandanti", "F1"));
    EXPECT_EQ(At(a, "IDAliquotaIVA"), IdOf("tblAliquoteIVA", "22"));

    const Row b = One("tblArticoli", "A2");
    EXPECT_EQ(Text(b, "sDescrizione"), std::string(255, 'd'));  // description never cut
    EXPECT_TRUE(IsNull(b, "IDCategoria1"));
    EXPECT_TRUE(IsNull(b, "IDMandante"));  // principal skipped by the name filter

    const auto links = Rows("tblArListini");
    ASSERT_EQ(links.size(), 4u);  // unknown list and Null list are not carried
    const auto l1 = IdOf("tblListini", "L1"), l2 = IdOf("tblListini", "L2");
    const auto a1 = IdOf("tblArticoli", "A1"), a3 = IdOf("tblArticoli", "A'3");
    EXPECT_EQ(At(links[0], "IDListino"), l1);
    EXPECT_EQ(At(links[0], "IDArticolo"), a1);
    EXPECT_EQ(At(links[1], "IDListino"), l1);  // the duplicate is added too
    EXPECT_EQ(At(links[1], "IDArticolo"), a1);
    EXPECT_EQ(At(links[2], "IDListino"), l2);
    EXPECT_TRUE(IsNull(links[2], "IDArticolo"));  // unknown article: carried without it
    EXPECT_EQ(At(links[3], "IDListino"), l2);
    EXPECT_EQ(At(links[3], "IDArticolo"), a3);
    EXPECT_DOUBLE_EQ(Number(links[0], "nPrezzo"), 0);  // no other field is read
}

TEST_F(EndToEnd, WithoutTheBoxRecordsAreAddedWithItTablesAreEmptiedFirst) {
    MakeDestination();
    // Unita is empty in this archive.
    MakeArchive(Replace(BaseRows(), "INSERT INTO \"Unita\" VALUES ('PZ','Pezzi');", ""));
    Execute("INSERT INTO [tblAree] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchia')");
    Execute("INSERT INTO [tblUnMisura] ([sCodice], [sDescrizione]) VALUES ('CF', 'Confezioni')");
    OpenWindow();

    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded) << dialogs_->Transcript();
    EXPECT_EQ(Count("tblAree"), 5u);
    EXPECT_EQ(Count("tblUnMisura"), 1u);
    EXPECT_EQ(Count("tblAnMandanti"), 4u);
    // The articles' units come from what the destination already held.
    EXPECT_TRUE(IsNull(One("tblArticoli", "A1"), "IDUnMisura"));

    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded);  // a second run adds again
    EXPECT_EQ(Count("tblAnMandanti"), 8u);

    ASSERT_EQ(Avvia(true), RunOutcome::Succeeded) << dialogs_->Transcript();
    EXPECT_EQ(Count("tblAree"), 4u);
    EXPECT_EQ(Rows("tblAree")[0]["sCodice"].ToText(), "NORD");
    EXPECT_EQ(Count("tblUnMisura"), 0u);  // emptied, and its source is empty
    EXPECT_EQ(Count("tblAnMandanti"), 4u);
    EXPECT_EQ(Count("tblArListini"), 4u);
    EXPECT_EQ(Count("tblCaClienti"), 5u);  // never emptied: no step copies into it
    EXPECT_EQ(Count("tblBoClienti"), 4u);
    // Look-ups see the records of this run, not the emptied ones.
    EXPECT_EQ(At(One("tblZone", "Z1"), "IDArea"), IdOf("tblAree", "NORD"));
}

// Step 4 meets a record the destination refuses (a Null code where the
// destination requires one).
std::string RefusingDestination() {
    return Replace(V5Script(), "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE",
                   "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE NOT NULL");
}
std::string RowsWithBadPayment() {
    return Replace(BaseRows(), "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);",
                   "INSERT INTO \"Pagamenti\" VALUES (NULL,'Senza codice',0);\n"
                   "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);");
}

TEST_F(EndToEnd, AStopInStepFourKeepsWhatWasSavedAndRestoresTheWindow) {
    MakeDestination(RefusingDestination());
    MakeArchive(RowsWithBadPayment());
    Execute("INSERT INTO [tblTiPagamento] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchio')");
    Execute("INSERT INTO [tblMoPagamento] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchia')");
    OpenWindow();
    bool busyDuringMessage = false;
    bool barVisibleDuringMessage = false;
    dialogs_->OnCall([&](const DialogCall& call) {
        if (call.kind == DialogCall::Kind::MessageBox && call.icon == core::MsgIcon::Critical) {
            busyDuringMessage = dialogs_->Busy();
            barVisibleDuringMessage = form_->pbrMain()->isVisibleTo(form_.get());
        }
    });
    EXPECT_EQ(Avvia(true), RunOutcome::Stopped);

    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();  // the question and the error
    EXPECT_EQ(messages[1].title, "Errore n. 3314");
    EXPECT_EQ(messages[1].icon, core::MsgIcon::Critical);
    EXPECT_NE(messages[1].text.find("tblTiPagamento"), std::string::npos) << messages[1].text;
    // The pointer and the bar are restored after the message was closed.
    EXPECT_TRUE(busyDuringMessage);
    EXPECT_TRUE(barVisibleDuringMessage);
    EXPECT_FALSE(dialogs_->Busy());
    EXPECT_FALSE(form_->pbrMain()->isVisibleTo(form_.get()));
    EXPECT_EQ(form_->pbrMain()->Value(), 0);

    EXPECT_EQ(Count("tblAnMandanti"), 4u);
    EXPECT_EQ(Count("tblAree"), 4u);
    EXPECT_EQ(Count("tblZone"), 5u);
    const auto payments = Rows("tblTiPagamento");  // emptied, then the first record
    ASSERT_EQ(payments.size(), 1u);
    EXPECT_EQ(Text(payments[0], "sCodice"), "RB");
    EXPECT_EQ(Count("tblMoPagamento"), 1u);  // step 5 never ran: not even emptied
    EXPECT_EQ(Count("tblArListini"), 0u);
}

TEST_F(EndToEnd, AMissingSourceTableStopsTheRunAfterOpenDataControlsMessage) {
    MakeDestination();
    MakeArchive(Replace(BaseRows(), "INSERT INTO \"Pagamenti\" VALUES ('RB','Ricevuta bancaria',1);\n"
                                    "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);",
                        "DROP TABLE \"Pagamenti\";"));
    Execute("INSERT INTO [tblTiPagamento] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchio')");
    OpenWindow();
    EXPECT_EQ(Avvia(true), RunOutcome::Stopped);
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();  // no success message after it
    EXPECT_EQ(messages[1].title, "Errore n. 3078");
    EXPECT_NE(messages[1].text.find("Pagamenti"), std::string::npos) << messages[1].text;
    // The open failure's message carries the run's report, as any stop does.
    EXPECT_NE(messages[1].details.find("Migrazione interrotta al passo 4"), std::string::npos) << messages[1].details;
    EXPECT_NE(messages[1].details.find("Passi non raggiunti"), std::string::npos) << messages[1].details;
    EXPECT_EQ(Count("tblZone"), 5u);
    // Nothing was copied from the zones' table still open, nothing emptied.
    ASSERT_EQ(Count("tblTiPagamento"), 1u);
    EXPECT_EQ(Text(Rows("tblTiPagamento")[0], "sCodice"), "OLD");
    EXPECT_EQ(Count("tblMoPagamento"), 0u);
    EXPECT_FALSE(dialogs_->Busy());
    EXPECT_FALSE(form_->pbrMain()->isVisibleTo(form_.get()));
}

TEST_F(EndToEnd, AMissingDestinationTableStopsTheRun) {
    MakeDestination(V5Script() + "\nDROP TABLE \"tblUnMisura\";\n");
    MakeArchive(BaseRows());
    OpenWindow();
    EXPECT_EQ(Avvia(false), RunOutcome::Stopped);
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();
    EXPECT_EQ(messages[1].title, "Errore n. 3078");
    EXPECT_NE(messages[1].text.find("tblUnMisura"), std::string::npos) << messages[1].text;
    EXPECT_EQ(Count("tblListini"), 5u);       // step 8 done
    EXPECT_EQ(Count("tblAnSubAgenti"), 0u);   // nothing after it
}

TEST_F(EndToEnd, AFailingLookupStopsAtTheFirstRecordWithTheEnginesMessage) {
    MakeDestination(V5Script() + "\nDROP TABLE \"tblBoClienti\";\n");
    MakeArchive(BaseRows());
    OpenWindow();
    EXPECT_EQ(Avvia(false), RunOutcome::Stopped);
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs_->Transcript();  // one message, not one per record
    EXPECT_EQ(messages[1].title, "Errore n. 3078");
    EXPECT_NE(messages[1].text.find("tblBoClienti"), std::string::npos) << messages[1].text;
    EXPECT_EQ(Count("tblAnSubAgenti"), 2u);
    EXPECT_EQ(Count("tblAnClienti"), 0u);  // the record being built is not saved
    EXPECT_EQ(Count("tblArticoli"), 0u);
}

}  // namespace
}  // namespace migratetest
