#pragma once
// The peer every benchmark measures against: a script run by the sqlcipher
// shell on an encrypted database, timed in wall-clock and processor
// seconds. Also the process's own processor time and peak memory.

#include <filesystem>
#include <string>

namespace bench {

// text as an SQL string literal.
std::string SqlLiteral(const std::string& text);

// Runs script with the sqlcipher shell on db, opened with key and the
// engine's cipher settings (also the defaults of attached databases).
// Returns the wall-clock seconds; *cpu gets the shell's processor seconds
// and *output what it printed. A failing script ends the benchmark.
double RunShell(const std::filesystem::path& db, const std::string& key, const std::string& script,
                std::string* output = nullptr, double* cpu = nullptr);

// Processor seconds (user + system) of this process (RUSAGE_SELF) or of its
// finished children (RUSAGE_CHILDREN): on a machine shared with other work
// the wall-clock times say little, these compare two runs fairly.
double CpuSeconds(int who);

// This process's peak resident memory in KiB, -1 when unknown.
long PeakKb();

}  // namespace bench
