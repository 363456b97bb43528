#pragma once
// Command lines of the benchmark programs: each program describes its
// arguments in one table; --help and -h print it and end the program with
// 0, a mistyped option or count prints it to stderr and ends with 2.
// Header only, so that every benchmark can use it whatever it links.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

namespace bench {

struct ArgHelp {
    const char* name;     // "ROWS", or "--size NAME" for an option
    const char* meaning;  // one line, with the default
};

struct Usage {
    const char* synopsis;              // "bench_copy [ROWS] [FOLDER]"
    const char* purpose;               // what is measured and against what
    std::span<const ArgHelp> args;
    bool takesOptions = false;         // false: every '-' argument but -h is a mistake
    int maxPositional = -1;            // -1: no limit
};

inline void PrintUsage(std::FILE* out, const Usage& usage) {
    std::fprintf(out, "usage: %s\n\n%s\n\n", usage.synopsis, usage.purpose);
    for (const ArgHelp& a : usage.args) std::fprintf(out, "  %-28s %s\n", a.name, a.meaning);
    std::fprintf(out, "  %-28s %s\n", "-h, --help", "print this text and exit");
}

// Reports a wrong command line with the usage; the exit status for it.
inline int UsageError(const Usage& usage, const char* what, const char* arg) {
    std::fprintf(stderr, "%s: %s\n", what, arg);
    PrintUsage(stderr, usage);
    return 2;
}

// Call first in main(): 0 after the help was asked for and printed, 2 after
// a wrong command line was reported, nothing when the program may go on.
inline std::optional<int> CheckCommandLine(int argc, char** argv, const Usage& usage) {
    int positional = 0;
    int firstExtra = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout, usage);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            if (!usage.takesOptions) return UsageError(usage, "unknown option", argv[i]);
        } else if (++positional > usage.maxPositional && usage.maxPositional >= 0 && firstExtra == 0) {
            firstExtra = i;
        }
    }
    if (firstExtra != 0) return UsageError(usage, "one argument too many", argv[firstExtra]);
    return std::nullopt;
}

// A whole positive number, or nothing for anything else ("--rows", "0",
// "12k", a number too large for a long).
inline std::optional<long> PositiveCount(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n <= 0) return std::nullopt;
    return n;
}

}  // namespace bench
