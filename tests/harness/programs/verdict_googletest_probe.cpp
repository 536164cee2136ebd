// A GoogleTest program whose tests end in the ways the harness tests of
// tools/wine_exec.sh check (tests/harness/check_verdicts.py picks one with
// --gtest_filter); not a test of its own.

#include <gtest/gtest.h>

#include <windows.h>

#include "tests/harness/programs/stack_overflow.h"

#include <cstdio>
#include <cstdlib>

namespace {

using HarnessProbe::Recurse;

TEST(VerdictProbe, Passes)
{
    EXPECT_EQ(std::atoi("7"), 7);
}

TEST(VerdictProbe, FailsAnExpectation)
{
    EXPECT_EQ(std::atoi("7"), 8);
}

TEST(VerdictProbe, OverflowsItsStack)
{
    EXPECT_EQ(Recurse(0), 0);
}

TEST(VerdictProbe, ExitsWithZeroMidRun)
{
    std::exit(0);
}

// Stays until its Unix process is killed; a signal that only ends the wait fails it.
TEST(VerdictProbe, WaitsUntilKilled)
{
    std::printf("waiting\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    FAIL() << "the wait ended";
}

} // namespace
