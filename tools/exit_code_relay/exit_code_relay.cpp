// Runs a Windows program under Wine and writes its exit code to a file, for
// tools/wine_exec.sh.
//   exit_code_relay.exe RESULT-FILE PROGRAM [ARGS...]
//
// Wine's server kills a process with SIGKILL when its Unix side has not gone
// about half a second after its Windows side ended. On a machine whose
// processors are all busy a Direct3D program's Unix side (Mesa's threads) often
// takes longer, and the shell then sees 137 for a program that ended with 0.
// The server keeps the Windows exit code all the same: this relay, which loads
// no graphics and ends quickly, waits for the program, writes that code down
// before it ends itself, and the script reads it from there.

#include <windows.h>

#include <cstdio>

// The command line after its first `count` arguments, as the caller quoted it.
static const wchar_t *SkipArguments(const wchar_t *line, int count)
{
    for (int i = 0; i < count; ++i) {
        while (*line == L' ' || *line == L'\t') {
            ++line;
        }
        bool quoted = false;
        for (; *line != 0; ++line) {
            if (*line == L'\\' && line[1] == L'"' && i > 0) {
                ++line; // an escaped quote belongs to the argument
            } else if (*line == L'"') {
                quoted = !quoted;
            } else if (!quoted && (*line == L' ' || *line == L'\t')) {
                break;
            }
        }
    }
    while (*line == L' ' || *line == L'\t') {
        ++line;
    }
    return line;
}

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) {
        std::fprintf(stderr, "usage: exit_code_relay RESULT-FILE PROGRAM [ARGS...]\n");
        return 2;
    }
    // CreateProcess may write into the command line.
    const wchar_t *rest = SkipArguments(GetCommandLineW(), 2);
    size_t length = wcslen(rest);
    wchar_t *childLine = static_cast<wchar_t *>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (childLine == nullptr) {
        return 2;
    }
    wcscpy(childLine, rest);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, childLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        std::fprintf(stderr, "exit_code_relay: the program did not start (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    CloseHandle(child.hThread);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);

    FILE *result = _wfopen(argv[1], L"wb");
    if (result != nullptr) {
        std::fprintf(result, "%lu\n", static_cast<unsigned long>(code));
        std::fclose(result);
    }
    return static_cast<int>(code);
}
