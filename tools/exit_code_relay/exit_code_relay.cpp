// Runs a Windows program under Wine and writes its exit code to a file, for
// tools/wine_exec.sh.
//   exit_code_relay.exe RESULT-FILE PROGRAM [ARGS...]
//
// Wine's server kills a process with SIGKILL when its Unix side has not gone
// soon after its Windows side ended. On a machine whose processors are all busy
// a Direct3D program's Unix side (Mesa's threads) often takes longer, and the
// shell then sees 137 for a program that ended with 0. The server keeps the
// Windows exit code all the same: this relay, which loads no graphics and ends
// quickly, waits for the program and writes that code down as one decimal line
// before it ends itself.
//
// The code alone is not a verdict: Wine also gives 0 for a process whose Unix
// side ended without a Windows exit (an unhandled stack overflow, a signal), so
// the script weighs it with what it sees of the Unix side.
//
// The program runs in a job that ends every process in it once the job's last
// handle closes: when the relay is killed (a test stopped at its time limit) the
// server ends the program and what it started. After a normal end the relay lets
// the job go without that, so a process the program started that Wine shares
// between programs (the desktop's explorer) stays.

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

// A job whose processes end when its last handle closes; null when Wine refuses one.
static HANDLE CreateKillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
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

    HANDLE job = CreateKillOnCloseJob();
    if (job == nullptr) {
        std::fprintf(stderr, "exit_code_relay: no job object (error %lu); a kill of the relay leaves the program\n",
                     static_cast<unsigned long>(GetLastError()));
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    // Suspended until it is in the job, so that nothing it starts escapes it.
    if (!CreateProcessW(nullptr, childLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &child)) {
        std::fprintf(stderr, "exit_code_relay: the program did not start (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    if (job != nullptr && !AssignProcessToJobObject(job, child.hProcess)) {
        std::fprintf(stderr, "exit_code_relay: the program is in no job (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
    }
    ResumeThread(child.hThread);
    CloseHandle(child.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(child.hProcess, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(child.hProcess, &code)) {
        std::fprintf(stderr, "exit_code_relay: the program's end was not seen (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    CloseHandle(child.hProcess);

    FILE *result = _wfopen(argv[1], L"wb");
    if (result == nullptr || std::fprintf(result, "%lu\n", static_cast<unsigned long>(code)) < 0 ||
        std::fclose(result) != 0) {
        std::fprintf(stderr, "exit_code_relay: the exit code %lu could not be written down\n",
                     static_cast<unsigned long>(code));
        return 2;
    }
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        CloseHandle(job);
    }
    return static_cast<int>(code);
}
