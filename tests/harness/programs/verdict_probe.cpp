// A Windows program that ends in the way its arguments ask, for the harness
// tests of tools/wine_exec.sh (tests/harness/check_verdicts.py):
//   verdict_probe exit CODE          ExitProcess(CODE) (decimal or 0x...)
//   verdict_probe overflow           an unbounded recursion overflows the stack
//   verdict_probe access-violation   a write through a null pointer
//   verdict_probe abort | terminate  abort(), std::terminate()
//   verdict_probe exit-when-told FILE   prints "ready", ends with 0 once FILE exists
//   verdict_probe wait [TOKEN...]    prints "waiting" and never ends

#include <windows.h>

#include "tests/harness/programs/stack_overflow.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

using HarnessProbe::Recurse;

void Say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "exit") == 0 && argc > 2) {
        ExitProcess(static_cast<UINT>(std::strtoul(argv[2], nullptr, 0)));
    }
    if (std::strcmp(mode, "overflow") == 0) {
        return Recurse(0);
    }
    if (std::strcmp(mode, "access-violation") == 0) {
        *static_cast<volatile int *>(nullptr) = 1;
    }
    if (std::strcmp(mode, "abort") == 0) {
        std::abort();
    }
    if (std::strcmp(mode, "terminate") == 0) {
        std::terminate();
    }
    if (std::strcmp(mode, "exit-when-told") == 0 && argc > 2) {
        Say("ready");
        while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) {
            Sleep(10);
        }
        ExitProcess(0);
    }
    if (std::strcmp(mode, "wait") == 0) {
        Say("waiting");
        for (;;) {
            Sleep(INFINITE);
        }
    }
    std::fprintf(stderr, "verdict_probe: unknown mode %s\n", mode);
    return 2;
}
