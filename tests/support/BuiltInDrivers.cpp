// Test programs that open real databases register the built-in drivers as
// the programs do at start-up (agency_add_test ... BUILT_IN_DRIVERS).

#include <gtest/gtest.h>

#include "common/engine/Drivers.h"

namespace {

class BuiltInDrivers : public ::testing::Environment {
public:
    void SetUp() override { core::RegisterBuiltInDrivers(); }
};

[[maybe_unused]] const auto* const kBuiltInDrivers = ::testing::AddGlobalTestEnvironment(new BuiltInDrivers);

}  // namespace
