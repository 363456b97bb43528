#pragma once
// Shared pieces of the bad-input catalogue: a watchdog that turns a hang
// into a failure, the check that a message reads as Italian, the bytes of a
// file, and one line per case on standard output ("BADINPUT | program |
// case | message") so that a run lists what each program says.

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/ScriptedDialogs.h"

namespace badinputstest {

namespace fs = std::filesystem;

// Ends the whole test program when one case runs longer than allowed: a
// hang would otherwise block the suite until CTest's own timeout.
class Watchdog {
public:
    explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(60))
        : what_(std::move(what)), thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "HANG: %s did not end within %lld s\n", what_.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

inline std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Words of the libraries' own (English) texts that must never reach the
// user as the message itself, and words any Italian sentence here carries.
inline ::testing::AssertionResult ReadsItalian(const std::string& text) {
    if (text.empty()) return ::testing::AssertionFailure() << "empty message";
    const std::string low = " " + Lower(text) + " ";
    for (const char* english : {" the ", " error", " failed", " cannot ", " unable", " invalid ", " not found",
                                " file is ", " database is ", " no such ", "exception", " denied", " corrupt ",
                                " malformed", "std::", " encrypted or "})
        if (low.find(english) != std::string::npos)
            return ::testing::AssertionFailure() << "English in \"" << text << "\" (" << english << ")";
    for (const char* italian : {" non ", " il ", " la ", " di ", " del", " è", " file", "errore", " un", " in ",
                                "impossibile", "operazione", "indice", "tipo", "valore", "tabella"})
        if (low.find(italian) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not recognisably Italian: \"" << text << "\"";
}

inline std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Pseudo-random bytes (fixed seed: the same file on every run).
inline std::string Noise(std::size_t size, unsigned seed = 7) {
    std::string out(size, '\0');
    unsigned x = seed;
    for (auto& c : out) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return out;
}

// The messages a case showed, for the listing and the checks.
inline std::string Said(const testsupport::ScriptedDialogs& dialogs) {
    std::string out;
    for (const auto& m : dialogs.Messages()) {
        if (!out.empty()) out += " / ";
        out += "[" + m.title + "] " + m.text;
    }
    return out.empty() ? "(nessun messaggio)" : out;
}
inline void List(const std::string& program, const std::string& what, const testsupport::ScriptedDialogs& dialogs) {
    std::string said = Said(dialogs);
    for (auto& c : said)
        if (c == '\n' || c == '\r') c = ' ';
    std::cout << "BADINPUT | " << program << " | " << what << " | " << said << std::endl;
}

// Every message shown reads as Italian, under the program's name or, for
// an error, "Errore n. " and its number; opening a data control titles its
// failure with the bare number.
inline void ExpectItalianMessages(const testsupport::ScriptedDialogs& dialogs) {
    for (const auto& m : dialogs.Messages()) {
        EXPECT_TRUE(ReadsItalian(m.text)) << dialogs.Transcript();
        const bool programTitle = m.title == "Varnel" || m.title == "Tessily" || m.title == "Quillon";
        const bool errorTitle = m.title.rfind("Errore n. ", 0) == 0 && m.title.size() > 10;
        const bool numberTitle = !m.title.empty() && m.title.find_first_not_of("0123456789") == std::string::npos;
        EXPECT_TRUE(programTitle || errorTitle || numberTitle) << "title \"" << m.title << "\"\n" << dialogs.Transcript();
    }
}

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Another process holding an exclusive lock on a file (flock), as another
// program would while it writes it. Ended by its own id on destruction.
class LockingProcess {
public:
    explicit LockingProcess(const std::string& path) {
        process_.start("flock", {"-x", QString::fromStdString(path), "sleep", "60"});
        started_ = process_.waitForStarted(5000);
        // The lock is taken as soon as flock runs; wait until it shows.
        for (int i = 0; started_ && i < 100; ++i) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            if (fd < 0) break;
            const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            if (!taken) ::flock(fd, LOCK_UN);
            ::close(fd);
            if (taken) {
                locked_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~LockingProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool Locked() const { return locked_; }

private:
    QProcess process_;
    bool started_ = false;
    bool locked_ = false;
};

}  // namespace badinputstest
