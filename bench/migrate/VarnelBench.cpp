// Varnel's migration on a large generated version-4 archive: the real run
// (answers scripted, no screen) against the same migration as one
// set-based SQL script in the sqlcipher shell. Both destinations must come
// out identical; prints both times, their ratio and the run's peak memory
// (the process's high-water mark: it holds the engine's page caches and
// the current records, so it must not grow with the archive).
//
//   varnel_bench [--size sample|medium|bench] [--archive file] [--keep]

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "bench/migrate/SetBasedScript.h"
#include "bench/support/BenchArgs.h"
#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "migrate/MigrationMap.h"
#include "migrate/MigrationRun.h"
#include "common/engine/Drivers.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kKey = "chiave5";

class AnswerYes : public core::Dialogs {
public:
    std::string last;
    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon,
                               const std::string& title, const std::string& = {}) override {
        last = title + ": " + text;
        return buttons == core::MsgButtons::YesNo ? core::MsgResult::Yes : core::MsgResult::Ok;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest&) override { return {}; }
    void SetBusy(bool) override {}
    void ProcessEvents() override {}
};

struct Headless : migrate::MigrationView {
    std::string source;
    std::string SourcePath() const override { return source; }
    bool EmptyTablesChecked() const override { return false; }
    void SetProgressVisible(bool) override {}
    void SetProgressValue(int) override {}
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKb(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

// Rows that differ between the two destinations (the insertion timestamp,
// a default of the clock, aside).
long long Compare(const std::string& a, const std::string& b, long long& rows) {
    long long differences = 0;
    rows = 0;
    auto dbA = core::Workspace::OpenDatabase(a, false, true, std::string(";PWD=") + kKey);
    auto dbB = core::Workspace::OpenDatabase(b, false, true, std::string(";PWD=") + kKey);
    for (const auto& step : migrate::MigrationSteps()) {
        const std::string sql = "SELECT * FROM [" + step.destinationTable + "] ORDER BY [ID]";
        auto ra = dbA->OpenRecordset(sql);
        auto rb = dbB->OpenRecordset(sql);
        long long n = 0;
        for (; !ra->Eof() && !rb->Eof(); ra->MoveNext(), rb->MoveNext(), ++n) {
            for (int i = 0; i < ra->Fields().Count(); ++i) {
                const auto name = ra->Fields()[i].Name();
                if (name == "dInserimento") continue;
                const auto va = ra->Fields()[i].Value();
                const auto vb = rb->Fields()[name].Value();
                if (!(va == vb)) {
                    if (differences < 5)
                        std::cerr << step.destinationTable << " ID " << ra->Fields()["ID"].Value().ToText() << " "
                                  << name << ": run " << core::Describe(va) << ", script " << core::Describe(vb)
                                  << "\n";
                    ++differences;
                }
            }
        }
        if (!ra->Eof() || !rb->Eof()) {
            std::cerr << step.destinationTable << ": different record counts\n";
            ++differences;
        }
        std::printf("  %-16s %9lld records\n", step.destinationTable.c_str(), n);
        rows += n;
    }
    return differences;
}

}  // namespace

// A key's value in an ODBC connect text.
std::string ConnectValue(const std::string& connect, const std::string& key) {
    const std::size_t pos = connect.find(key + "=");
    if (pos == std::string::npos) return {};
    const std::size_t end = connect.find(';', pos);
    return connect.substr(pos + key.size() + 1, end == std::string::npos ? std::string::npos : end - pos - key.size() - 1);
}

struct ServerRun {
    double seconds = -1;  // -1: the run failed
    double cpu = 0;       // processor time of this process during the run
};

// Runs the migration into a fresh database on the server.
ServerRun RunIntoServer(const std::string& server, const std::string& archive, const fs::path& source) {
    const std::string database = "varnel_bench";
    const std::string psql = "PGPASSWORD='" + ConnectValue(server, "PWD") + "' psql -q -X -v ON_ERROR_STOP=1 -h " +
                             ConnectValue(server, "SERVER") + " -p " + ConnectValue(server, "PORT") + " -U " +
                             ConnectValue(server, "UID");
    const std::string create = psql + " -d postgres -c 'DROP DATABASE IF EXISTS " + database + " WITH (FORCE)' -c 'CREATE DATABASE " +
                               database + "' >/dev/null && " + psql + " -d " + database + " -f '" +
                               (source / "samples/schema/v5-postgres.sql").string() + "' >/dev/null";
    if (std::system(create.c_str()) != 0) {
        std::cerr << "creating the server database failed\n";
        return {};
    }
    std::string connect = server;
    const std::size_t pos = connect.find("DATABASE=");
    const std::size_t end = connect.find(';', pos);
    connect.replace(pos, (end == std::string::npos ? connect.size() : end) - pos, "DATABASE=" + database);
    core::ThePrefs().destinationConnect = connect;
    Headless view;
    view.source = archive;
    core::DataControl from, to, support;
    migrate::MigrationRun run(view, {from, to, support});
    const auto t = Clock::now();
    const double cpu = CpuSeconds();
    const auto outcome = run.Run();
    ServerRun result{Seconds(t), CpuSeconds() - cpu};
    core::ThePrefs().destinationConnect.clear();
    if (outcome != migrate::RunOutcome::Succeeded) result.seconds = -1;
    return result;
}

constexpr bench::ArgHelp kArgs[] = {
    {"--size sample|medium|bench", "size of the generated archive (default bench)"},
    {"--archive FILE", "migrate this version-4 archive instead of generating one"},
    {"--keep", "keep the work folder with the archive and both destinations"},
};
const bench::Usage kUsage{
    "varnel_bench [--size sample|medium|bench] [--archive FILE] [--keep]",
    "Runs Varnel's migration of a generated version-4 archive (samples/v4gen/gen_v4.py)\n"
    "against the same migration as one set-based SQL script in the sqlcipher shell;\n"
    "checks that both destinations are identical and prints both times, their ratio\n"
    "and the run's peak memory. With AGENCY_PG_CONNECT set (scripts/pg-test-server.sh\n"
    "exports it), also times the same run into a fresh PostgreSQL database (created\n"
    "with psql from samples/schema/v5-postgres.sql) and prints it against the run\n"
    "into the file: records per second, ratio, processor time and peak memory.",
    kArgs, true, -1};

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    std::string size = "bench", archive;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) size = argv[++i];
        else if (arg == "--archive" && i + 1 < argc) archive = argv[++i];
        else if (arg == "--keep") keep = true;
        else return bench::UsageError(kUsage, "unknown argument", argv[i]);
    }
    const fs::path source(AGENCY_SOURCE_DIR);
    const fs::path work = fs::temp_directory_path() / ("varnel_bench_" + std::to_string(::getpid()));
    fs::create_directories(work);

    if (archive.empty()) {
        archive = (work / "archivio4.sqlite").string();
        const auto t = Clock::now();
        const std::string cmd = "python3 '" + (source / "samples/v4gen/gen_v4.py").string() + "' --out '" + archive +
                                "' --size " + size;
        if (std::system(cmd.c_str()) != 0) {
            std::cerr << "generating the archive failed\n";
            return 1;
        }
        std::printf("archive generated (%s) in %.1f s\n", size.c_str(), Seconds(t));
    }
    const std::string v5 = ReadText(source / "samples/schema/v5.sql");
    const std::string byRun = (work / "run.db").string();
    const std::string byScript = (work / "script.db").string();
    core::sqlite::CreateDatabase(byRun, v5, kKey);
    core::sqlite::CreateDatabase(byScript, v5, kKey);

    // The real run.
    core::InitPrefs("Varnel", "Varnel.ini");
    core::ThePrefs().destinationPath = byRun;
    core::ThePrefs().destinationPassword = kKey;
    auto dialogs = std::make_unique<AnswerYes>();
    AnswerYes* answers = dialogs.get();
    core::InstallDialogs(std::move(dialogs));
    const long baseKb = PeakKb(RUSAGE_SELF);
    Headless view;
    view.source = archive;
    double runSeconds = 0, runCpu = 0;
    {
        core::DataControl from, to, support;
        migrate::MigrationRun run(view, {from, to, support});
        const auto t = Clock::now();
        const double cpu = CpuSeconds();
        const auto outcome = run.Run();
        runSeconds = Seconds(t);
        runCpu = CpuSeconds() - cpu;
        if (outcome != migrate::RunOutcome::Succeeded) {
            std::cerr << "the run did not succeed: " << answers->last << "\n";
            return 1;
        }
    }
    core::Engine::Instance().FlushAll();
    core::Engine::Instance().Prune();
    const long runPeakKb = PeakKb(RUSAGE_SELF);

    // The same migration, set-based, in the sqlcipher shell.
    const fs::path script = work / "migrate.sql";
    std::ofstream(script, std::ios::binary) << bench::SetBasedMigrationScript(archive, "vup", kKey);
    const auto t = Clock::now();
    const std::string cmd = "sqlcipher -bail '" + byScript + "' < '" + script.string() + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0) {
        std::cerr << "the set-based script failed: " << script << "\n";
        return 1;
    }
    const double scriptSeconds = Seconds(t);

    std::printf("destination tables:\n");
    long long rows = 0;
    const long long differences = Compare(byRun, byScript, rows);
    std::printf("identical destination tables: %s (%lld records, %lld differences)\n", differences ? "NO" : "yes",
                rows, differences);
    std::printf("run (engine, record by record): %8.2f s\n", runSeconds);
    std::printf("set-based SQL (sqlcipher shell): %7.2f s\n", scriptSeconds);
    std::printf("ratio run / script:              %7.2f\n", runSeconds / scriptSeconds);
    std::printf("peak memory of the run process:  %7.1f MB (%.1f MB before the run)\n", runPeakKb / 1024.0,
                baseKb / 1024.0);

    // The same run into a PostgreSQL server, when one is configured for the
    // tests (scripts/pg-test-server.sh exports its connect text).
    if (const char* server = std::getenv("AGENCY_PG_CONNECT"); server && *server) {
        const long peakBeforeKb = PeakKb(RUSAGE_SELF);
        const ServerRun served = RunIntoServer(server, archive, source);
        if (served.seconds >= 0) {
            std::printf("run into PostgreSQL (ODBC):      %7.2f s (%.2f times the run into the file)\n", served.seconds,
                        served.seconds / runSeconds);
            std::printf("  records per second:  file %.0f, PostgreSQL %.0f\n", rows / runSeconds,
                        rows / served.seconds);
            std::printf("  processor time of this process: file run %.2f s, PostgreSQL run %.2f s\n", runCpu,
                        served.cpu);
            std::printf("  peak memory of the process: %.1f MB before the run into PostgreSQL, %.1f MB after it\n",
                        peakBeforeKb / 1024.0, PeakKb(RUSAGE_SELF) / 1024.0);
        } else {
            std::printf("run into PostgreSQL: failed (see above)\n");
        }
    } else {
        std::printf("run into PostgreSQL: skipped (AGENCY_PG_CONNECT not set)\n");
    }
    if (!keep) fs::remove_all(work);
    else std::printf("kept: %s\n", work.string().c_str());
    return differences ? 1 : 0;
}
