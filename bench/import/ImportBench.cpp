// Tessily's import run on a generated source table: 24 paired fields of
// mixed destination types (texts cut to their size, a memo, whole numbers
// read by the leading-number rule, other numbers, dates with today's date
// for what is none) and one completion rule, through the real run code with
// the answers scripted. Then the same copy with the same conversions written
// in SQL, run by the sqlcipher shell between attached databases. Checks that
// both destinations hold the same rows and prints both times, their ratio
// and the peak memory after a small run and after the full one.
//
// bench_import [rows (1000000)] [work folder (a new temporary folder)]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
#include "common/Dialogs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "import/ImportRun.h"
#include "import/TemplateFormat.h"
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

constexpr const char* kSourceSchema = R"sql(
CREATE TABLE Origine (
  s1 TEXT(10), s2 TEXT(30), s3 TEXT(80), s4 TEXT(40), s5 TEXT(20), s6 MEMO, s7 INTEGER,
  s8 TEXT(20), s9 TEXT(20), s10 TEXT(20), s11 TEXT(20), s12 DOUBLE, s13 DATETIME, s14 TEXT(12),
  s15 TEXT(2), s16 TEXT(8), s17 TEXT(60), s18 INTEGER);
)sql";

constexpr const char* kDestinationSchema = R"sql(
CREATE TABLE Destinazione (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  d01 VARCHAR(10), d02 VARCHAR(30), d03 VARCHAR(50), d04 VARCHAR(30), d05 VARCHAR(20), d06 MEMO,
  d07 VARCHAR(10), d08 LONG, d09 SMALLINT, d10 BYTE, d11 SINGLE, d12 LONG, d13 DOUBLE,
  d14 CURRENCY, d15 DOUBLE, d16 CURRENCY, d17 DOUBLE, d18 DATETIME, d19 DATETIME, d20 VARCHAR(2),
  d21 VARCHAR(5), d22 VARCHAR(50), d23 LONG, d24 VARCHAR(40));
)sql";

// Destination field k is filled from source field kPairs[k - 1].
constexpr std::array<const char*, 24> kPairs = {"s1",  "s2",  "s3",  "s4",  "s5",  "s6",  "s7",  "s7",
                                                "s8",  "s9",  "s10", "s18", "s11", "s11", "s12", "s12",
                                                "s7",  "s13", "s14", "s15", "s16", "s17", "s8",  "s2"};

// No Null reaches the whole-number group (it would stop the run), and no
// number there ends in exactly .5 (the engine rounds halves to even, SQL's
// round away from zero).
std::string GenerateSql(const std::string& table, long rows)
{
    return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT " + std::to_string(rows) +
           ")\nINSERT INTO " + table +
           " SELECT printf('C%07d', x), 'Cliente ' || hex(randomblob(8)), hex(randomblob(30)),"
           " CASE WHEN x % 11 = 0 THEN NULL WHEN x % 23 = 0 THEN '' ELSE 'Città ' || (x % 977) END,"
           " CASE WHEN x % 7 = 0 THEN NULL ELSE printf('+39 02 %07d', x) END,"
           " CASE WHEN x % 3 = 0 THEN NULL ELSE 'Nota ' || hex(randomblob(50)) END,"
           " x,"
           " (x % 30000) || CASE x % 4 WHEN 0 THEN 'abc' WHEN 1 THEN ',5' WHEN 2 THEN '' ELSE '.25' END,"
           " (x % 256) || ' kg',"
           " (x % 100000) || '.25',"
           " CASE WHEN x % 13 = 0 THEN NULL WHEN x % 17 = 0 THEN 'n.d.' WHEN x % 19 = 0 THEN ''"
           "      ELSE printf('%d.%02d', x % 100000, x % 100) END,"
           " x / 8.0,"
           " CASE WHEN x % 5 = 0 THEN NULL"
           "      ELSE datetime('2000-01-01', '+' || (x % 9000) || ' days', '+' || (x % 86400) || ' seconds') END,"
           " CASE WHEN x % 9 = 0 THEN 'n.d.'"
           "      ELSE printf('%02d/%02d/%04d', 1 + x % 28, 1 + x % 12, 1990 + x % 30) END,"
           " substr('MITONAPARMRMBO', 1 + 2 * (x % 7), 2), printf('%06d', x % 999999),"
           " lower(hex(randomblob(6))) || '@esempio.it', x % 50 FROM n;\n";
}

// The run's conversions, for the generated values, in SQL.
std::string SqlCopy()
{
    const std::string today = "(date('now', 'localtime') || ' 00:00:00')";
    const std::string other = "(CASE WHEN s11 IS NULL OR s11 = '' OR s11 = 'n.d.' THEN 0 ELSE CAST(s11 AS REAL) END)";
    return "INSERT INTO d.Destinazione (d01, d02, d03, d04, d05, d06, d07, d08, d09, d10, d11, d12, d13, d14, d15,"
           " d16, d17, d18, d19, d20, d21, d22, d23, d24)\n"
           "SELECT substr(s1, 1, 10), substr(s2, 1, 30), substr(s3, 1, 50), substr(s4, 1, 30), substr(s5, 1, 20),"
           " s6, substr(CAST(s7 AS TEXT), 1, 10), s7,"
           " CAST(round(CAST(s8 AS REAL)) AS INTEGER), CAST(round(CAST(s9 AS REAL)) AS INTEGER),"
           " CAST(s10 AS REAL), s18, " + other + ", " + other + ", s12, s12, s7,"
           " coalesce(s13, " + today + "),"
           " CASE WHEN s14 GLOB '[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]'"
           "      THEN substr(s14, 7, 4) || '-' || substr(s14, 4, 2) || '-' || substr(s14, 1, 2) || ' 00:00:00'"
           "      ELSE " + today + " END,"
           " substr(s15, 1, 2), substr(s16, 1, 5), substr(s17, 1, 50), CAST(round(CAST(s8 AS REAL)) AS INTEGER),"
           " substr(s2, 1, 40)\n"
           "FROM main.Origine ORDER BY rowid;\n"
           "UPDATE d.Destinazione SET d04 = (d01 || ' ' || d05) WHERE d04 = '';\n";
}

const char* kTemplate =
    "[CFG]\nSTD=24\nREQ=1\n[STD]\n"
    "1=Codice,d01\n2=Nome,d02\n3=Lungo,d03\n4=Città,d04\n5=Telefono,d05\n6=Note,d06\n7=Numero come testo,d07\n"
    "8=Numero,d08\n9=Intero,d09\n10=Byte,d10\n11=Singolo,d11\n12=Categoria,d12\n13=Importo,d13\n14=Valuta,d14\n"
    "15=Misura,d15\n16=Prezzo,d16\n17=Doppio,d17\n18=Creato,d18\n19=Data testo,d19\n20=Provincia,d20\n"
    "21=CAP,d21\n22=E-mail,d22\n23=Intero 2,d23\n24=Nome 2,d24\n"
    "[REQ]\n1=d04,&,d01,d05\n";

// The user's answers: Yes to the question; every message is kept.
class ScriptedYes : public core::Dialogs {
public:
    std::string lastText, lastTitle;
    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon, const std::string& title,
                               const std::string&) override
    {
        lastText = text;
        lastTitle = title;
        return buttons == core::MsgButtons::YesNo ? core::MsgResult::Yes : core::MsgResult::Ok;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest&) override { return {}; }
    void SetBusy(bool) override {}
    void ProcessEvents() override {}
};

class PairedView : public import::ImportView {
public:
    std::int32_t SelectedTableId() override { return 1; }
    std::string SlotSource(int k) override { return kPairs[static_cast<std::size_t>(k - 1)]; }
    bool EmptyDestinationFirst() override { return true; }
    void SetProgress(int percent) override { last = percent; }
    int last = -1;
};

struct EngineResult {
    double seconds = 0, cpu = 0;
    long long copied = 0;
    long peakKb = 0;
};

EngineResult RunEngine(const fs::path& source, const fs::path& destination, const import::ImportTemplate& tpl,
                       ScriptedYes& dialogs)
{
    const std::vector<core::cTable> tables{core::cTable{1, "Destinazione", "Destinazione"}};
    core::DataControl dcFrom, dcTo;
    dcFrom.Connect = ";PWD=" + kKey;
    dcFrom.DatabaseName = source.string();
    dcFrom.RecordSource = "Origine";
    dcFrom.Refresh();

    PairedView view;
    import::ImportSetup setup;
    setup.tables = &tables;
    setup.tpl = &tpl;
    setup.dcFrom = &dcFrom;
    setup.dcTo = &dcTo;
    setup.destinationPath = destination.string();
    setup.destinationPassword = kKey;
    setup.programTitle = "Tessily";

    EngineResult result;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    import::ImportRun run(std::move(setup), view);
    if (!run.Run()) {
        std::cerr << "importazione non riuscita: " << dialogs.lastTitle << ": " << dialogs.lastText << "\n";
        std::exit(1);
    }
    dcFrom.Close();
    dcTo.Close();
    core::Engine::Instance().FlushAll();
    core::Engine::Instance().Prune();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpu = CpuSeconds(RUSAGE_SELF) - cpuStart;
    result.copied = run.RecordsCopied();
    result.peakKb = PeakKb();
    return result;
}

// Rows present in one destination and not in the other, both ways; numbers
// compared to the sixth decimal (the two sides parse decimal texts with
// different routines).
std::string Differences(const fs::path& engineDb, const fs::path& shellDb)
{
    auto row = [](const std::string& db) {
        return "SELECT ID, d01, d02, d03, d04, d05, d06, d07, d08, d09, d10, round(d11, 6), d12, round(d13, 6),"
               " round(d14, 4), round(d15, 6), round(d16, 4), round(d17, 6), d18, d19, d20, d21, d22, d23, d24 FROM " +
               db + ".Destinazione";
    };
    std::string out;
    Shell(engineDb,
          "ATTACH DATABASE " + Literal(shellDb.string()) + " AS s KEY " + Literal(kKey) + ";\n" +
              "SELECT (SELECT count(*) FROM main.Destinazione), (SELECT count(*) FROM s.Destinazione),"
              " (SELECT count(*) FROM (" + row("main") + " EXCEPT " + row("s") + ")),"
              " (SELECT count(*) FROM (" + row("s") + " EXCEPT " + row("main") + "));\n",
          &out);
    return out;
}

constexpr bench::ArgHelp kArgs[] = {
    {"ROWS", "rows of the generated source table (default 1000000)"},
    {"FOLDER", "work folder, kept afterwards (default: a new temporary folder, removed)"},
};
const bench::Usage kUsage{
    "bench_import [ROWS] [FOLDER]",
    "Runs Tessily's import of 24 paired fields and one completion rule, then the same\n"
    "copy and conversions written in SQL for the sqlcipher shell; checks that both\n"
    "destinations match and prints both times, their ratio and the peak memory\n"
    "after a tenth of the rows (at most 100000) and after all of them.",
    kArgs, false, 2};

}  // namespace

int main(int argc, char** argv)
{
    core::RegisterBuiltInDrivers();
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    const auto count = argc > 1 ? bench::PositiveCount(argv[1]) : std::optional<long>(1'000'000);
    if (!count) return bench::UsageError(kUsage, "not a row count", argv[1]);
    const long rows = *count;
    const long small = std::max<long>(1, std::min<long>(100'000, rows / 10));
    const fs::path dir = argc > 2 ? fs::path(argv[2])
                                  : fs::temp_directory_path() / ("agency-bench-import-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path smallSource = dir / "origine-piccola.db";
    const fs::path source = dir / "origine.db";
    const fs::path smallDestination = dir / "destinazione-piccola.db";
    const fs::path viaEngine = dir / "destinazione-motore.db";
    const fs::path viaShell = dir / "destinazione-sql.db";
    for (const auto& f : {smallSource, source, smallDestination, viaEngine, viaShell}) fs::remove(f);

    std::cout << "Generazione di " << rows << " righe (e " << small << " per la prova piccola) in " << dir << "...\n";
    core::sqlite::CreateDatabase(smallSource.string(), kSourceSchema, kKey);
    core::sqlite::CreateDatabase(source.string(), kSourceSchema, kKey);
    for (const auto& f : {smallDestination, viaEngine, viaShell})
        core::sqlite::CreateDatabase(f.string(), kDestinationSchema, kKey);
    Shell(smallSource, GenerateSql("Origine", small));
    const double generated = Shell(source, GenerateSql("Origine", rows));
    std::cout << "  generate in " << generated << " s\n";

    const fs::path tplFile = dir / "Destinazione.ini";
    std::ofstream(tplFile, std::ios::binary) << kTemplate;
    const import::ImportTemplate tpl = import::ReadImportTemplate(tplFile.string());

    auto dialogs = std::make_unique<ScriptedYes>();
    ScriptedYes& answers = *dialogs;
    core::InstallDialogs(std::move(dialogs));

    const EngineResult smallRun = RunEngine(smallSource, smallDestination, tpl, answers);
    const EngineResult fullRun = RunEngine(source, viaEngine, tpl, answers);
    if (fullRun.copied != rows) {
        std::cerr << "copiati " << fullRun.copied << " record invece di " << rows << "\n";
        return 1;
    }

    double shellCpu = 0;
    const double shellSeconds =
        Shell(source, "ATTACH DATABASE " + Literal(viaShell.string()) + " AS d KEY " + Literal(kKey) + ";\n" +
                          "BEGIN;\n" + SqlCopy() + "COMMIT;\n",
              nullptr, &shellCpu);

    const std::string differences = Differences(viaEngine, viaShell);

    std::printf("\n%-10s %-6s %12s %14s %9s\n", "record", "tempo", "Tessily (s)", "sqlcipher (s)", "rapporto");
    std::printf("%-10ld %-6s %12.2f %14.2f %9.2f\n", rows, "reale", fullRun.seconds, shellSeconds,
                fullRun.seconds / shellSeconds);
    std::printf("%-10ld %-6s %12.2f %14.2f %9.2f\n", rows, "CPU", fullRun.cpu, shellCpu, fullRun.cpu / shellCpu);
    std::printf("picco di memoria: %.1f MB dopo %ld record, %.1f MB dopo %ld record\n", smallRun.peakKb / 1024.0, small,
                fullRun.peakKb / 1024.0, rows);
    std::printf("righe (motore, sql, solo nel motore, solo in sql): %s", differences.c_str());

    const std::string expected =
        std::to_string(rows) + "|" + std::to_string(rows) + "|0|0\n";
    const bool same = differences == expected;
    std::printf("%s\n", same ? "le due copie coincidono" : "LE DUE COPIE DIFFERISCONO");
    if (argc <= 2) fs::remove_all(dir);
    return same ? 0 : 1;
}
