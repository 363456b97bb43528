#pragma once
// Factories of the built-in drivers; each lives in its own folder.

#include <memory>

#include "common/engine/Driver.h"

namespace core {
std::unique_ptr<Driver> MakeSqliteDriver();    // SQLCipher, read-write, the embedded default
std::unique_ptr<Driver> MakeAccessDriver();    // Access files through libmdb, read-only
std::unique_ptr<Driver> MakeFlatFileDriver();  // dBASE, text and Excel files, read-only
std::unique_ptr<Driver> MakeOdbcDriver();      // server databases through unixODBC
}  // namespace core
