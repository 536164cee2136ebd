// Stands in for tools/exit_code_relay in the harness tests of tools/wine_exec.sh:
// it starts no program and writes a broken report, as a relay killed while it
// wrote, or one that never wrote, would leave it.
//   fake_exit_code_relay RESULT-FILE PROGRAM no-digits|no-report

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: fake_exit_code_relay RESULT-FILE PROGRAM no-digits|no-report\n");
        return 2;
    }
    if (std::strcmp(argv[3], "no-digits") == 0) {
        std::FILE *report = std::fopen(argv[1], "wb");
        if (report == nullptr) {
            return 2;
        }
        std::fputs("ended\n", report);
        std::fclose(report);
    }
    return 0;
}
