// The Wine runs of the portable tests that write the error log load the platform
// libraries first, as the library's start-up does: the log writes nothing before
// "winmm.dll" is loaded.

#include "core/system/platform_libraries.h"

#include <gtest/gtest.h>

namespace {

class PlatformLibrariesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Korvo::LoadPlatformLibraries(); }
};

const ::testing::Environment *const Registered =
    ::testing::AddGlobalTestEnvironment(new PlatformLibrariesEnvironment);

} // namespace
