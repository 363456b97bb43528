// The engine of these tests knows only the Access driver, so that they do
// not depend on the other drivers being built.

#include <gtest/gtest.h>

#include "common/engine/Drivers.h"
#include "common/engine/Engine.h"

namespace {

class OnlyAccessDriver : public ::testing::Environment {
public:
    void SetUp() override { core::Engine::Instance().AddDriver(core::MakeAccessDriver()); }
};

[[maybe_unused]] const auto* const kOnlyAccessDriver = ::testing::AddGlobalTestEnvironment(new OnlyAccessDriver);

}  // namespace
