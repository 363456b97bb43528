// Copies a generated table of 20 columns from one encrypted database into
// another, record by record through the engine's recordsets (read, AddNew,
// each field assigned by name, Update, saves batched), as the programs copy; then the same
// copy with the sqlcipher shell as INSERT INTO ... SELECT between attached
// databases. Prints both times, their ratio and the peak memory of this
// process at 100,000 rows and at the end.
//
// bench_copy [rows (1000000)] [work folder (a new temporary folder)]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/support/BenchArgs.h"
#include "bench/support/ShellRun.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
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

constexpr const char* kSchema = R"sql(
CREATE TABLE Dati (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  sCodice TEXT(10) COLLATE NOCASE, sNome TEXT(50) COLLATE NOCASE,
  sIndirizzo TEXT(50) COLLATE NOCASE, sCitta TEXT(30) COLLATE NOCASE,
  sProvincia TEXT(2) COLLATE NOCASE, sCap TEXT(5) COLLATE NOCASE,
  sTelefono TEXT(20) COLLATE NOCASE, sEmail TEXT(50) COLLATE NOCASE, mNote MEMO,
  nQuantita LONG, nSconto SMALLINT, nLivello BYTE, nPeso SINGLE, nMisura DOUBLE,
  nPrezzo CURRENCY, dCreato DATETIME, dModificato DATETIME, bAttivo YESNO, nCategoria LONG);
CREATE INDEX ixDatiCodice ON Dati (sCodice);
)sql";

// Rows made by SQLite itself: texts, numbers, dates, and Nulls in a few
// columns of every seventh or eleventh row.
std::string GenerateSql(long rows) {
    return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT " +
           std::to_string(rows) + ")\n"
           "INSERT INTO Dati (sCodice, sNome, sIndirizzo, sCitta, sProvincia, sCap, sTelefono,"
           " sEmail, mNote, nQuantita, nSconto, nLivello, nPeso, nMisura, nPrezzo, dCreato,"
           " dModificato, bAttivo, nCategoria)\n"
           "SELECT printf('C%07d', x), 'Cliente ' || hex(randomblob(8)),"
           " 'Via ' || hex(randomblob(10)) || ', ' || (x % 300),"
           " CASE WHEN x % 11 = 0 THEN NULL ELSE 'Città ' || (x % 977) END,"
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

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

constexpr bench::ArgHelp kArgs[] = {
    {"ROWS", "rows of the generated table (default 1000000)"},
    {"FOLDER", "work folder, kept afterwards (default: a new temporary folder, removed)"},
};
const bench::Usage kUsage{
    "bench_copy [ROWS] [FOLDER]",
    "Copies a generated table of 20 columns between two encrypted databases record by\n"
    "record through the engine's recordsets, then with the sqlcipher shell as\n"
    "INSERT INTO ... SELECT; prints both times, their ratio and the peak memory.",
    kArgs, false, 2};

}  // namespace

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    const auto count = argc > 1 ? bench::PositiveCount(argv[1]) : std::optional<long>(1'000'000);
    if (!count) return bench::UsageError(kUsage, "not a row count", argv[1]);
    const long rows = *count;
    const long mark = std::min<long>(100'000, rows);
    const fs::path dir = argc > 2 ? fs::path(argv[2])
                                  : fs::temp_directory_path() / ("agency-bench-copy-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path source = dir / "sorgente.db";
    const fs::path viaEngine = dir / "motore.db";
    const fs::path viaShellMark = dir / "shell-parziale.db";
    const fs::path viaShell = dir / "shell.db";
    for (const auto& f : {source, viaEngine, viaShellMark, viaShell}) fs::remove(f);

    std::cout << "Generazione di " << rows << " righe x 20 colonne in " << source << "...\n";
    core::sqlite::CreateDatabase(source.string(), kSchema, kKey);
    for (const auto& f : {viaEngine, viaShellMark, viaShell}) core::sqlite::CreateDatabase(f.string(), kSchema, kKey);
    const double generated = Shell(source, GenerateSql(rows));
    std::cout << "  generate in " << generated << " s\n";

    // The engine: record by record, every field by name.
    double engineAtMark = 0, engineTotal = 0, engineCpuAtMark = 0, engineCpuTotal = 0;
    long peakAtMark = 0;
    {
        const auto start = Clock::now();
        const double cpuStart = CpuSeconds(RUSAGE_SELF);
        auto from = core::Workspace::OpenDatabase(source.string(), false, true, ";PWD=" + kKey);
        auto to = core::Workspace::OpenDatabase(viaEngine.string(), false, false, ";PWD=" + kKey);
        const core::BatchedSaves batched(*to);  // as the programs' copies do
        auto src = from->OpenRecordset("SELECT * FROM [Dati]");
        auto dst = to->OpenRecordset("SELECT * FROM [Dati]");
        std::vector<std::string> names;
        for (int i = 0; i < src->Fields().Count(); ++i) names.push_back(src->Fields()[i].Name());
        long copied = 0;
        for (; !src->Eof(); src->MoveNext()) {
            dst->AddNew();
            for (const auto& name : names) dst->Fields()[name] = src->Fields()[name].Value();
            dst->Update();
            if (++copied == mark) {
                to->RawConnection()->Flush();
                engineAtMark = Seconds(start);
                engineCpuAtMark = CpuSeconds(RUSAGE_SELF) - cpuStart;
                peakAtMark = PeakKb();
            }
        }
        core::Engine::Instance().FlushAll();
        src->Close();
        dst->Close();
        from->Close();
        to->Close();
        engineTotal = Seconds(start);
        engineCpuTotal = CpuSeconds(RUSAGE_SELF) - cpuStart;
        if (copied != rows) {
            std::cerr << "copiate " << copied << " righe invece di " << rows << "\n";
            return 1;
        }
    }
    const long peakTotal = PeakKb();

    // The shell: one statement between attached databases.
    auto shellCopy = [&](const fs::path& target, long limit, double* cpu) {
        return Shell(source, "ATTACH DATABASE " + Literal(target.string()) + " AS d KEY " + Literal(kKey) +
                                 ";\n" +
                                 "INSERT INTO d.Dati SELECT * FROM main.Dati WHERE ID <= " +
                                 std::to_string(limit) + ";\n",
                     nullptr, cpu);
    };
    double shellCpuAtMark = 0, shellCpuTotal = 0;
    const double shellAtMark = shellCopy(viaShellMark, mark, &shellCpuAtMark);
    const double shellTotal = shellCopy(viaShell, rows, &shellCpuTotal);

    // Both copies hold exactly the source's rows.
    std::string differences;
    Shell(source, "ATTACH DATABASE " + Literal(viaEngine.string()) + " AS e KEY " + Literal(kKey) + ";\n" +
                      "SELECT (SELECT count(*) FROM (SELECT * FROM main.Dati EXCEPT SELECT * FROM e.Dati)) +"
                      " (SELECT count(*) FROM (SELECT * FROM e.Dati EXCEPT SELECT * FROM main.Dati));\n",
          &differences);

    std::printf("\n%-10s %-6s %12s %14s %9s %15s\n", "righe", "tempo", "motore (s)", "sqlcipher (s)",
                "rapporto", "picco mem (MB)");
    auto line = [](long n, const char* kind, double engine, double shell, long peak) {
        std::printf("%-10ld %-6s %12.2f %14.2f %9.2f %15.1f\n", n, kind, engine, shell, engine / shell,
                    peak / 1024.0);
    };
    line(mark, "reale", engineAtMark, shellAtMark, peakAtMark);
    line(mark, "CPU", engineCpuAtMark, shellCpuAtMark, peakAtMark);
    line(rows, "reale", engineTotal, shellTotal, peakTotal);
    line(rows, "CPU", engineCpuTotal, shellCpuTotal, peakTotal);
    std::printf("righe diverse tra sorgente e copia del motore: %s", differences.c_str());
    const bool sameRows = differences == "0\n";

    if (argc <= 2) fs::remove_all(dir);
    return sameRows ? 0 : 1;
}
