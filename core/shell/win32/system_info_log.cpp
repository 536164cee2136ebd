// The start-up log block about the machine: processors, Windows version and
// processor features. Records the facts the rest of the library reads.

#include "core/shell/main_window.h"
#include "core/threads/win32/timer_period.h"
#include "core/shell/win32/shell_window.h"

#include "core/threads/clock.h"
#include "core/log/error_log.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// The library's version text in the log.
static const char kLibraryVersionText[] = "1.0.0";

// Processor levels.
constexpr int kCpuLevelNoCpuid = 0;
constexpr int kCpuLevelCpuid = 1;
constexpr int kCpuLevelMmx = 3;
constexpr int kCpuLevelSse = 4;
constexpr int kCpuLevelSse2 = 5;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct ProcessorFacts {
    int level;
    int hasTimeStampCounter;
    char vendor[13];
    char brand[49];
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Windows name suffix and version code of the version record.
static int DescribeWindowsVersion(const OSVERSIONINFOA &info, char *suffix, size_t suffixSize)
{
    const char *text = "";
    int code = 0;
    char extra[8] = "";
    if (info.dwPlatformId == 0) {
        text = "3.1";
    } else if (info.dwPlatformId == 1) {
        if (info.dwMinorVersion == 0) {
            text = "95";
            code = 1;
            if (info.szCSDVersion[0] == 'C') {
                std::strcpy(extra, "OSR2");
            }
        } else if (info.dwMinorVersion == 10) {
            text = "98";
            code = 2;
            if (info.szCSDVersion[0] == 'A') {
                std::strcpy(extra, "SE");
            }
        } else if (info.dwMinorVersion == 90) {
            text = "Me";
            code = 3;
        }
    } else if (info.dwPlatformId == 2) {
        DWORD major = info.dwMajorVersion;
        DWORD minor = info.dwMinorVersion;
        if (major == 3) {
            text = "NT 3.51";
            code = 260;
        } else if (major == 4) {
            text = "4.0";
            code = 261;
        } else if (major == 5 && minor == 0) {
            text = "2000";
            code = 262;
        } else if (major == 5 && minor == 1) {
            text = "XP";
            code = 263;
        } else if (major == 6 && minor == 0) {
            text = "Vista";
            code = 264;
        } else if (major == 6 && minor == 1) {
            text = "7";
            code = 265;
        } else if (major == 6 && minor == 2) {
            text = "8";
            code = 266;
        }
    }
    std::snprintf(suffix, suffixSize, "%s%s", text, extra);
    return code;
}

// Processor level, vendor, brand and time-stamp counter through CPUID.
static ProcessorFacts ReadProcessorFacts()
{
    ProcessorFacts facts = {};
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid_max checks that CPUID exists (the EFLAGS bit 21 test on 32-bit).
    unsigned highestLeaf = __get_cpuid_max(0, nullptr);
    if (highestLeaf == 0) {
        return facts;
    }
    facts.level = kCpuLevelCpuid;
    __cpuid(0, eax, ebx, ecx, edx);
    std::memcpy(facts.vendor, &ebx, 4);
    std::memcpy(facts.vendor + 4, &edx, 4);
    std::memcpy(facts.vendor + 8, &ecx, 4);
    __cpuid(1, eax, ebx, ecx, edx);
    facts.hasTimeStampCounter = (edx >> 4) & 1;
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
        unsigned words[12];
        for (unsigned i = 0; i < 3; ++i) {
            __cpuid(0x80000002u + i, words[i * 4], words[i * 4 + 1], words[i * 4 + 2], words[i * 4 + 3]);
        }
        std::memcpy(facts.brand, words, 48);
    }
    if ((edx >> 23) & 1) {
        facts.level = kCpuLevelMmx;
        if ((edx >> 25) & 1) {
            facts.level = kCpuLevelSse;
            if ((edx >> 26) & 1) {
                facts.level = kCpuLevelSse2;
            }
        }
    }
    return facts;
}

// Time-stamp counts over at least 100 ms of the millisecond clock, as GHz; skipped without the clock.
static void LogProcessorSpeed()
{
    int start = GetMillisecondClock();
    if (start < 0) {
        return;
    }
    uint64_t before = __rdtsc();
    int now = start;
    while (now >= 0 && now - start < 100) {
        now = GetMillisecondClock();
    }
    uint64_t counts = __rdtsc() - before;
    double megahertz = static_cast<double>(static_cast<int64_t>(static_cast<double>(counts) / 100000.0));
    AppendLogLineFormat("ＣＰＵ動作速度：大体%.2fGHz", megahertz / 1000.0);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Log processors, Windows version and processor features; record the facts
int LogSystemInformation()
{
    AppendLogText("システムの情報を出力します\n");
    IncreaseLogIndent();
    char line[256];
    std::snprintf(line, sizeof(line), "Korvo Ver%s\n", kLibraryVersionText);
    AppendLogText(line);

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    WindowState.logicalProcessorCount = static_cast<int>(system.dwNumberOfProcessors);
    AppendLogLineFormat("論理プロセッサの数 : %d", WindowState.logicalProcessorCount);

    AppendLogText("ＯＳ  ");
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    char suffix[32];
    WindowState.windowsVersionCode = DescribeWindowsVersion(version, suffix, sizeof(suffix));
    char description[256];
    std::snprintf(description, sizeof(description), "Windows%s ( Build %d %s )", suffix,
                  static_cast<int>(version.dwBuildNumber), version.szCSDVersion);
    AppendLogLineFormat("%s", description);

    BeginTimerPeriod();

    ProcessorFacts facts = ReadProcessorFacts();
    if (facts.hasTimeStampCounter) {
        LogProcessorSpeed();
    }
    switch (facts.level) {
    case kCpuLevelNoCpuid:
        AppendLogText("ＣＰＵＩＤ命令は使えません\n");
        break;
    case kCpuLevelCpuid:
        AppendLogText("ＭＭＸは使えません\n");
        break;
    default:
        AppendLogText("ＭＭＸ命令を使用します\n");
        if (facts.level >= kCpuLevelSse) {
            AppendLogText("ＳＳＥ命令が使用可能です\n");
        }
        if (facts.level >= kCpuLevelSse2) {
            AppendLogText("ＳＳＥ２命令が使用可能です\n");
        }
        break;
    }
    WindowState.mmxAvailable = facts.level >= kCpuLevelMmx ? 1 : 0;
    if (facts.level > kCpuLevelNoCpuid) {
        AppendLogText("ＣＰＵベンダ：");
        for (int piece = 0; piece < 3; ++piece) {
            char four[5] = {};
            std::memcpy(four, facts.vendor + piece * 4, 4);
            AppendLogText(four);
        }
        AppendLogText("\n");
        if (facts.brand[0] != '\0') {
            AppendLogLineFormat("ＣＰＵ名：%s", facts.brand);
        }
    }
    DecreaseLogIndent();
    return 0;
}

} // namespace Korvo
