// The Wine run of the portable graphics tests loads the platform libraries, as
// the library's start-up does, so that the error log is written.

#include "core/system/platform_libraries.h"

#include <gtest/gtest.h>

namespace {

class GraphicsPlatformEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Korvo::LoadPlatformLibraries(); }
};

const ::testing::Environment *const Registered =
    ::testing::AddGlobalTestEnvironment(new GraphicsPlatformEnvironment);

} // namespace
