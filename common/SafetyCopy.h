#pragma once
// A copy of a destination database file, made beside it before a run
// writes into it, so that a run that failed or was stopped can be undone:
// "<file>.prima-<program>-<yyyymmdd-hhmmss>". Each program keeps its last
// three copies of a file and deletes the older ones.

#include <ctime>
#include <string>
#include <vector>

#include "common/engine/sqlite/SqliteTools.h"

namespace core {

// The copy's name for a run of `program` ("Varnel": lower-cased) started at `when` (local time).
std::string SafetyCopyPath(const std::string& destination, const std::string& program, std::time_t when);

// This program's copies of the destination, oldest first.
std::vector<std::string> SafetyCopies(const std::string& destination, const std::string& program);

class SafetyCopy {
public:
    static constexpr std::size_t kKept = 3;

    // Copies the destination (SQLite's online backup) and then deletes all
    // but the newest kKept copies of this program. Raises the engine's error
    // when the copy cannot be made; nothing is left behind then.
    static SafetyCopy Make(const std::string& destination, const std::string& password, const std::string& program,
                           const sqlite::CopyProgress& progress = {});

    const std::string& Path() const { return path_; }
    const std::string& Destination() const { return destination_; }

    // Puts the copy back into the destination; every connection of the
    // engine on it must be closed first.
    void Restore() const;

private:
    SafetyCopy(std::string destination, std::string password, std::string path)
        : destination_(std::move(destination)), password_(std::move(password)), path_(std::move(path))
    {
    }

    std::string destination_;
    std::string password_;
    std::string path_;
};

}  // namespace core
