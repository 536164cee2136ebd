// Vector form and streaming size of the pixel loops, from what the processor
// reports through CPUID (read once).
#include "softraster/processor_forms.h"

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define KORVO_READS_CPUID 1
#else
#define KORVO_READS_CPUID 0
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Streaming size when the processor names no cache.
constexpr size_t kStreamingBytesWithoutCacheFacts = 1u << 20;

// Never stream less than this: such a copy leaves most of any cache alone.
constexpr size_t kSmallestStreamingBytes = 1u << 20;

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int VectorFormOverride = -1;
static int StringMoveOverride = -1;
static size_t StreamingBytesOverride = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

#if KORVO_READS_CPUID

// The system's enabled state components (XCR0); only read when CPUID reports OSXSAVE.
uint32_t EnabledStateComponents()
{
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    (void)high;
    return low;
}

// AVX2 needs the processor's flag and a system that saves the YMM registers.
bool ProcessorRunsAvx2()
{
    unsigned a, b, c, d;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid(1, a, b, c, d);
    const bool osSavesState = (c & (1u << 27)) != 0;
    const bool avx = (c & (1u << 28)) != 0;
    if (!osSavesState || !avx || (EnabledStateComponents() & 6u) != 6u)
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 5)) != 0;
}

// Enhanced string moves (ERMS): rep movsb moves whole cache lines at a time.
bool ProcessorHasFastStringMoves()
{
    unsigned a, b, c, d;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 9)) != 0;
}

// Keep the highest-level (then largest) data or unified cache of a descriptor
// leaf: leaf 4 on most processors, 0x8000001D where the extended one is used.
void ReadCacheDescriptors(unsigned leaf, MemImgCacheFacts *facts)
{
    for (unsigned index = 0; index < 16; ++index) {
        unsigned a, b, c, d;
        __cpuid_count(leaf, index, a, b, c, d);
        const unsigned type = a & 31;
        if (type == 0)
            break;
        if (type != 1 && type != 3)   // instruction caches
            continue;
        const int level = static_cast<int>((a >> 5) & 7);
        const size_t bytes = static_cast<size_t>(((b >> 22) & 1023) + 1) * (((b >> 12) & 1023) + 1) *
                             ((b & 4095) + 1) * (static_cast<size_t>(c) + 1);
        if (level > facts->lastLevel || (level == facts->lastLevel && bytes > facts->lastLevelBytes)) {
            facts->lastLevel = level;
            facts->lastLevelBytes = bytes;
        }
    }
}

MemImgCacheFacts ProcessorCacheFacts()
{
    MemImgCacheFacts facts = {0, 0};
    if (__get_cpuid_max(0, nullptr) >= 4)
        ReadCacheDescriptors(4, &facts);
    const unsigned extended = __get_cpuid_max(0x80000000u, nullptr);
    if (facts.lastLevelBytes == 0 && extended >= 0x8000001Du)
        ReadCacheDescriptors(0x8000001Du, &facts);
    if (facts.lastLevelBytes == 0 && extended >= 0x80000006u) {
        // The older report: the L2 size in KB, the L3 size in 512 KB steps.
        unsigned a, b, c, d;
        __cpuid(0x80000006u, a, b, c, d);
        if ((d >> 18) != 0) {
            facts.lastLevel = 3;
            facts.lastLevelBytes = static_cast<size_t>(d >> 18) * 512 * 1024;
        } else if ((c >> 16) != 0) {
            facts.lastLevel = 2;
            facts.lastLevelBytes = static_cast<size_t>(c >> 16) * 1024;
        }
    }
    return facts;
}

#else

bool ProcessorRunsAvx2() { return false; }

bool ProcessorHasFastStringMoves() { return false; }

MemImgCacheFacts ProcessorCacheFacts() { return MemImgCacheFacts{0, 0}; }

#endif

// The processor's facts, read once.
struct ProcessorFacts {
    bool avx2;
    bool fastStringMoves;
    MemImgCacheFacts caches;
};

const ProcessorFacts &Processor()
{
    static const ProcessorFacts facts = {KORVO_WIDE_VECTOR_FORMS && ProcessorRunsAvx2(),
                                         KORVO_STRING_MOVES && ProcessorHasFastStringMoves(), ProcessorCacheFacts()};
    return facts;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// 1 when the processor and the system can run a vector form.
int MemImgVectorFormSupported(int form)
{
    if (form == MEMIMG_VECTOR_BASE)
        return 1;
    return form == MEMIMG_VECTOR_AVX2 && Processor().avx2 ? 1 : 0;
}

// The vector form the loops use.
int CurrentMemImgVectorForm()
{
    if (VectorFormOverride >= 0)
        return VectorFormOverride;
    return Processor().avx2 ? MEMIMG_VECTOR_AVX2 : MEMIMG_VECTOR_BASE;
}

// Force a supported vector form, or follow the processor (-1).
int SetMemImgVectorFormOverride(int form)
{
    if (form < 0) {
        VectorFormOverride = -1;
        return 1;
    }
    if (!MemImgVectorFormSupported(form))
        return 0;
    VectorFormOverride = form;
    return 1;
}

// 1 when long rows are copied with the string move.
int MemImgStringMovesEnabled()
{
    if (StringMoveOverride >= 0)
        return StringMoveOverride;
    return Processor().fastStringMoves ? 1 : 0;
}

// Force the string move on or off, or follow the processor (-1).
void SetMemImgStringMoveOverride(int mode)
{
    StringMoveOverride = mode < 0 ? -1 : (mode != 0 && KORVO_STRING_MOVES ? 1 : 0);
}

// The caches the processor reports.
MemImgCacheFacts ReadMemImgCacheFacts()
{
    return Processor().caches;
}

// Streaming pays once a copy would push much of the last-level cache out
// (a quarter of it); below that the destination stays cached for whatever
// reads it next, and plain stores are as fast.
size_t MemImgStreamingBytes()
{
    if (StreamingBytesOverride != 0)
        return StreamingBytesOverride;
    const size_t lastLevel = Processor().caches.lastLevelBytes;
    if (lastLevel == 0)
        return kStreamingBytesWithoutCacheFacts;
    return lastLevel / 4 > kSmallestStreamingBytes ? lastLevel / 4 : kSmallestStreamingBytes;
}

// Force the streaming size, or follow the processor (0).
void SetMemImgStreamingBytesOverride(size_t bytes)
{
    StreamingBytesOverride = bytes;
}

}  // namespace Korvo
