// The device-rebuild routines of the subsystems above graphics: order, one entry
// per pair, removal, a full list, and a failing restore reported.

#include "graphics/device/device_rebuild_hooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Korvo;

namespace {

std::string Calls;
int FailingRestore = 0;

void ReleaseA() { Calls += "-a"; }
void ReleaseB() { Calls += "-b"; }
int RestoreA() { Calls += "+a"; return 0; }
int RestoreB() { Calls += "+b"; return FailingRestore; }

const DeviceRebuildHooks HooksA = {ReleaseA, RestoreA, nullptr};
const DeviceRebuildHooks HooksB = {ReleaseB, RestoreB, nullptr};
const DeviceRebuildHooks RestoreOnly = {nullptr, RestoreA, nullptr};

TEST(DeviceRebuildHooksTest, RunsReleasesLatestFirstAndRestoresInOrder)
{
    struct Case {
        const char *what;
        std::vector<const DeviceRebuildHooks *> installed;
        int failing;
        const char *calls;
        int restoreResult;
    };
    const Case cases[] = {
        {"none installed", {}, 0, "", 0},
        {"two pairs", {&HooksA, &HooksB}, 0, "-b-a+a+b", 0},
        {"the same pair twice is one entry", {&HooksA, &HooksA}, 0, "-a+a", 0},
        {"a missing release routine is skipped", {&RestoreOnly, &HooksB}, 0, "-b+a+b", 0},
        {"a failed restore still runs the rest", {&HooksB, &HooksA}, -1, "-a-b+b+a", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const DeviceRebuildHooks *hooks : c.installed) {
            ASSERT_EQ(AddDeviceRebuildHooks(hooks), 0);
        }
        Calls.clear();
        FailingRestore = c.failing;
        RunDeviceReleaseHooks();
        EXPECT_EQ(RunDeviceRestoreHooks(), c.restoreResult);
        EXPECT_EQ(Calls, c.calls);
        for (const DeviceRebuildHooks *hooks : {&HooksA, &HooksB, &RestoreOnly}) {
            RemoveDeviceRebuildHooks(hooks);
        }
    }
    Calls.clear();
    RunDeviceReleaseHooks();
    EXPECT_EQ(RunDeviceRestoreHooks(), 0);
    EXPECT_EQ(Calls, "") << "every pair was removed";
}

TEST(DeviceRebuildHooksTest, RefusesNullAFullListAndRemovingWhatIsNotInstalled)
{
    EXPECT_EQ(AddDeviceRebuildHooks(nullptr), -1);
    EXPECT_EQ(RemoveDeviceRebuildHooks(&HooksA), -1);
    DeviceRebuildHooks many[kMaxDeviceRebuildHooks] = {};
    for (DeviceRebuildHooks &hooks : many) {
        ASSERT_EQ(AddDeviceRebuildHooks(&hooks), 0);
    }
    EXPECT_EQ(AddDeviceRebuildHooks(&HooksA), -1) << "the list is full";
    EXPECT_EQ(RemoveDeviceRebuildHooks(&many[3]), 0);
    EXPECT_EQ(RemoveDeviceRebuildHooks(&many[3]), -1) << "removed twice";
    EXPECT_EQ(AddDeviceRebuildHooks(&HooksA), 0) << "room again";
    for (DeviceRebuildHooks &hooks : many) {
        RemoveDeviceRebuildHooks(&hooks);
    }
    EXPECT_EQ(RemoveDeviceRebuildHooks(&HooksA), 0);
}

} // namespace
