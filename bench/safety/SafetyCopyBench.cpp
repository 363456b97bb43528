// The safety copy Varnel and Tessily make of a destination file before the
// first write of a run, timed on a generated database of a given size,
// encrypted like the programs' archives and plain.
//
//   bench_safety_copy [megabytes=300] [folder=/tmp]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/support/BenchArgs.h"
#include "common/SafetyCopy.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "common/engine/Drivers.h"

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Rows of about 1 KB of random text each, in one table with an index.
std::string Script(int megabytes) {
    const int rows = megabytes * 1000;
    return "CREATE TABLE tblRighe (ID INTEGER PRIMARY KEY, sCodice VARCHAR(10), sTesto TEXT);"
           "CREATE INDEX ixCodice ON tblRighe (sCodice);"
           "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
           std::to_string(rows) +
           ") INSERT INTO tblRighe SELECT i, 'C' || i, hex(randomblob(480)) FROM k;";
}

void Measure(const fs::path& folder, int megabytes, const std::string& key) {
    const fs::path file = folder / (key.empty() ? "safety-bench-plain.db" : "safety-bench-encrypted.db");
    std::error_code ec;
    for (const auto& path : core::SafetyCopies(file.string(), "bench")) fs::remove(path, ec);
    fs::remove(file, ec);
    core::sqlite::CreateDatabase(file.string(), Script(megabytes), key);
    const double size = static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0);

    const auto start = std::chrono::steady_clock::now();
    int calls = 0;
    const core::SafetyCopy copy =
        core::SafetyCopy::Make(file.string(), key, "bench", [&](int, int) { ++calls; });
    const double made = Seconds(std::chrono::steady_clock::now() - start);

    const auto restoreStart = std::chrono::steady_clock::now();
    copy.Restore();
    const double restored = Seconds(std::chrono::steady_clock::now() - restoreStart);

    std::printf("%-9s %7.1f MB  copy %6.2f s (%6.1f MB/s, %d progress calls)  restore %6.2f s\n",
                key.empty() ? "plain" : "encrypted", size, made, size / made, calls, restored);
    fs::remove(copy.Path(), ec);
    fs::remove(file, ec);
}

constexpr bench::ArgHelp kArgs[] = {
    {"MEGABYTES", "size of the generated database (default 300)"},
    {"FOLDER", "where the databases and their copies are made (default: the temporary folder)"},
};
const bench::Usage kUsage{
    "bench_safety_copy [MEGABYTES] [FOLDER]",
    "Times the safety copy that Varnel and Tessily make of a destination before a run's\n"
    "first write, and its restore, on a generated database, once encrypted and once\n"
    "plain; prints the size, both times and the copy's throughput.",
    kArgs, false, 2};

}  // namespace

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (const auto status = bench::CheckCommandLine(argc, argv, kUsage)) return *status;
    const auto count = argc > 1 ? bench::PositiveCount(argv[1]) : std::optional<long>(300);
    if (!count || *count > 100'000) return bench::UsageError(kUsage, "not a size in megabytes", argv[1]);
    const int megabytes = static_cast<int>(*count);
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    Measure(folder, megabytes, "chiave");
    Measure(folder, megabytes, {});
    return 0;
}
