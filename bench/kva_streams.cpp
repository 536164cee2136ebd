// Benchmark: LZ block decoding (MB/s of output) and reading a KVA member (stored
// and packed) against reading the same bytes from a plain file.
//
// usage: bench_kva_streams [megabytes]   (default 32)
#include "core/streams/kva_lz.h"
#include "core/streams/archive_table.h"
#include "core/streams/stream_table.h"
#include "tools/kvapack/kva_lz_encode.h"
#include "tools/kvapack/kva_writer.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
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

// Data that packs roughly like game assets: runs of repeated phrases with noise between.
static std::vector<uint8_t> SampleData(size_t size)
{
    std::vector<uint8_t> v(size);
    uint32_t x = 12345;
    static const char kText[] = "Velmora tactics sprite sheet row ";
    for (size_t i = 0; i < size; i++) {
        x = x * 1103515245u + 12345u;
        v[i] = (i / 256) % 3 == 2 ? (uint8_t)(x >> 16) : (uint8_t)kText[i % (sizeof kText - 1)];
    }
    return v;
}

static void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Best MB/s of reading a whole stream in 64 KB pieces.
static double ReadThroughput(const std::string &path, size_t expected, int rounds)
{
    std::vector<uint8_t> buffer(65536);
    double best = 0;
    for (int r = 0; r < rounds; r++) {
        double t0 = Seconds();
        StreamHandle s = OpenFileStream(path.c_str(), 0, 0, 0);
        if (s == 0) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            std::exit(1);
        }
        size_t total = 0, n;
        while ((n = ReadFileStream(buffer.data(), 1, buffer.size(), s)) > 0) total += n;
        CloseFileStream(s);
        double t = Seconds() - t0;
        if (total != expected) {
            std::fprintf(stderr, "%s: read %zu of %zu bytes\n", path.c_str(), total, expected);
            std::exit(1);
        }
        best = std::max(best, expected / 1e6 / t);
    }
    return best;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Run the benchmarks and print their figures.
int main(int argc, char **argv)
{
    size_t megabytes = argc > 1 ? (size_t)std::atoi(argv[1]) : 32;
    const size_t size = megabytes << 20;
    const std::vector<uint8_t> data = SampleData(size);

    double t0 = Seconds();
    std::vector<uint8_t> block = EncodeKvaLzBlock(data.data(), data.size());
    double encodeSeconds = Seconds() - t0;
    std::vector<uint8_t> out(size);
    double bestDecode = 0;
    for (int r = 0; r < 5; r++) {
        t0 = Seconds();
        int got = ExpandKvaLzData(block.data(), out.data());
        double t = Seconds() - t0;
        if (got != (int)size || out != data) {
            std::fprintf(stderr, "decode mismatch\n");
            return 1;
        }
        bestDecode = std::max(bestDecode, size / 1e6 / t);
    }
    std::printf("LZ: %zu MB packed to %.1f%% in %.2f s; decoding %.0f MB/s (best of 5)\n", megabytes,
                100.0 * block.size() / size, encodeSeconds, bestDecode);

    char folder[] = "/tmp/kva_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    std::string base = folder;
    mkdir((base + "/plain").c_str(), 0755);
    WriteBytes(base + "/plain/data.bin", data);
    KvaPackItem root;
    root.folder = true;
    KvaPackItem member;
    member.name = "data.bin";
    member.data = data;
    root.children.push_back(member);
    KvaPackOptions options;
    options.version = 5;
    options.packing = KvaPacking::Stored;
    WriteBytes(base + "/stored.KVA", BuildKvaArchiveImage(root, options));
    options.packing = KvaPacking::Packed;
    WriteBytes(base + "/packed.KVA", BuildKvaArchiveImage(root, options));

    // Paths relative to the folder: the stream layer builds Windows-style absolute paths.
    char previous[4096];
    if (getcwd(previous, sizeof previous) == nullptr || chdir(base.c_str()) != 0) return 1;
    const int rounds = 5;
    double plain = ReadThroughput("plain/data.bin", size, rounds);
    double stored = ReadThroughput("stored/data.bin", size, rounds);
    double packed = ReadThroughput("packed/data.bin", size, rounds);
    if (chdir(previous) != 0) return 1;
    std::printf("reads of %zu MB in 64 KB pieces (best of %d, file in page cache):\n", megabytes, rounds);
    std::printf("  plain file      %7.0f MB/s\n", plain);
    std::printf("  stored member   %7.0f MB/s  (%.2f x plain)\n", stored, stored / plain);
    std::printf("  packed member   %7.0f MB/s  (%.2f x plain; open includes the whole expansion)\n", packed,
                packed / plain);

    ReleaseUnusedArchives();
    std::remove((base + "/plain/data.bin").c_str());
    std::remove((base + "/stored.KVA").c_str());
    std::remove((base + "/packed.KVA").c_str());
    rmdir((base + "/plain").c_str());
    rmdir(base.c_str());
    return 0;
}
