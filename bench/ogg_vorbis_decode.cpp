// Decoding a 60-second Ogg Vorbis file (stereo, 44100 Hz) through the library
// (memory stream -> the reader chain -> DecodeWholeSound) against vorbisfile
// alone reading the same bytes into one buffer, as a command-line decoder does
// (the floor). The file is written by the tests' Ogg encoder. Prints both
// times and the library's ratio (goal: at most 1.05).
//
// usage: bench_ogg_vorbis_decode [seconds]   (default 60)
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <vector>

#include "core/memory/tracked_alloc.h"
#include "core/streams/stream_table.h"
#include "sound/sound_decode.h"
#include "tests/sound/sound_test_files.h"

using namespace Korvo;

namespace {

typedef std::vector<unsigned char> Bytes;

double Seconds()
{
    // <chrono> does not build with the cp932 execution character set.
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Music-like input: two drifting tones and a little noise per channel, so the
// encoder spends its bits as on real sound.
Bytes EncodeTestOgg(int seconds)
{
    const int rate = 44100;
    std::vector<uint8_t> pcm;
    pcm.reserve(static_cast<size_t>(seconds) * rate * 4);
    unsigned seed = 1;
    for (long i = 0; i < static_cast<long>(seconds) * rate; ++i) {
        double t = static_cast<double>(i) / rate;
        seed = seed * 1103515245u + 12345u;
        double noise = ((seed >> 16) & 0x7FFF) / 32768.0 - 0.5;
        double left = 0.3 * std::sin(2 * M_PI * (220 + 20 * std::sin(t)) * t) + 0.02 * noise;
        double right = 0.3 * std::sin(2 * M_PI * (330 + 30 * std::cos(t)) * t) + 0.02 * noise;
        for (double value : {left, right}) {
            int16_t sample = static_cast<int16_t>(std::lround(value * 32767.0));
            pcm.push_back(static_cast<uint8_t>(sample & 0xFF));
            pcm.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
        }
    }
    return SoundTestFiles::OggImage(pcm, 2, rate);
}

// The floor: vorbisfile over the bytes in memory, ov_read into one buffer.
struct MemorySource {
    const Bytes *bytes;
    size_t position;
};
size_t ReadMemory(void *to, size_t size, size_t count, void *data)
{
    MemorySource *source = static_cast<MemorySource *>(data);
    size_t want = size * count;
    size_t left = source->bytes->size() - source->position;
    size_t take = want < left ? want : left;
    std::memcpy(to, source->bytes->data() + source->position, take);
    source->position += take;
    return size != 0 ? take / size : 0;
}
int SeekMemory(void *data, ogg_int64_t offset, int whence)
{
    MemorySource *source = static_cast<MemorySource *>(data);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(source->position)
                                                                   : static_cast<ogg_int64_t>(source->bytes->size());
    if (base + offset < 0 || base + offset > static_cast<ogg_int64_t>(source->bytes->size())) {
        return -1;
    }
    source->position = static_cast<size_t>(base + offset);
    return 0;
}
long TellMemory(void *data)
{
    return static_cast<long>(static_cast<MemorySource *>(data)->position);
}

long DecodeFloor(const Bytes &ogg, Bytes *pcm)
{
    MemorySource source = {&ogg, 0};
    OggVorbis_File file;
    ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
    if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) {
        return -1;
    }
    long total = static_cast<long>(ov_pcm_total(&file, -1) * ov_info(&file, -1)->channels * 2);
    pcm->resize(static_cast<size_t>(total));
    long done = 0;
    int bitstream = 0;
    for (;;) {
        long want = total - done < 4096 ? total - done : 4096;
        long got = want > 0 ? ov_read(&file, reinterpret_cast<char *>(pcm->data() + done), static_cast<int>(want), 0,
                                      2, 1, &bitstream)
                            : 0;
        if (got <= 0) {
            break;
        }
        done += got;
    }
    ov_clear(&file);
    return done;
}

long DecodeLibrary(const Bytes &ogg)
{
    MemoryReadStream *memory = OpenMemoryReadStream(ogg.data(), static_cast<int>(ogg.size()));
    AudioDecodeState state;
    long done = -1;
    if (SetupSoundDecode(&state, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory), 0, 2, 0) == 0) {
        SoundWaveFormat format;
        void *pcm = nullptr;
        int size = 0;
        if (DecodeWholeSound(&state, &format, &pcm, &size) == 0) {
            done = size;
            TrackedFree(pcm);
        }
        EndSoundDecode(&state);
    }
    FreeMemoryReadStream(memory);
    return done;
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    Bytes ogg = EncodeTestOgg(seconds);
    std::printf("%d s of stereo 44100 Hz Ogg Vorbis: %zu bytes\n", seconds, ogg.size());
    Bytes pcm;
    double floorBest = 1e9, libraryBest = 1e9;
    long floorBytes = 0, libraryBytes = 0;
    // Alternate the two, best of five each, so neither profits from a warmer cache.
    for (int round = 0; round < 5; ++round) {
        double start = Seconds();
        floorBytes = DecodeFloor(ogg, &pcm);
        double middle = Seconds();
        libraryBytes = DecodeLibrary(ogg);
        double end = Seconds();
        floorBest = middle - start < floorBest ? middle - start : floorBest;
        libraryBest = end - middle < libraryBest ? end - middle : libraryBest;
    }
    if (floorBytes <= 0 || libraryBytes != floorBytes) {
        std::printf("decoded sizes differ: vorbisfile %ld, library %ld\n", floorBytes, libraryBytes);
        return 1;
    }
    std::printf("vorbisfile alone: %.1f ms   library: %.1f ms   ratio %.3f (goal <= 1.05)\n", floorBest * 1000.0,
                libraryBest * 1000.0, libraryBest / floorBest);
    return 0;
}
