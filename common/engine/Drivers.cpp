#include "common/engine/Drivers.h"

#include "common/engine/Engine.h"

namespace core {

void RegisterBuiltInDrivers(Engine& engine) {
    // Order matters only for header recognition: Access signatures are
    // exact, SQLite's is exact, and SQLite is the fallback for files that
    // carry no signature (an encrypted database).
    for (auto make : {MakeAccessDriver, MakeSqliteDriver, MakeFlatFileDriver, MakeOdbcDriver}) {
        if (auto driver = make()) engine.AddDriver(std::move(driver));
    }
}

}  // namespace core
