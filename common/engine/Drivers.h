#pragma once
// The built-in drivers. The engine itself knows none: each program
// registers them at start-up, before anything opens a database, and so do the
// tests that open real files.

#include <memory>

#include "common/engine/Driver.h"

namespace core {
std::unique_ptr<Driver> MakeSqliteDriver();    // SQLCipher, read-write, the embedded default
std::unique_ptr<Driver> MakeAccessDriver();    // Access files through libmdb, read-only
std::unique_ptr<Driver> MakeFlatFileDriver();  // dBASE, text and Excel files, read-only
std::unique_ptr<Driver> MakeOdbcDriver();      // server databases through unixODBC

// Adds the built-in drivers to Engine::Instance(); a later call does nothing.
// Order matters only for header recognition: Access signatures are exact,
// SQLite's is exact, and SQLite is the fallback for files that carry no
// signature (an encrypted database).
void RegisterBuiltInDrivers();
}  // namespace core
