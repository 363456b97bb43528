#include "bench/support/ShellRun.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace bench {

std::string SqlLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

double RunShell(const std::filesystem::path& db, const std::string& key, const std::string& script,
                std::string* output, double* cpu) {
    const std::filesystem::path file = db.string() + ".sql";
    std::ofstream(file) << ".output /dev/null\nPRAGMA key = " << SqlLiteral(key) << ";\n.output stdout\n"
                        << "PRAGMA cipher_compatibility = 3; PRAGMA cipher_default_compatibility = 3;\n"
                        << script;
    const std::string command = "sqlcipher -batch -bail '" + db.string() + "' < '" + file.string() + "' 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    std::size_t n;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int rc = pipe ? pclose(pipe) : -1;
    if (cpu) *cpu = CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(file);
    if (rc != 0) {
        std::cerr << "sqlcipher non riuscito (" << rc << "): " << text << "\n";
        std::exit(2);
    }
    if (output) *output = text;
    return seconds;
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

long PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace bench
