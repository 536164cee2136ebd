// Damaged and hostile Ogg Vorbis files: a setup header with one changed bit (its
// page checksum made right again), a codebook with values but no dimension, and a
// length the data does not hold. None may end or hang the process, and none may
// make the conversion allocate more than the data gives. The tests that reach
// into libvorbis bound each decode with a watchdog: a copy without this build's
// fixes loops on some of these headers.

#include "hang_watchdog.h"
#include "refusing_heap.h"
#include "sound_fakes.h"
#include "sound_test_files.h"

#include "core/memory/tracked_alloc.h"
#include "sound/sound_handle.h"

#include <gtest/gtest.h>

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

using namespace Korvo;
using namespace SoundTestFiles;

namespace {

// Only the Ogg Vorbis reader (as the movie soundtrack asks).
constexpr int kOggOnly = -5;
// The bound on one decode of a damaged header in libvorbis (seconds): each takes
// milliseconds, even under the sanitizers with every processor busy, and a copy
// that loops still fails the run long before the test runner's timeout.
constexpr int kOneDecodeBound = 60;

// User bytes of a tracked block.
int TrackedBlockBytes(const void *block)
{
    const unsigned char *user = static_cast<const unsigned char *>(block);
    return reinterpret_cast<const TrackedBlockHeader *>(user - sizeof(TrackedBlockHeader))->size;
}

// A codebook's head: sync, dimension, entries, then every entry 1 bit long.
void WriteCodebookHead(oggpack_buffer *bits, int dimension, int entries)
{
    oggpack_write(bits, 0x564342, 24);
    oggpack_write(bits, static_cast<unsigned long>(dimension), 16);
    oggpack_write(bits, static_cast<unsigned long>(entries), 24);
    oggpack_write(bits, 0, 1); // lengths unordered
    oggpack_write(bits, 0, 1); // not sparse
    for (int i = 0; i < entries; ++i) {
        oggpack_write(bits, 0, 5); // length 1
    }
}

// The smallest setup header: a classification codebook and a two-entry codebook
// of the given dimension with values (mapping type 1); one floor 1 without
// partitions, one residue 0, one mapping, one mode.
std::vector<uint8_t> SetupWithValueCodebook(int dimension)
{
    oggpack_buffer bits;
    oggpack_writeinit(&bits);
    const char name[] = "\x05vorbis";
    for (int i = 0; i < 7; ++i) {
        oggpack_write(&bits, static_cast<unsigned char>(name[i]), 8);
    }
    oggpack_write(&bits, 1, 8); // two codebooks
    WriteCodebookHead(&bits, 1, 2);
    oggpack_write(&bits, 0, 4); // no values
    WriteCodebookHead(&bits, dimension, 2);
    oggpack_write(&bits, 1, 4);                  // values of mapping type 1
    oggpack_write(&bits, 0, 32);                 // minimum
    oggpack_write(&bits, 0, 32);                 // step
    oggpack_write(&bits, 0, 4);                  // 1 bit per value
    oggpack_write(&bits, 0, 1);                  // not a sequence
    int values = dimension > 0 ? 2 : 0;         // two entries give two values at dimension 1
    for (int i = 0; i < values; ++i) {
        oggpack_write(&bits, static_cast<unsigned long>(i), 1);
    }
    const unsigned long rest[][2] = {
        {0, 6}, {0, 16},                   // one time-domain entry
        {0, 6}, {1, 16}, {0, 5}, {0, 2}, {7, 4}, // one floor 1: no partitions, multiplier 1, 7 range bits
        {0, 6}, {0, 16}, {0, 24}, {0, 24}, {0, 24}, {0, 6}, {0, 8}, {0, 3}, {0, 1}, // one residue 0
        {0, 6}, {0, 16}, {0, 1}, {0, 1}, {0, 2}, {0, 8}, {0, 8}, {0, 8}, // one mapping: one submap
        {0, 6}, {0, 1}, {0, 16}, {0, 16}, {0, 8}, // one mode
        {1, 1},                                   // framing
    };
    for (const auto &field : rest) {
        oggpack_write(&bits, field[0], static_cast<int>(field[1]));
    }
    std::vector<uint8_t> packet(oggpack_get_buffer(&bits), oggpack_get_buffer(&bits) + oggpack_bytes(&bits));
    oggpack_writeclear(&bits);
    return packet;
}

// One second of 44100 Hz stereo noise: tens of kilobytes in several pages.
std::vector<uint8_t> ManyPageOgg()
{
    std::vector<uint8_t> pcm(44100 * 4);
    uint32_t state = 1;
    for (uint8_t &byte : pcm) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return OggImage(pcm, 2, 44100);
}

// vorbisfile over bytes in memory.
struct OggBytes {
    const std::vector<uint8_t> *bytes;
    size_t at;
};

size_t ReadOggBytes(void *to, size_t size, size_t count, void *source)
{
    OggBytes *in = static_cast<OggBytes *>(source);
    size_t items = size == 0 ? 0 : std::min(count, (in->bytes->size() - in->at) / size);
    std::memcpy(to, in->bytes->data() + in->at, items * size);
    in->at += items * size;
    return items;
}

int SeekOggBytes(void *source, ogg_int64_t offset, int whence)
{
    OggBytes *in = static_cast<OggBytes *>(source);
    int64_t base = whence == SEEK_SET ? 0 : (whence == SEEK_CUR ? int64_t(in->at) : int64_t(in->bytes->size()));
    if (base + offset < 0 || base + offset > int64_t(in->bytes->size())) {
        return -1;
    }
    in->at = static_cast<size_t>(base + offset);
    return 0;
}

long TellOggBytes(void *source)
{
    return static_cast<long>(static_cast<OggBytes *>(source)->at);
}

// vorbisfile alone, past the library's own start check: reads, a seek, a read.
// It sets a decoder that failed up again at each of them, on what the failure
// left (an unfixed libvorbis divides by zero there). True when vorbisfile took
// the file but its decoder does not start.
bool ReadWithVorbisfileAlone(const std::vector<uint8_t> &image)
{
    OggBytes in{&image, 0};
    OggVorbis_File file;
    if (ov_open_callbacks(&in, &file, nullptr, 0, {ReadOggBytes, SeekOggBytes, nullptr, TellOggBytes}) != 0) {
        return false;
    }
    vorbis_dsp_state trial;
    bool starts = vorbis_synthesis_init(&trial, ov_info(&file, -1)) == 0;
    if (starts) {
        vorbis_dsp_clear(&trial);
    }
    char pcm[4096];
    int link = 0;
    for (int read = 0; read < 3; ++read) {
        ov_read(&file, pcm, sizeof(pcm), 0, 2, 1, &link);
    }
    ov_pcm_seek(&file, 0);
    ov_read(&file, pcm, sizeof(pcm), 0, 2, 1, &link);
    ov_clear(&file);
    return !starts;
}

// What the loader and the stream refill do with an accepted file: the whole
// sound, then seeks and reads.
void DecodeSeekAndRead(AudioDecodeState *state)
{
    SoundWaveFormat format;
    void *pcm = nullptr;
    int size = 0;
    if (DecodeWholeSound(state, &format, &pcm, &size) == 0) {
        TrackedFree(pcm);
    }
    uint8_t scratch[512];
    for (int frame : {100, 0}) {
        SeekDecodedSamples(state, frame);
        ReadDecodedBytes(state, scratch, sizeof(scratch));
    }
}

} // namespace

TEST(OggVorbisDamageTest, SetupHeadersWithAChangedBitAreRefusedOrDecoded)
{
    HangWatchdog watchdog(kOneDecodeBound);
    std::vector<uint8_t> valid = OggImage(SoundFakes::SinePcm16(8000, 2, 1.0, 440.0), 2, 8000);
    size_t first = 0;
    size_t end = 0;
    FindOggSetupPacket(valid, &first, &end);
    ASSERT_LT(first + 7, end);
    int refused = 0;
    int accepted = 0;
    int decoderFailedUnderVorbisfile = 0;
    // Every other byte after the packet's name, one bit each.
    for (size_t at = first + 7; at < end; at += 2) {
        std::vector<uint8_t> image = valid;
        image[at] ^= static_cast<uint8_t>(1u << (at % 8));
        FixOggPageChecksums(&image);
        watchdog.Time("decoding the setup header with a bit of byte " + std::to_string(at) + " changed");
        decoderFailedUnderVorbisfile += ReadWithVorbisfileAlone(image) ? 1 : 0;
        AudioDecodeState state;
        if (!SetupDecodeOverImage(&state, image, kOggOnly)) {
            ++refused;
            continue;
        }
        ++accepted;
        DecodeSeekAndRead(&state);
        EndDecodeOverImage(&state);
    }
    // Both outcomes occur: the changes reach past the header checks, and
    // vorbisfile met decoders that do not start.
    EXPECT_GT(refused, 0);
    EXPECT_GT(accepted, 0);
    EXPECT_GT(decoderFailedUnderVorbisfile, 0);
    std::printf("setup header bit changes: %d refused, %d decoded\n", refused, accepted);
}

TEST(OggVorbisDamageTest, CodebookWithValuesButNoDimensionIsRefused)
{
    HangWatchdog watchdog(kOneDecodeBound);
    struct Case {
        int dimension;
        bool accepted;
    } cases[] = {
        {1, true}, // the same header with a dimension is a valid file
        {0, false},
    };
    for (const Case &c : cases) {
        watchdog.Time("decoding a codebook of dimension " + std::to_string(c.dimension));
        std::vector<uint8_t> image = OggImageWithSetup(SetupWithValueCodebook(c.dimension));
        AudioDecodeState state;
        bool accepted = SetupDecodeOverImage(&state, image, kOggOnly);
        EXPECT_EQ(accepted, c.accepted) << "dimension " << c.dimension;
        if (accepted) {
            DecodeSeekAndRead(&state);
            EndDecodeOverImage(&state);
        }
    }
}

// libvorbis itself, below the library's own checks: the build's copy must
// refuse the header (an unfixed copy counts the codebook's values for ever).
TEST(OggVorbisDamageTest, LibvorbisRefusesACodebookWithValuesButNoDimension)
{
    HangWatchdog watchdog(kOneDecodeBound);
    for (int dimension : {1, 0}) {
        watchdog.Time("libvorbis reading the headers with a codebook of dimension " + std::to_string(dimension));
        std::vector<uint8_t> image = OggImageWithSetup(SetupWithValueCodebook(dimension));
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        std::memcpy(ogg_sync_buffer(&sync, static_cast<long>(image.size())), image.data(), image.size());
        ogg_sync_wrote(&sync, static_cast<long>(image.size()));
        ogg_stream_state stream;
        ogg_stream_init(&stream, 1);
        vorbis_info info;
        vorbis_info_init(&info);
        vorbis_comment comment;
        vorbis_comment_init(&comment);
        int headers = 0;
        int result = 0;
        ogg_page page;
        ogg_packet packet;
        while (headers < 3 && result == 0 && ogg_sync_pageout(&sync, &page) == 1) {
            ogg_stream_pagein(&stream, &page);
            while (headers < 3 && result == 0 && ogg_stream_packetout(&stream, &packet) == 1) {
                result = vorbis_synthesis_headerin(&info, &comment, &packet);
                headers += result == 0 ? 1 : 0;
            }
        }
        EXPECT_EQ(headers, dimension > 0 ? 3 : 2) << "dimension " << dimension;
        EXPECT_EQ(result, dimension > 0 ? 0 : OV_EBADHEADER) << "dimension " << dimension;
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        ogg_stream_clear(&stream);
        ogg_sync_clear(&sync);
    }
}

TEST(OggVorbisDamageTest, ClaimedLengthBeyondTheDataAllocatesOnlyWhatIsDecoded)
{
    // The length is the last page's granule less the first audio page's: a file of several pages.
    std::vector<uint8_t> valid = ManyPageOgg();
    std::vector<uint8_t> real;
    SoundWaveFormat format;
    ASSERT_TRUE(DecodeWholeImage(valid, kOggOnly, &real, &format));
    struct Case {
        const char *name;
        int64_t frames;
    } cases[] = {
        {"200 MB of PCM", 50000000},
        {"1.9 GB of PCM", 475000000},
        {"more than one block can hold", int64_t(1) << 40},
        {"more bytes than 64 bits count", int64_t(1) << 62},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> image = valid;
        SetLastOggGranule(&image, c.frames);
        AudioDecodeState state;
        ASSERT_TRUE(SetupDecodeOverImage(&state, image, kOggOnly)) << c.name;
        void *pcm = nullptr;
        int size = 0;
        // No block beyond a few times the data is even asked for (the ceiling
        // stands for a 32-bit process's room): the claim is not allocated first.
        RefusingHeap::RefuseTrackedBlocksOver(8000000);
        int decoded = DecodeWholeSound(&state, &format, &pcm, &size);
        RefusingHeap::RefuseTrackedBlocksOver(0);
        EXPECT_EQ(RefusingHeap::TakeRefusalCount(), 0) << c.name;
        ASSERT_EQ(decoded, 0) << c.name;
        // The data's samples; its last packet may give a little more than the true end.
        ASSERT_GE(size, static_cast<int>(real.size())) << c.name;
        EXPECT_LT(size, static_cast<int>(real.size()) + 8192) << c.name;
        EXPECT_EQ(std::memcmp(pcm, real.data(), real.size()), 0) << c.name;
        EXPECT_LE(TrackedBlockBytes(pcm), size + 1) << c.name;
        TrackedFree(pcm);
        EndDecodeOverImage(&state);
    }
}

TEST(OggVorbisDamageTest, DecodingUpToALimitTellsWhetherTheSoundGoesOn)
{
    std::vector<uint8_t> ogg = OggImage(SoundFakes::SinePcm16(8000, 1, 1.0, 440.0), 1, 8000);
    std::vector<uint8_t> real;
    SoundWaveFormat format;
    ASSERT_TRUE(DecodeWholeImage(ogg, kOggOnly, &real, &format));
    const int whole = static_cast<int>(real.size());
    struct Case {
        int limit;
        int bytes;
        bool more;
    } cases[] = {
        {4000, 4000, true},
        {whole - 2, whole - 2, true},
        {whole, whole, false},
        {2 * whole, whole, false},
    };
    for (const Case &c : cases) {
        AudioDecodeState state;
        ASSERT_TRUE(SetupDecodeOverImage(&state, ogg, kOggOnly));
        void *pcm = nullptr;
        int size = 0;
        bool more = !c.more;
        ASSERT_EQ(DecodeSoundUpTo(&state, c.limit, &format, &pcm, &size, &more), 0) << c.limit;
        EXPECT_EQ(size, c.bytes) << c.limit;
        EXPECT_EQ(more, c.more) << c.limit;
        EXPECT_EQ(std::memcmp(pcm, real.data(), static_cast<size_t>(size)), 0) << c.limit;
        TrackedFree(pcm);
        EndDecodeOverImage(&state);
    }
}

TEST(OggVorbisDamageTest, HandleOfAnOggClaimingTooMuchHoldsTheDecodedSound)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    std::vector<uint8_t> image = ManyPageOgg();
    SetLastOggGranule(&image, int64_t(1) << 40);
    std::string path = SoundFakes::WriteFile("claims_too_much.ogg", image);
    int handle = LoadSoundFileAsHandle(path.c_str(), 1, -1);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(FindSoundHandleRecord(handle, 0)->isStream, 0);
    EXPECT_GE(GetSoundHandleLengthSamples(handle), 44100);
    EXPECT_LT(GetSoundHandleLengthSamples(handle), 44100 + 2048);
    SoundFakes::Stop();
}
