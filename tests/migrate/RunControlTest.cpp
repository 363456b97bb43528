// Varnel's window while a run works: "Interrompi", closing the window, the
// texts beside the bar, and the safety copy that "Ripristina" puts back.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>

#include "common/SafetyCopy.h"
#include "tests/migrate/SampleRows.h"
#include "tests/migrate/WindowDriver.h"
#include "ui/ProgressCaption.h"

using migrate::RunOutcome;
using testsupport::DialogCall;

namespace migratetest {
namespace {

class RunControl : public WindowTest {
protected:
    // Every table of the destination, row by row: equal texts, equal data.
    std::string Snapshot() {
        auto db = core::Workspace::OpenDatabase(DestinationPath(), false, true, std::string(";PWD=") + kDestinationKey);
        std::string out;
        for (const auto& def : db->TableDefs()) {
            out += "[" + def.Name + "]\n";
            auto rs = db->OpenRecordset("SELECT * FROM [" + def.Name + "]");
            for (; !rs->Eof(); rs->MoveNext()) {
                for (int i = 0; i < rs->Fields().Count(); ++i) out += core::Describe(rs->Fields()[i].Value()) + "|";
                out += "\n";
            }
        }
        db->Close();
        core::Engine::Instance().Prune();
        return out;
    }
    std::string Caption() const { return form_->lblProgress()->FullText().toStdString(); }
    // The next case of a table starts from no files.
    void Fresh() {
        form_.reset();
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        std::filesystem::remove_all(folder_ + "/Dati");
        std::filesystem::create_directories(folder_ + "/Dati");
        std::filesystem::remove(ArchivePath());
        dialogs_->ClearLog();
    }
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A stop or an error in the middle of a run leaves the destination as it was
// at that point; "Ripristina" puts back what it was before the run.
TEST_F(RunControl, AStoppedOrFailedRunCanBePutBack) {
    const struct Case {
        const char* name;
        bool failing;    // a payment without a code stops the run in step 4
        int stopAtYield;  // 0: no "Interrompi"
        bool restore;
    } cases[] = {
        {"Interrompi, then Ripristina", false, 5, true},
        {"Interrompi, then OK", false, 5, false},
        {"an error, then Ripristina", true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        MakeDestination(c.failing ? Replace(V5Script(), "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE",
                                            "\"tblTiPagamento\" (\n  \"ID\" INTEGER PRIMARY KEY AUTOINCREMENT,\n  \"sCodice\" VARCHAR(10) COLLATE NOCASE NOT NULL")
                                  : V5Script());
        MakeArchive(c.failing ? Replace(BaseRows(), "INSERT INTO \"Pagamenti\" VALUES ('RD','Rimessa diretta',0);",
                                        "INSERT INTO \"Pagamenti\" VALUES (NULL,'Senza codice',0);")
                              : BaseRows());
        Execute("INSERT INTO [tblAree] ([sCodice], [sDescrizione]) VALUES ('OLD', 'Vecchia')");
        const std::string before = Snapshot();
        OpenWindow();
        form_->Pacer().SetInterval({});  // a yield after every record
        int yields = 0;
        bool lockedDuringRun = true;
        dialogs_->OnYield([&] {
            lockedDuringRun = lockedDuringRun && !form_->cmdSourceDb()->isEnabled() && !form_->chkSvuota()->isEnabled() &&
                              form_->cmdAvvia()->text() == "Interrompi";
            if (++yields == c.stopAtYield) form_->cmdAvvia()->click();
        });
        std::string atMessage;
        dialogs_->OnCall([&](const DialogCall& call) {
            if (call.kind == DialogCall::Kind::MessageBox && call.buttons == core::MsgButtons::OkRestore)
                atMessage = Snapshot();
        });
        if (c.restore) dialogs_->AnswerRestore();
        EXPECT_EQ(Avvia(true), RunOutcome::Stopped);

        const auto messages = dialogs_->Messages();
        ASSERT_EQ(messages.size(), c.restore ? 3u : 2u) << dialogs_->Transcript();
        const DialogCall& end = messages[1];
        EXPECT_EQ(end.buttons, core::MsgButtons::OkRestore);
        if (c.failing) {
            EXPECT_EQ(end.title, "Errore n. 3314");
            EXPECT_EQ(end.icon, core::MsgIcon::Critical);
        } else {
            EXPECT_EQ(end.title, "Varnel");
            EXPECT_EQ(end.icon, core::MsgIcon::Exclamation);
            EXPECT_EQ(end.text.rfind("Operazione interrotta dall'utente.\n\n", 0), 0u) << end.text;
        }
        const auto copies = core::SafetyCopies(DestinationPath(), "Varnel");
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_TRUE(Has(end.text, copies[0])) << end.text;
        EXPECT_TRUE(Has(copies[0], "archivio5.db.prima-varnel-")) << copies[0];
        EXPECT_FALSE(end.details.empty());
        EXPECT_TRUE(lockedDuringRun);
        EXPECT_EQ(form_->cmdAvvia()->text(), "Avvia");
        EXPECT_TRUE(form_->cmdSourceDb()->isEnabled());

        EXPECT_NE(atMessage, before);  // the run had changed the destination
        if (c.restore) {
            EXPECT_EQ(messages[2].icon, core::MsgIcon::Information);
            EXPECT_EQ(Snapshot(), before);
            EXPECT_EQ(Caption(), std::string(c.failing ? "Fermata da un errore" : "Interrotta dall'utente") +
                                     " al passo " + (c.failing ? "4" : "1") +
                                     " di 13.\nDatabase ripristinato com'era prima.");
        } else {
            EXPECT_EQ(Snapshot(), atMessage);  // as the stop left it
        }
    }
}

TEST_F(RunControl, ClosingTheWindowDuringARunAsksWhetherToStop) {
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stop" : "go on");
        Fresh();
        MakeDestination();
        MakeArchive(BaseRows());
        OpenWindow();
        form_->show();
        form_->Pacer().SetInterval({});
        int yields = 0;
        dialogs_->OnYield([&] {
            if (++yields == 3) {
                dialogs_->AnswerMessage(stop ? core::MsgResult::Yes : core::MsgResult::No);
                form_->close();  // the close box: reject(), as Escape
            }
        });
        EXPECT_EQ(Avvia(false), stop ? RunOutcome::Stopped : RunOutcome::Succeeded) << dialogs_->Transcript();
        const auto messages = dialogs_->Messages();
        ASSERT_EQ(messages.size(), 3u) << dialogs_->Transcript();
        EXPECT_EQ(messages[1].buttons, core::MsgButtons::YesNo);
        EXPECT_TRUE(Has(messages[1].text, "Interromperla e chiudere il programma?")) << messages[1].text;
        EXPECT_EQ(Has(messages[2].text, "Operazione interrotta dall'utente."), stop) << messages[2].text;
    }
}

TEST_F(RunControl, TheCaptionNamesTheStepAndTheRecordsWritten) {
    MakeDestination();
    MakeArchive(BaseRows());
    OpenWindow();
    form_->Pacer().SetInterval({});
    std::vector<std::string> seen;
    dialogs_->OnYield([&] { seen.push_back(Caption()); });
    ASSERT_EQ(Avvia(false), RunOutcome::Succeeded) << dialogs_->Transcript();
    ASSERT_FALSE(seen.empty());
    // The safety copy, the first record of the first step, a step further
    // on, and the end.
    EXPECT_EQ(seen.front(), "Copia di sicurezza del database\xE2\x80\xA6 0%");
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Passo 1 di 13: Fornitori \xE2\x86\x92 tblAnMandanti\n1 record scritto"),
              seen.end());
    EXPECT_NE(std::find_if(seen.begin(), seen.end(),
                           [](const std::string& s) { return s.rfind("Passo 11 di 13: Clienti \xE2\x86\x92 tblAnClienti\n", 0) == 0; }),
              seen.end());
    long long saved = 0;
    for (const auto& table : {"tblAnMandanti", "tblAree", "tblZone", "tblTiPagamento", "tblMoPagamento",
                              "tblCaArticoli", "tblAliquoteIVA", "tblListini", "tblUnMisura", "tblAnSubAgenti",
                              "tblAnClienti", "tblArticoli", "tblArListini"})
        saved += static_cast<long long>(Count(table));
    EXPECT_EQ(Caption(), "Operazione completata.\n" + std::to_string(saved) + " record scritti in 13 passi.");
    // Shown in the middle-shortened form where it does not fit, never cut.
    const QFontMetrics metrics(form_->lblProgress()->font());
    for (const QString& line : form_->lblProgress()->text().split('\n'))
        EXPECT_LE(metrics.horizontalAdvance(line), form_->lblProgress()->width()) << line.toStdString();
}

}  // namespace
}  // namespace migratetest
