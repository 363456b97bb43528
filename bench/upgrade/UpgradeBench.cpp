// Upgrades a generated archive of ten tables (20 columns of mixed types
// each) into a template that drops two fields and adds two with defaults,
// through the real upgrade run with its question answered; then makes the
// same copy with the sqlcipher shell, as INSERT ... SELECT of the matching
// columns between attached databases. Checks that both results hold the
// same rows, and prints both times (wall-clock and processor), their
// ratio and the peak memory, first at a tenth of the rows and then at the
// full count, so that memory can be seen not to grow with the rows.
//
// bench_upgrade [rows per table (100000)] [work folder (a new temporary folder)]

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/BenchArgs.h"
#include "bench/support/ShellRun.h"
#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "upgrade/UpgradeRun.h"
#include "common/engine/Drivers.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kKey = "chiave-bench";

using bench::CpuSeconds;
using bench::PeakKb;
std::string Literal(const std::string& text) { return bench::SqlLiteral(text); }
double Shell(const fs::path& db, const std::string& script, std::string* output = nullptr,
             double* cpu = nullptr) {
    return bench::RunShell(db, kKey, script, output, cpu);
}
constexpr int kTables = 10;

// Columns of the archive; the template drops the two marked ones.
const std::vector<std::pair<std::string, std::string>> kColumns = {
    {"sCodice", "TEXT(10) COLLATE NOCASE"}, {"sNome", "TEXT(50) COLLATE NOCASE"},
    {"sIndirizzo", "TEXT(50) COLLATE NOCASE"}, {"sCitta", "TEXT(30) COLLATE NOCASE"},
    {"sProvincia", "TEXT(2) COLLATE NOCASE"}, {"sCap", "TEXT(5) COLLATE NOCASE"},
    {"sTelefono", "TEXT(20) COLLATE NOCASE"},  // dropped
    {"sEmail", "TEXT(50) COLLATE NOCASE"}, {"mNote", "MEMO"}, {"nQuantita", "LONG"}, {"nSconto", "SMALLINT"},
    {"nLivello", "BYTE"},  // dropped
    {"nPeso", "SINGLE"}, {"nMisura", "DOUBLE"}, {"nPrezzo", "CURRENCY"}, {"dCreato", "DATETIME"},
    {"dModificato", "DATETIME"}, {"bAttivo", "YESNO"}, {"nCategoria", "LONG"}};

bool Dropped(const std::string& name) { return name == "sTelefono" || name == "nLivello"; }

std::string TableName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "tblDati%02d", i);
    return name;
}

std::string Schema(bool upgraded) {
    std::string sql;
    for (int t = 1; t <= kTables; ++t) {
        sql += "CREATE TABLE " + TableName(t) + " (ID INTEGER PRIMARY KEY AUTOINCREMENT";
        for (const auto& [name, type] : kColumns)
            if (!upgraded || !Dropped(name)) sql += ", " + name + " " + type;
        if (upgraded) sql += ", sNuovo TEXT(20) DEFAULT 'nuovo', nNuovo LONG DEFAULT 3";
        sql += ");\nCREATE INDEX ix" + TableName(t) + " ON " + TableName(t) + " (sCodice);\n";
    }
    return sql;
}

std::string Generate(long rows) {
    std::string sql;
    for (int t = 1; t <= kTables; ++t) {
        sql += "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT " + std::to_string(rows) +
               ")\nINSERT INTO " + TableName(t) + " (";
        for (std::size_t i = 0; i < kColumns.size(); ++i) sql += (i ? ", " : "") + kColumns[i].first;
        sql += ")\nSELECT printf('C%07d', x), 'Cliente ' || hex(randomblob(8)),"
               " 'Via ' || hex(randomblob(10)) || ', ' || (x % 300),"
               " CASE WHEN x % 11 = 0 THEN NULL ELSE 'Citta ' || (x % 977) END,"
               " substr('MITONAPARMRMBO', 1 + 2 * (x % 7), 2), printf('%05d', x % 99999),"
               " CASE WHEN x % 7 = 0 THEN NULL ELSE printf('+39 02 %07d', x) END,"
               " lower(hex(randomblob(6))) || '@esempio.it',"
               " CASE WHEN x % 3 = 0 THEN NULL ELSE 'Nota ' || hex(randomblob(40)) END,"
               " x % 100000, x % 30000, x % 256, (x % 1000) / 4.0, x / 7.0,"
               " CASE WHEN x % 13 = 0 THEN NULL ELSE (x % 100000) / 100.0 END,"
               " datetime('2000-01-01', '+' || (x % 9000) || ' days', '+' || (x % 86400) || ' seconds'),"
               " CASE WHEN x % 5 = 0 THEN NULL ELSE datetime('2010-01-01', '+' || (x % 4000) || ' days') END,"
               " x % 2, x % 50 FROM n;\n";
    }
    return sql;
}

class Answers : public core::Dialogs {
public:
    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon,
                               const std::string&, const std::string&) override {
        if (buttons == core::MsgButtons::YesNo) return core::MsgResult::Yes;
        last = text;
        return core::MsgResult::Ok;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest&) override { return {}; }
    void SetBusy(bool) override {}
    void ProcessEvents() override {}
    std::string last;
};

// Notes when each stage of the run is reached, for the breakdown.
class StageClock : public upgrade::UpgradeView {
public:
    void SetTableCaption(const std::string&) override {}
    void SetProgress(int) override {}
    void StageReached(upgrade::UpgradeStage stage) override {
        marks.emplace_back(stage, Clock::now());
        cpu.push_back(CpuSeconds(RUSAGE_SELF));
    }
    std::vector<std::pair<upgrade::UpgradeStage, Clock::time_point>> marks;
    std::vector<double> cpu;  // processor seconds of this process at each mark
};

const char* StageName(upgrade::UpgradeStage stage) {
    switch (stage) {
    case upgrade::UpgradeStage::TablesCopied: return "copia";
    case upgrade::UpgradeStage::Verified: return "conteggi";
    case upgrade::UpgradeStage::Closed: return "chiusura";
    case upgrade::UpgradeStage::Protected: return "cifratura";
    case upgrade::UpgradeStage::Flushed: return "integrita'+scrittura";
    case upgrade::UpgradeStage::BackupMade: return "1a rinomina";
    case upgrade::UpgradeStage::Swapped: return "2a rinomina";
    }
    return "?";
}

struct Figures {
    long rows = 0;
    double runWall = 0, runCpu = 0, shellWall = 0, shellCpu = 0;
    long peakKb = 0;
    bool agree = false;
    std::string stages;
};

Figures Measure(const fs::path& dir, long rows, Answers& answers) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path archive = dir / "archivio.db";
    const fs::path templ = dir / "archivio.db.upg";
    const fs::path viaShell = dir / "shell.db";
    core::sqlite::CreateDatabase(archive.string(), Schema(false), kKey);
    Shell(archive, Generate(rows));
    core::sqlite::CreateDatabase(templ.string(), Schema(true), kKey);
    fs::copy_file(templ, viaShell);
    const fs::path original = dir / "originale.db";
    fs::copy_file(archive, original);

    Figures f;
    f.rows = rows;
    {
        StageClock view;
        upgrade::UpgradeRun run(view);
        const auto start = Clock::now();
        const double cpu = CpuSeconds(RUSAGE_SELF);
        run.Start(upgrade::UpgradeFiles{archive.string(), templ.string(), kKey});
        f.runWall = std::chrono::duration<double>(Clock::now() - start).count();
        f.runCpu = CpuSeconds(RUSAGE_SELF) - cpu;
        f.peakKb = PeakKb();
        auto previous = start;
        double previousCpu = cpu;
        for (std::size_t i = 0; i < view.marks.size(); ++i) {
            const auto& [stage, at] = view.marks[i];
            char part[96];
            std::snprintf(part, sizeof part, "%s %.2f s (CPU %.2f s); ", StageName(stage),
                          std::chrono::duration<double>(at - previous).count(), view.cpu[i] - previousCpu);
            f.stages += part;
            previous = at;
            previousCpu = view.cpu[i];
        }
        if (answers.last != "Operazione eseguita con successo!") {
            std::cerr << "la corsa non e' riuscita: " << answers.last << "\n";
            std::exit(1);
        }
    }

    // The same copy in SQL: the template's columns that the archive has.
    std::string script = "ATTACH DATABASE " + Literal(original.string()) + " AS a KEY " + Literal(kKey) + ";\nBEGIN;\n";
    std::string columns = "ID";
    for (const auto& [name, type] : kColumns)
        if (!Dropped(name)) columns += ", " + name;
    for (int t = 1; t <= kTables; ++t)
        script += "DELETE FROM main." + TableName(t) + ";\nINSERT INTO main." + TableName(t) + " (" + columns +
                  ") SELECT " + columns + " FROM a." + TableName(t) + ";\n";
    script += "COMMIT;\n";
    f.shellWall = Shell(viaShell, script, nullptr, &f.shellCpu);

    std::string check = "ATTACH DATABASE " + Literal(archive.string()) + " AS r KEY " + Literal(kKey) + ";\nSELECT 0";
    for (int t = 1; t <= kTables; ++t) {
        const std::string name = TableName(t);
        check += " + (SELECT count(*) FROM (SELECT * FROM main." + name + " EXCEPT SELECT * FROM r." + name + "))" +
                 " + (SELECT count(*) FROM (SELECT * FROM r." + name + " EXCEPT SELECT * FROM main." + name + "))" +
                 " + ((SELECT count(*) FROM r." + name + ") <> " + std::to_string(rows) + ")";
    }
    check += ";\n";
    std::string differences;
    Shell(viaShell, check, &differences);
    f.agree = differences == "0\n";
    if (!f.agree) std::cerr << "differenze: " << differences;
    return f;
}

constexpr bench::ArgHelp kArgs[] = {
    {"ROWS", "rows of each of the ten generated tables (default 100000)"},
    {"FOLDER", "work folder, kept afterwards (default: a new temporary folder, removed)"},
};
const bench::Usage kUsage{
    "bench_upgrade [ROWS] [FOLDER]",
    "Runs Quillon's upgrade of a generated archive of ten tables into a template that\n"
    "drops two fields and adds two, then the same copy with the sqlcipher shell; checks\n"
    "that both results match and prints wall-clock and processor times, their ratio\n"
    "and the peak memory at a tenth of the rows and at all of them.",
    kArgs, false, 2};

}  // namespace

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    const auto count = argc > 1 ? bench::PositiveCount(argv[1]) : std::optional<long>(100'000);
    if (!count) return bench::UsageError(kUsage, "not a row count", argv[1]);
    const long rows = *count;
    const fs::path dir = argc > 2 ? fs::path(argv[2])
                                  : fs::temp_directory_path() / ("agency-bench-upgrade-" + std::to_string(::getpid()));
    core::InitPrefs("Quillon", "Quillon.ini");
    auto owned = std::make_unique<Answers>();
    Answers& answers = *owned;
    core::InstallDialogs(std::move(owned));

    std::printf("%d tabelle x 20 colonne; il modello toglie 2 campi e ne aggiunge 2\n\n", kTables);
    std::printf("%-12s %-6s %12s %14s %9s %15s %8s\n", "righe/tab.", "tempo", "Quillon (s)", "sqlcipher (s)",
                "rapporto", "picco mem (MB)", "uguali");
    bool allAgree = true;
    for (long n : {rows / 10, rows}) {
        const Figures f = Measure(dir, n, answers);
        allAgree = allAgree && f.agree;
        std::printf("%-12ld %-6s %12.2f %14.2f %9.2f %15.1f %8s\n", n, "reale", f.runWall, f.shellWall,
                    f.runWall / f.shellWall, f.peakKb / 1024.0, f.agree ? "si" : "NO");
        std::printf("%-12ld %-6s %12.2f %14.2f %9.2f\n", n, "CPU", f.runCpu, f.shellCpu, f.runCpu / f.shellCpu);
        std::printf("             fasi: %s\n", f.stages.c_str());
        std::fflush(stdout);
    }
    if (argc <= 2) fs::remove_all(dir);
    return allAgree ? 0 : 1;
}
