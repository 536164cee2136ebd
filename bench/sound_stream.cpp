// Benchmark: the main-thread cost of one stream refill pass (every 10 ms) with
// eight stream sounds playing, and loading a 10 MB WAVE as a memory sound against
// reading the same file with fread.
//
// The sound system runs over in-memory stand-ins of the two back-end families:
// buffers whose play cursor the benchmark moves (the refill), and voices that
// keep what they are given (the load).
//
// usage: bench_sound_stream [ticks]   (default 6000, one minute of sound)
#include "core/memory/handle_manager.h"
#include "sound/sound_handle.h"
#include "sound/sound_system.h"
#include "sound/stream_sound.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace Korvo;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static double Seconds()
{
    // <chrono> does not build with the cp932 execution character set.
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// A buffer in memory whose play cursor the benchmark moves.
struct RingBuffer {
    std::vector<uint8_t> memory;
    uint32_t cursor = 0;
    bool playing = false;
};
static std::vector<RingBuffer *> Rings;

static RingBuffer *R(void *object) { return static_cast<RingBuffer *>(object); }
static int CreateRing(const SoundBufferDesc *desc, void **object)
{
    RingBuffer *ring = new RingBuffer();
    ring->memory.assign(desc->bytes, 0);
    Rings.push_back(ring);
    *object = ring;
    return 0;
}
static void ReleaseRing(void *object) { delete R(object); }
static int PlayRing(void *object, int) { R(object)->playing = true; return 0; }
static int StopRing(void *object) { R(object)->playing = false; return 0; }
static int RingStatus(void *object, uint32_t *status) { *status = R(object)->playing ? 1 : 0; return 0; }
static int LockRing(void *object, uint32_t offset, uint32_t bytes, void **p1, uint32_t *n1, void **p2, uint32_t *n2)
{
    RingBuffer *ring = R(object);
    uint32_t size = static_cast<uint32_t>(ring->memory.size());
    uint32_t first = bytes < size - offset ? bytes : size - offset;
    *p1 = ring->memory.data() + offset;
    *n1 = first;
    *p2 = first < bytes ? ring->memory.data() : nullptr;
    *n2 = bytes - first;
    return 0;
}
static int UnlockRing(void *, void *, uint32_t, void *, uint32_t) { return 0; }
static int RingPosition(void *object, uint32_t *play, uint32_t *write) { *play = *write = R(object)->cursor; return 0; }
static int SetRingPosition(void *object, uint32_t position) { R(object)->cursor = position; return 0; }
static int RingLevel(void *, int) { return 0; }
static void NoShutdown() {}

static const BufferBackendOps RingOps = {CreateRing, ReleaseRing, PlayRing, StopRing, RingStatus, LockRing,
                                         UnlockRing, RingPosition, SetRingPosition, RingLevel, RingLevel, RingLevel};
static const SoundBackend RingBackend = {SOUND_BACKEND_BUFFERS, nullptr, &RingOps, NoShutdown};

// Voices that keep nothing: the load only fills the shared PCM block.
static int CreateVoice(PlayBuffer *, const SoundWaveFormat *, void **voice, void **callback)
{
    static int token;
    *voice = &token;
    *callback = nullptr;
    return 0;
}
static void DestroyVoice(void *, void *) {}
static int VoiceCall(void *) { return 0; }
static int VoiceSubmit(void *, const void *, uint32_t, void *) { return 0; }
static int VoiceRatio(void *, float) { return 0; }
static int VoiceVolumes(void *, int, const float *) { return 0; }
static const VoiceBackendOps VoiceOps = {CreateVoice, DestroyVoice, VoiceCall, VoiceCall,
                                         VoiceSubmit, VoiceCall, VoiceRatio, VoiceVolumes};
static const SoundBackend VoiceBackend = {SOUND_BACKEND_VOICES, &VoiceOps, nullptr, NoShutdown};

static void PutLe32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A 44.1 kHz stereo 16-bit WAVE file of the given PCM size, written to path.
static void WriteWave(const char *path, uint32_t pcmBytes)
{
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    PutLe32(file, 36 + pcmBytes);
    const uint8_t header[] = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0};
    file.insert(file.end(), header, header + sizeof(header));
    PutLe32(file, 44100);
    PutLe32(file, 176400);
    const uint8_t tail[] = {4, 0, 16, 0, 'd', 'a', 't', 'a'};
    file.insert(file.end(), tail, tail + sizeof(tail));
    PutLe32(file, pcmBytes);
    size_t start = file.size();
    file.resize(start + pcmBytes);
    uint32_t x = 1;
    for (size_t i = start; i < file.size(); ++i) {
        x = x * 1103515245u + 12345u;
        file[i] = static_cast<uint8_t>(x >> 24);
    }
    std::FILE *out = std::fopen(path, "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
}

static double MedianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Eight stream sounds (kind dataKind) playing; the refill pass timed per tick.
static void BenchRefill(int dataKind, int ticks)
{
    SetSoundBackendOverride(&RingBackend);
    SetSoundProcessorCountOverride(1);
    InitSoundOutputSystem();
    Rings.clear();
    std::vector<int> handles;
    for (int i = 0; i < 8; ++i) {
        std::string path = "bench_stream_" + std::to_string(i) + ".wav";
        WriteWave(path.c_str(), 176400 * 70);
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = dataKind;
        int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        StartSoundHandlePlayback(handle, PlayLoop, 1);
        handles.push_back(handle);
    }
    std::vector<double> times;
    double total = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        for (RingBuffer *ring : Rings) {
            ring->cursor = (ring->cursor + 1764) % static_cast<uint32_t>(ring->memory.size());
        }
        double start = Seconds();
        RefillAllStreamSounds();
        double spent = Seconds() - start;
        times.push_back(spent);
        total += spent;
    }
    std::printf("refill pass, 8 streams of kind %d (%s): mean %.2f us, median %.2f us, max %.2f us per 10 ms tick "
                "(%.3f%% of the tick)\n",
                dataKind, dataKind == 2 ? "file image in memory" : "read from the file", total / ticks * 1e6,
                MedianOf(times) * 1e6, *std::max_element(times.begin(), times.end()) * 1e6,
                total / ticks / 0.010 * 100.0);
    TermSoundOutputSystem();
    for (int i = 0; i < 8; ++i) {
        std::remove(("bench_stream_" + std::to_string(i) + ".wav").c_str());
    }
}

// Loading a 10 MB WAVE as a memory sound against fread of the same file.
static void BenchLoad()
{
    const char *path = "bench_load_10mb.wav";
    WriteWave(path, 10u * 1024 * 1024);
    SetSoundBackendOverride(&VoiceBackend);
    SetSoundProcessorCountOverride(1);
    InitSoundOutputSystem();
    std::vector<double> loads;
    std::vector<double> reads;
    std::vector<uint8_t> buffer(11u * 1024 * 1024);
    for (int round = 0; round < 7; ++round) {
        double start = Seconds();
        std::FILE *file = std::fopen(path, "rb");
        size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        std::fclose(file);
        reads.push_back(Seconds() - start);
        if (got == 0) {
            std::printf("fread failed\n");
        }
        start = Seconds();
        int handle = LoadSoundFileAsHandle(path, 3, -1);
        loads.push_back(Seconds() - start);
        DeleteHandleRecord(handle);
    }
    double load = MedianOf(loads);
    double read = MedianOf(reads);
    std::printf("10 MB WAVE: memory sound load %.2f ms (%.0f MB/s), fread %.2f ms (%.0f MB/s), ratio %.2f\n",
                load * 1e3, 10.0 / load, read * 1e3, 10.0 / read, load / read);
    TermSoundOutputSystem();
    std::remove(path);
}

// ---------------------------------------------------------------------------
// Entry
// ---------------------------------------------------------------------------
int main(int argc, char **argv)
{
    int ticks = argc > 1 ? std::atoi(argv[1]) : 6000;
    BenchRefill(STREAM_SOURCE_IMAGE, ticks);
    BenchRefill(STREAM_SOURCE_STREAM, ticks);
    BenchLoad();
    return 0;
}
