// The engine of these tests knows only the Access driver, so that they do
// not depend on the other drivers being built.
#include "common/engine/Drivers.h"
#include "common/engine/Engine.h"

namespace core {
void RegisterBuiltInDrivers(Engine& engine) { engine.AddDriver(MakeAccessDriver()); }
}  // namespace core
