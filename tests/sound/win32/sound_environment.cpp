// The Wine run of the sound tests loads the platform libraries and starts COM
// on the main thread, as the library's start-up does before sound starts.

#include "core/system/platform_libraries.h"

#include <gtest/gtest.h>

namespace {

class SoundPlatformEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Korvo::LoadPlatformLibraries();
        if (Korvo::PlatformLibraries.ole32.CoInitializeEx != nullptr) {
            Korvo::PlatformLibraries.ole32.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        }
    }
};

const ::testing::Environment *const Registered =
    ::testing::AddGlobalTestEnvironment(new SoundPlatformEnvironment);

} // namespace
