#include "common/engine/Drivers.h"

#include <mutex>

#include "common/engine/Engine.h"

namespace core {

void RegisterBuiltInDrivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (auto make : {MakeAccessDriver, MakeSqliteDriver, MakeFlatFileDriver, MakeOdbcDriver}) {
            if (auto driver = make()) Engine::Instance().AddDriver(std::move(driver));
        }
    });
}

}  // namespace core
