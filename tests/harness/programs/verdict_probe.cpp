// A Windows program that ends in the way its arguments ask, for the harness
// tests of tools/wine_exec.sh (tests/harness/check_verdicts.py):
//   verdict_probe exit CODE          ExitProcess(CODE) (decimal or 0x...)
//   verdict_probe say LINE CODE      prints LINE, then ExitProcess(CODE)
//   verdict_probe overflow           an unbounded recursion overflows the stack
//   verdict_probe access-violation   a write through a null pointer
//   verdict_probe abort | terminate  abort(), std::terminate()
//   verdict_probe exit-when-told FILE   prints "ready", ends with 0 once FILE exists
//   verdict_probe wait [TOKEN...]    prints "waiting" and never ends
//   verdict_probe leave-child [TOKEN...]   starts itself with "wait", then ends with 0

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
    if (std::strcmp(mode, "say") == 0 && argc > 3) {
        Say(argv[2]);
        ExitProcess(static_cast<UINT>(std::strtoul(argv[3], nullptr, 0)));
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
    if (std::strcmp(mode, "leave-child") == 0) {
        // The child waits for ever; this process ends with 0 while it runs.
        char line[2048];
        std::snprintf(line, sizeof line, "\"%s\" wait", argv[0]);
        for (int i = 2; i < argc; ++i) {
            std::strncat(line, " ", sizeof line - std::strlen(line) - 1);
            std::strncat(line, argv[i], sizeof line - std::strlen(line) - 1);
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
            std::fprintf(stderr, "verdict_probe: the child did not start (error %lu)\n", GetLastError());
            return 2;
        }
        Say("child started");
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
