// Reads every row and field of Access tables through the engine's
// recordsets, then exports the same tables with mdb-export to /dev/null,
// and prints both times and their ratio (target: at most 1.5).
//
//   bench_access [file password [table...]]...
// Without arguments: the largest table of the sample business database and
// every table of the version-4 archive.

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/BenchArgs.h"
#include "common/engine/Dao.h"
#include "common/engine/Drivers.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Job {
    std::string file;
    std::string password;
    std::vector<std::string> tables;  // empty: chosen below
    bool largestOnly = false;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long long WalkRows(core::Database& db, const std::string& table) {
    auto rs = db.OpenRecordset(table);
    long long rows = 0;
    for (; !rs->Eof(); rs->MoveNext()) ++rows;
    return rows;
}

// Every field of every row, as a run reads them.
long long ReadAll(core::Database& db, const std::string& table, std::size_t& checksum) {
    auto rs = db.OpenRecordset(core::SelectAllFrom(table));
    const int count = rs->Fields().Count();
    long long rows = 0;
    for (; !rs->Eof(); rs->MoveNext(), ++rows) {
        for (int i = 0; i < count; ++i) {
            const core::Variant v = rs->Fields().Item(i).Value();
            checksum += static_cast<std::size_t>(v.kind());
        }
        checksum += static_cast<std::size_t>(rs->PercentPosition());
    }
    return rows;
}

bool MdbExport(const std::string& file, const std::string& table) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start("mdb-export", {QString::fromStdString(file), QString::fromStdString(table)});
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

constexpr bench::ArgHelp kArgs[] = {
    {"FILE", "an Access file (.mdb or .accdb)"},
    {"PASSWORD", "its database password, '' for none"},
    {"TABLE...", "tables to read (default: every table); names without a dot"},
};
const bench::Usage kUsage{
    "bench_access [FILE PASSWORD [TABLE...]]...",
    "Reads every row and field of Access tables through the engine's recordsets, then\n"
    "exports the same tables with mdb-export (package mdbtools) to /dev/null; best of\n"
    "three runs each, prints both times and their ratio (target: at most 1.5).\n"
    "Without arguments: the largest table of tests/data/access/nwind.mdb and every\n"
    "table of tests/data/v4/archivio4.mdb.",
    kArgs, false, -1};

}  // namespace

int main(int argc, char** argv) {
    // This benchmark's engine knows only the Access driver.
    core::Engine::Instance().AddDriver(core::MakeAccessDriver());
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    std::vector<Job> jobs;
    if (argc > 1) {
        for (int i = 1; i < argc;) {
            Job job{argv[i], i + 1 < argc ? argv[i + 1] : "", {}, false};
            i += 2;
            while (i < argc && std::string(argv[i]).find('.') == std::string::npos) job.tables.push_back(argv[i++]);
            jobs.push_back(job);
        }
    } else {
        jobs.push_back({std::string(AGENCY_FIXTURES) + "/access/nwind.mdb", "", {}, true});
        jobs.push_back({std::string(AGENCY_FIXTURES) + "/v4/archivio4.mdb", "vup", {}, false});
    }
    if (QStandardPaths::findExecutable("mdb-export").isEmpty()) {
        std::fprintf(stderr, "mdb-export not found (package mdbtools)\n");
        return 2;
    }

    try {
        double totalEngine = 0, totalExport = 0;
        for (auto& job : jobs) {
            auto db = core::Workspace::OpenDatabase(job.file, false, true, ";PWD=" + job.password);
            if (job.tables.empty()) {
                std::string largest;
                long long most = -1;
                for (const auto& def : db->TableDefs()) {
                    if (def.Name.rfind("MSys", 0) == 0) continue;
                    const long long rows = WalkRows(*db, def.Name);
                    if (rows > most) most = rows, largest = def.Name;
                    if (!job.largestOnly) job.tables.push_back(def.Name);
                }
                if (job.largestOnly) job.tables.push_back(largest);
            }
            std::printf("%s\n", job.file.c_str());
            for (const auto& table : job.tables) {
                std::size_t checksum = 0;
                // Best of three runs each, so that a busy machine distorts less.
                double engine = 1e9, exporter = 1e9;
                long long rows = 0;
                for (int run = 0; run < 3; ++run) {
                    auto start = Clock::now();
                    rows = ReadAll(*db, table, checksum);
                    engine = std::min(engine, Seconds(Clock::now() - start));
                    start = Clock::now();
                    if (!MdbExport(job.file, table)) {
                        std::fprintf(stderr, "mdb-export failed on %s\n", table.c_str());
                        return 1;
                    }
                    exporter = std::min(exporter, Seconds(Clock::now() - start));
                }
                totalEngine += engine;
                totalExport += exporter;
                std::printf("  %-20s %7lld rows  engine %8.1f ms  mdb-export %8.1f ms  ratio %.2f\n", table.c_str(),
                            rows, engine * 1000, exporter * 1000, engine / exporter);
            }
        }
        std::printf("total: engine %.1f ms, mdb-export %.1f ms, ratio %.2f (target <= 1.5)\n", totalEngine * 1000,
                    totalExport * 1000, totalEngine / totalExport);
    } catch (const core::Error& e) {
        std::fprintf(stderr, "Errore %d: %s\n", e.Number(), e.Description().c_str());
        return 1;
    }
    return 0;
}
