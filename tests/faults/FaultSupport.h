#pragma once
// Runs one program headless with the fault VFS watching its destination:
// once to count the writes and syncs of a whole run, then again with a
// failure armed at a chosen one of them. What each run left is read back
// through the real VFS: the messages shown, whether the destination passes
// SQLite's integrity check, the records of its tables.

#include <gtest/gtest.h>

#include <sqlcipher/sqlite3.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/engine/BusyWait.h"
#include "tests/badinputs/Installations.h"
#include "tests/faults/FaultVfs.h"
#include "tests/migrate/SampleRows.h"

namespace faultstest {

namespace fs = std::filesystem;
using testsupport::DialogCall;

// The state of a database read back with the real VFS and no engine.
class RealReader {
public:
    RealReader(sqlite3_vfs* real, const std::string& path, const std::string& key) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, real->zName) != SQLITE_OK) {
            error_ = db_ ? sqlite3_errmsg(db_) : "open failed";
            return;
        }
        if (!key.empty()) {
            sqlite3_key(db_, key.data(), static_cast<int>(key.size()));
            sqlite3_exec(db_, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
        }
    }
    ~RealReader() { sqlite3_close(db_); }
    RealReader(const RealReader&) = delete;
    RealReader& operator=(const RealReader&) = delete;

    // "ok" or what the check (or the open) said.
    std::string Integrity() {
        if (!error_.empty()) return error_;
        std::string out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK)
            return sqlite3_errmsg(db_);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!out.empty()) out += "; ";
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            out += text ? text : "";
        }
        if (rc != SQLITE_DONE) out += std::string(" [") + sqlite3_errmsg(db_) + "]";
        sqlite3_finalize(stmt);
        return out;
    }
    // -1 when the table cannot be read.
    long Count(const std::string& table) {
        if (!error_.empty()) return -1;
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "SELECT count(*) FROM \"" + table + "\"";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return -1;
        long n = -1;
        if (sqlite3_step(stmt) == SQLITE_ROW) n = static_cast<long>(sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
        return n;
    }

    // "ok" when this connection can take the lock a writer needs to commit
    // at once (no other connection reading or writing), else SQLite's text.
    std::string TakeWriteLock() {
        if (!error_.empty()) return error_;
        char* message = nullptr;
        if (sqlite3_exec(db_, "BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr, &message) == SQLITE_OK) return "ok";
        std::string text = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return text;
    }

private:
    sqlite3* db_ = nullptr;
    std::string error_;
};

// What one run showed and left.
struct RunResult {
    std::vector<DialogCall> messages;
    std::string transcript;
    long operations = 0;  // writes and syncs from arming to the end of the run
    long failed = 0;      // operations or locks the VFS failed
    std::string integrity;
    std::map<std::string, long> before;  // records per destination table
    std::map<std::string, long> after;
    std::string archiveBefore;  // Quillon: the archive's bytes
    std::string archiveAfter;
    double seconds = 0;
    // With lock probes: whether another connection could write while the
    // last message was shown, and once the run had returned.
    std::string writableAtLastMessage;
    std::string writableAfterRun;

    const DialogCall* Last() const { return messages.empty() ? nullptr : &messages.back(); }
    std::string Said() const {
        std::string out;
        for (const auto& m : messages) out += "[" + m.title + "] " + m.text + "\n";
        return out;
    }
};

// One program in a temporary installation, rebuilt for every run.
class Subject {
public:
    virtual ~Subject() = default;
    virtual const char* Name() const = 0;
    virtual void Prepare() = 0;
    virtual void Watch(FaultVfs& vfs) const = 0;
    // Loads the window, calls `arm` just before pressing Avvia, runs.
    virtual void Run(testsupport::ScriptedDialogs& dialogs, const std::function<void()>& arm) = 0;
    virtual std::string Destination() const = 0;
    virtual std::string Key() const = 0;
    virtual std::vector<std::string> Tables() const = 0;
    virtual void Finish() = 0;
};

inline RunResult RunOnce(Subject& subject, FaultVfs& vfs, const std::function<void()>& arm, bool probeLocks = false) {
    const auto started = std::chrono::steady_clock::now();
    RunResult result;
    subject.Prepare();
    core::Engine::Instance().FlushAll();
    core::Engine::Instance().Prune();
    {
        RealReader reader(vfs.Real(), subject.Destination(), subject.Key());
        for (const auto& table : subject.Tables()) result.before[table] = reader.Count(table);
    }
    result.archiveBefore = badinputstest::Bytes(subject.Destination());
    subject.Watch(vfs);
    vfs.Disarm();
    vfs.Reset();
    long armedAt = 0;
    bool pressed = false;  // Avvia pressed: the messages before are the window's
    {
        testsupport::ScopedScriptedDialogs dialogs;
        badinputstest::AnswerYesToQuestions(*dialogs);
        badinputstest::Watchdog dog(std::string("fault run of ") + subject.Name(), std::chrono::seconds(60));
        auto probe = [&] { return RealReader(vfs.Real(), subject.Destination(), subject.Key()).TakeWriteLock(); };
        if (probeLocks)
            dialogs->OnCall([&](const DialogCall& call) {
                if (call.kind == DialogCall::Kind::MessageBox && pressed) result.writableAtLastMessage = probe();
            });
        subject.Run(*dialogs, [&] {
            armedAt = vfs.Operations();
            pressed = true;
            arm();
        });
        result.operations = vfs.Operations() - armedAt;
        if (probeLocks) result.writableAfterRun = probe();
        // What is still open is closed as the program would end, the fault
        // still in place (a full disk stays full).
        try {
            core::Engine::Instance().FlushAll();
        } catch (const std::exception&) {
        }
        core::Engine::Instance().Prune();
        result.messages = dialogs->Messages();
        result.transcript = dialogs->Transcript();
    }
    result.failed = vfs.Failed();
    vfs.Disarm();
    {
        RealReader reader(vfs.Real(), subject.Destination(), subject.Key());
        result.integrity = reader.Integrity();
        for (const auto& table : subject.Tables()) result.after[table] = reader.Count(table);
    }
    result.archiveAfter = badinputstest::Bytes(subject.Destination());
    subject.Finish();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

// Varnel: the sample version-4 rows migrated into a fresh archive.
class VarnelSubject : public Subject {
public:
    const char* Name() const override { return "Varnel"; }
    void Prepare() override {
        home_ = std::make_unique<badinputstest::VarnelHome>();
        home_->MakeDestination();
        archive_ = home_->MakeArchive(migratetest::BaseRows());
    }
    void Watch(FaultVfs& vfs) const override { vfs.WatchDatabase(Destination()); }
    void Run(testsupport::ScriptedDialogs& dialogs, const std::function<void()>& arm) override {
        auto w = home_->Load();
        ASSERT_TRUE(w) << dialogs.Transcript();
        ASSERT_TRUE(badinputstest::VarnelHome::Choose(*w, dialogs, archive_, 2)) << dialogs.Transcript();
        arm();
        w->cmdAvvia_Click();
    }
    std::string Destination() const override { return home_->Destination(); }
    std::string Key() const override { return badinputstest::VarnelHome::kKey; }
    std::vector<std::string> Tables() const override { return tables_; }
    void SetTables(std::vector<std::string> tables) { tables_ = std::move(tables); }
    void Finish() override { home_.reset(); }

private:
    std::unique_ptr<badinputstest::VarnelHome> home_;
    std::string archive_;
    std::vector<std::string> tables_;
};

// Tessily: a small SQLite table imported into Clienti.
class TessilySubject : public Subject {
public:
    // text: the source is a CSV file, read record by record (and saved in
    // batches) rather than copied by one statement.
    explicit TessilySubject(int rows = 300, bool text = false) : rows_(rows), text_(text) {}
    const char* Name() const override { return "Tessily"; }
    void Prepare() override {
        home_ = std::make_unique<badinputstest::TessilyHome>();
        home_->MakeDestination();
        std::string script = "CREATE TABLE Anagrafe (Codice TEXT(10), Cognome TEXT(40), Denominazione TEXT(60), "
                             "Note TEXT(200));\n";
        std::string text = "Codice;Cognome;Denominazione;Note\r\n";
        for (int i = 1; i <= rows_; ++i) {
            const std::string n = std::to_string(i), note(60 + i % 40, 'n');
            script += "INSERT INTO Anagrafe VALUES ('C" + n + "', 'Cognome " + n + "', 'Ditta numero " + n +
                      " s.r.l.', '" + note + "');\n";
            text += "C" + n + ";Cognome " + n + ";Ditta numero " + n + " s.r.l.;" + note + "\r\n";
        }
        if (text_) {
            source_ = home_->File("Anagrafe.csv");
            badinputstest::WriteBytes(source_, text);
        } else {
            source_ = home_->MakeSqliteSource(script);
        }
    }
    void Watch(FaultVfs& vfs) const override { vfs.WatchDatabase(Destination()); }
    void Run(testsupport::ScriptedDialogs& dialogs, const std::function<void()>& arm) override {
        auto w = home_->Load();
        ASSERT_TRUE(w) << dialogs.Transcript();
        dialogs.AnswerFile(source_, text_ ? badinputstest::TessilyHome::Csv : badinputstest::TessilyHome::Sqlite);
        w->cmdSourceDb_Click();
        ASSERT_FALSE(w->Ended()) << dialogs.Transcript();
        ASSERT_TRUE(w->cmdAvvia()->isEnabled()) << dialogs.Transcript();
        w->cmbFldFrom(0)->setCurrentText("Codice");
        for (int i = 1; i < 4; ++i) w->cmbFldFrom(i)->setCurrentText(w->lblFldTo(i)->text());
        arm();
        w->cmdAvvia_Click();
    }
    std::string Destination() const override { return home_->Destination(); }
    std::string Key() const override { return badinputstest::TessilyHome::kKey; }
    std::vector<std::string> Tables() const override { return {"tblAnClienti"}; }
    void Finish() override { home_.reset(); }

private:
    int rows_;
    bool text_;
    std::unique_ptr<badinputstest::TessilyHome> home_;
    std::string source_;
};

// Quillon: an archive of a few hundred rows brought to its template.
class QuillonSubject : public Subject {
public:
    explicit QuillonSubject(int rows = 300) : rows_(rows) {}
    const char* Name() const override { return "Quillon"; }
    void Prepare() override {
        home_ = std::make_unique<badinputstest::QuillonHome>();
        std::string data;
        for (int i = 1; i <= rows_; ++i)
            data += "INSERT INTO \"tblAree\" VALUES (" + std::to_string(i) + ", 'A" + std::to_string(i) + "', '" +
                    std::string(80 + i % 50, 'd') + "');\n";
        const char* schema =
            R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10), "sDescrizione" VARCHAR(200));)";
        core::sqlite::CreateDatabase(Destination(), std::string(schema) + "\n" + data);
        core::sqlite::CreateDatabase(Destination() + ".upg", schema);
    }
    void Watch(FaultVfs& vfs) const override { vfs.WatchFolder(home_->Folder() + "/Dati"); }
    void Run(testsupport::ScriptedDialogs&, const std::function<void()>& arm) override {
        upgrade::frmMain w;
        ASSERT_TRUE(w.Load());
        arm();
        w.cmdAvvia_Click();
    }
    std::string Destination() const override { return home_ ? home_->Destination() : std::string(); }
    std::string Key() const override { return {}; }
    std::vector<std::string> Tables() const override { return {"tblAree"}; }
    void Finish() override { home_.reset(); }

private:
    int rows_;
    std::unique_ptr<badinputstest::QuillonHome> home_;
};

// The records a run's report says were saved, per destination table, and
// whether the table was emptied first. Varnel's report has a block per
// step: " 1. Sorgente → tblDestinazione", optionally "   Tabella di
// destinazione svuotata prima della copia", then "   Record letti: R,
// salvati: S". Tessily's has "Record eliminati prima della copia: D" and
// "Record salvati: S" for its one table.
struct Saved {
    long records = 0;
    bool emptied = false;
};

inline long ReportNumber(const std::string& digits) {
    std::string plain;
    for (char c : digits)
        if (c >= '0' && c <= '9') plain += c;
    return plain.empty() ? 0 : std::atol(plain.c_str());
}

inline std::map<std::string, Saved> VarnelSaved(const std::string& details) {
    std::map<std::string, Saved> out;
    static const std::regex header(R"(^\s*\d+\. .+ \xE2\x86\x92 ([^ ]+)( \(interrotto dall'errore\))?$)");
    static const std::regex saved(R"(^\s+Record letti: (\d+), salvati: (\d+))");
    std::istringstream in(details);
    std::string line, table;
    bool notReached = false;
    for (std::smatch m; std::getline(in, line);) {
        if (line.rfind("Passi non raggiunti", 0) == 0) notReached = true;
        if (notReached) continue;
        if (std::regex_search(line, m, header)) {
            table = m[1];
        } else if (!table.empty() && line.find("Tabella di destinazione svuotata prima della copia") != std::string::npos) {
            out[table].emptied = true;
            out[table].records = 0;
        } else if (!table.empty() && std::regex_search(line, m, saved)) {
            out[table].records += ReportNumber(m[2]);
        }
    }
    return out;
}

inline std::map<std::string, Saved> TessilySaved(const std::string& details, const std::string& table) {
    std::map<std::string, Saved> out;
    static const std::regex saved(R"(^Record salvati: ([0-9.]+))");
    static const std::regex deleted(R"(^Record eliminati prima della copia: ([0-9.]+))");
    std::istringstream in(details);
    std::string line;
    for (std::smatch m; std::getline(in, line);) {
        if (std::regex_search(line, m, deleted)) out[table].emptied = true;
        if (std::regex_search(line, m, saved)) out[table].records = ReportNumber(m[1]);
    }
    return out;
}

// The destination tables of a Varnel run, from a complete run's report.
inline std::vector<std::string> VarnelTables(const std::string& details) {
    std::vector<std::string> tables;
    for (const auto& [table, saved] : VarnelSaved(details)) tables.push_back(table);
    return tables;
}

// The records of each table agree with what the report says was saved.
inline ::testing::AssertionResult CountsAgree(const RunResult& r, const std::map<std::string, Saved>& saved) {
    std::string wrong;
    for (const auto& [table, after] : r.after) {
        const long before = r.before.count(table) ? r.before.at(table) : 0;
        const auto it = saved.find(table);
        long expected = before;
        if (it != saved.end()) expected = (it->second.emptied ? 0 : before) + it->second.records;
        if (after != expected)
            wrong += table + ": " + std::to_string(after) + " record nel file, " + std::to_string(expected) +
                     " secondo il resoconto (prima " + std::to_string(before) + ", salvati " +
                     std::to_string(it == saved.end() ? 0 : it->second.records) +
                     (it != saved.end() && it->second.emptied ? ", svuotata" : "") + "); ";
    }
    if (wrong.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong;
}

// Operation numbers to fail, spread over [1, total], the last three always
// among them.
inline std::vector<long> Points(long total, long wanted) {
    std::vector<long> points;
    if (total <= 0) return points;
    if (wanted >= total) {
        for (long i = 1; i <= total; ++i) points.push_back(i);
        return points;
    }
    for (long i = 0; i < wanted - 3; ++i) points.push_back(1 + i * (total - 4) / std::max(1L, wanted - 4));
    for (long i = total - 2; i <= total; ++i) points.push_back(i);
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

// AGENCY_FAULTS_FULL=1: every operation, each with every kind of fault.
inline bool FullMatrix() {
    const char* full = std::getenv("AGENCY_FAULTS_FULL");
    return full && std::string(full) == "1";
}

inline long PointsPerProgram() {
    if (FullMatrix()) return 1000000;
#ifdef AGENCY_SANITIZE
    return 8;
#else
    return 30;
#endif
}

}  // namespace faultstest
