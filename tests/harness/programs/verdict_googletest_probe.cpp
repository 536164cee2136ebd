// A GoogleTest program whose tests end in the ways the harness tests of
// tools/wine_exec.sh check (tests/harness/check_verdicts.py picks one with
// --gtest_filter); not a test of its own.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

volatile char Sink;

// Each call keeps a page of its own on the stack, so the recursion cannot become a loop.
int Recurse(int depth)
{
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    Sink = page[0];
    return depth < 0x7FFFFFFF ? Recurse(depth + 1) + page[0] : 0;
}

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
