// The Wine run of the movie tests loads the platform libraries, as the
// library's start-up does before any movie opens (the log writes only then).

#include "core/system/platform_libraries.h"

#include <gtest/gtest.h>

namespace {

class MoviePlatformEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Korvo::LoadPlatformLibraries(); }
};

const ::testing::Environment *const Registered =
    ::testing::AddGlobalTestEnvironment(new MoviePlatformEnvironment);

} // namespace
