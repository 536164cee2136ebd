// Generated sound files and the stand-in compression manager of the conversion tests.

#include "sound_test_files.h"

#include "core/memory/tracked_alloc.h"
#include "core/streams/stream_table.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

using namespace Korvo;

namespace SoundTestFiles {

namespace {

void PutLe32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The stand-in codec: one stream remembers its source format.
std::map<K_HACMSTREAM, SoundWaveFormat> FakeStreams;
K_HACMSTREAM NextFakeStream = 1;
AcmFunctionTable SavedTable;
int SavedLoaded = 0;

// Input bytes of one unit: a whole source block for every channel.
uint32_t FakeUnit(const SoundWaveFormat &source)
{
    return static_cast<uint32_t>(source.blockAlign) * source.channels;
}

uint32_t KORVO_ACM_CALL FakeSuggest(uintptr_t, SoundWaveFormat *source, SoundWaveFormat *dest, uint32_t, uint32_t)
{
    if (source->formatTag == 0xFFFF) {
        return 1; // a tag no codec knows
    }
    *dest = MakePcmWaveFormat(source->channels, static_cast<int>(source->samplesPerSec), 16);
    return 0;
}
uint32_t KORVO_ACM_CALL FakeOpen(K_HACMSTREAM *stream, uintptr_t, SoundWaveFormat *source, SoundWaveFormat *,
                                 void *, uintptr_t, uintptr_t, uint32_t)
{
    *stream = NextFakeStream++;
    FakeStreams[*stream] = *source;
    return 0;
}
uint32_t KORVO_ACM_CALL FakeClose(K_HACMSTREAM stream, uint32_t)
{
    return FakeStreams.erase(stream) == 1 ? 0 : 1;
}
uint32_t KORVO_ACM_CALL FakeMetrics(uintptr_t, uint32_t, void *value)
{
    *static_cast<uint32_t *>(value) = 50;
    return 0;
}
uint32_t KORVO_ACM_CALL FakeHeader(K_HACMSTREAM stream, K_ACMSTREAMHEADER *, uint32_t)
{
    return FakeStreams.count(stream) == 1 ? 0 : 1;
}
uint32_t KORVO_ACM_CALL FakeConvert(K_HACMSTREAM stream, K_ACMSTREAMHEADER *header, uint32_t)
{
    uint32_t unit = FakeUnit(FakeStreams.at(stream));
    uint32_t take = std::min(header->cbSrcLength, header->cbDstLength / 2) / unit * unit;
    for (uint32_t i = 0; i < take; ++i) {
        header->pbDst[2 * i] = 0;
        header->pbDst[2 * i + 1] = header->pbSrc[i];
    }
    header->cbSrcLengthUsed = take;
    header->cbDstLengthUsed = 2 * take;
    return 0;
}
uint32_t KORVO_ACM_CALL FakeSize(K_HACMSTREAM stream, uint32_t in, uint32_t *out, uint32_t)
{
    uint32_t unit = FakeUnit(FakeStreams.at(stream));
    *out = in / unit * unit * 2;
    return 0;
}

} // namespace

std::vector<uint8_t> OggImage(const std::vector<uint8_t> &pcm16, int channels, int rate)
{
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, channels, rate, 0.4f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    std::vector<uint8_t> out;
    ogg_page page;
    auto takePages = [&](bool flush) {
        while ((flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) != 0) {
            out.insert(out.end(), page.header, page.header + page.header_len);
            out.insert(out.end(), page.body, page.body + page.body_len);
        }
    };
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    takePages(true);

    int frames = static_cast<int>(pcm16.size() / 2 / channels);
    // Chunks of 1024 frames, then an empty one that ends the stream.
    for (int at = 0;; at += 1024) {
        int count = std::max(0, std::min(1024, frames - at));
        if (count > 0) {
            float **buffer = vorbis_analysis_buffer(&dsp, count);
            for (int i = 0; i < count; ++i) {
                for (int c = 0; c < channels; ++c) {
                    int16_t value;
                    std::memcpy(&value, &pcm16[2 * (static_cast<size_t>(at + i) * channels + c)], 2);
                    buffer[c][i] = value / 32768.0f;
                }
            }
        }
        vorbis_analysis_wrote(&dsp, count);
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                takePages(false);
            }
        }
        if (count == 0) {
            break;
        }
    }
    takePages(true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

namespace {

// Ogg pages: where each starts, with its header and body lengths.
struct OggPageSpan {
    size_t start;
    size_t headerBytes;
    size_t bodyBytes;
};

std::vector<OggPageSpan> OggPages(const std::vector<uint8_t> &image)
{
    std::vector<OggPageSpan> pages;
    size_t at = 0;
    while (at + 27 <= image.size() && std::memcmp(&image[at], "OggS", 4) == 0) {
        size_t segments = image[at + 26];
        size_t body = 0;
        for (size_t i = 0; i < segments && at + 27 + i < image.size(); ++i) {
            body += image[at + 27 + i];
        }
        pages.push_back({at, 27 + segments, body});
        at += 27 + segments + body;
    }
    return pages;
}

void AppendPages(ogg_stream_state *stream, std::vector<uint8_t> *out)
{
    ogg_page page;
    while (ogg_stream_flush(stream, &page) != 0) {
        out->insert(out->end(), page.header, page.header + page.header_len);
        out->insert(out->end(), page.body, page.body + page.body_len);
    }
}

} // namespace

std::vector<uint8_t> OggImageWithSetup(const std::vector<uint8_t> &setupPacket)
{
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 1, 8000, 0.4f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_packet setup{};
    setup.packet = const_cast<unsigned char *>(setupPacket.data());
    setup.bytes = static_cast<long>(setupPacket.size());
    setup.packetno = 2;
    ogg_stream_packetin(&stream, &setup);
    std::vector<uint8_t> out;
    AppendPages(&stream, &out);
    // An audio packet of mode 0; the decoder need not make sense of it.
    unsigned char audioBytes[4] = {0, 0, 0, 0};
    ogg_packet audio{};
    audio.packet = audioBytes;
    audio.bytes = 4;
    audio.e_o_s = 1;
    audio.granulepos = 64;
    audio.packetno = 3;
    ogg_stream_packetin(&stream, &audio);
    AppendPages(&stream, &out);
    ogg_stream_clear(&stream);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

void FindOggSetupPacket(const std::vector<uint8_t> &image, size_t *first, size_t *end)
{
    const uint8_t marker[7] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
    *first = std::search(image.begin(), image.end(), marker, marker + 7) - image.begin();
    *end = *first;
    for (const OggPageSpan &page : OggPages(image)) {
        if (page.start <= *first && *first < page.start + page.headerBytes + page.bodyBytes) {
            *end = page.start + page.headerBytes + page.bodyBytes;
        }
    }
}

void FixOggPageChecksums(std::vector<uint8_t> *image)
{
    for (const OggPageSpan &span : OggPages(*image)) {
        ogg_page page;
        page.header = image->data() + span.start;
        page.header_len = static_cast<long>(span.headerBytes);
        page.body = image->data() + span.start + span.headerBytes;
        page.body_len = static_cast<long>(span.bodyBytes);
        ogg_page_checksum_set(&page);
    }
}

void SetLastOggGranule(std::vector<uint8_t> *image, int64_t granule)
{
    size_t last = OggPages(*image).back().start;
    for (int i = 0; i < 8; ++i) {
        (*image)[last + 6 + i] = static_cast<uint8_t>(static_cast<uint64_t>(granule) >> (8 * i));
    }
    FixOggPageChecksums(image);
}

std::vector<uint8_t> WaveImageWithFormat(const std::vector<uint8_t> &formatBytes, const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    PutLe32(out, static_cast<uint32_t>(4 + 8 + formatBytes.size() + (formatBytes.size() & 1) + 8 + data.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe32(out, static_cast<uint32_t>(formatBytes.size()));
    out.insert(out.end(), formatBytes.begin(), formatBytes.end());
    if (formatBytes.size() & 1) {
        out.push_back(0);
    }
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> Mp3Image(int frames, bool id3v2WithFooter, bool id3v1Trailer)
{
    std::vector<uint8_t> out;
    if (id3v2WithFooter) {
        // Version 4, footer flag, 20 bytes of body: 10 + 20 + 10 bytes in all.
        out = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 20};
        out.resize(30, 0xFF); // a sync-looking body must not be taken for audio
        out.insert(out.end(), {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 20});
    }
    for (int i = 0; i < frames; ++i) {
        // MPEG-1 layer III, 128 kbit/s, 44100 Hz, no padding: 417 bytes.
        size_t at = out.size();
        out.insert(out.end(), {0xFF, 0xFB, 0x90, 0x00});
        out.resize(at + 417, static_cast<uint8_t>(i + 1));
    }
    if (id3v1Trailer) {
        out.insert(out.end(), {'T', 'A', 'G'});
        out.resize(out.size() + 125, 0xFF);
    }
    return out;
}

void InstallFakeAcm()
{
    SavedTable = AcmFunctions;
    SavedLoaded = AcmFunctionsLoaded;
    AcmFunctions = {FakeSuggest, FakeOpen, FakeClose, FakeMetrics, FakeHeader, FakeConvert, FakeHeader, FakeSize};
    AcmFunctionsLoaded = 1;
}

void RemoveFakeAcm()
{
    AcmFunctions = SavedTable;
    AcmFunctionsLoaded = SavedLoaded;
    FakeStreams.clear();
}

bool SetupDecodeOverImage(AudioDecodeState *state, const std::vector<uint8_t> &image, int mask, int oggBytesPerSample)
{
    MemoryReadStream *memory = OpenMemoryReadStream(image.data(), static_cast<int>(image.size()));
    if (SetupSoundDecode(state, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory), mask,
                         oggBytesPerSample, 0) != 0) {
        FreeMemoryReadStream(memory);
        return false;
    }
    return true;
}

void EndDecodeOverImage(AudioDecodeState *state)
{
    uintptr_t memory = state->streamData;
    EndSoundDecode(state);
    FreeMemoryReadStream(reinterpret_cast<MemoryReadStream *>(memory));
}

bool DecodeWholeImage(const std::vector<uint8_t> &image, int mask, std::vector<uint8_t> *pcm, SoundWaveFormat *format)
{
    AudioDecodeState state;
    if (!SetupDecodeOverImage(&state, image, mask)) {
        return false;
    }
    void *data = nullptr;
    int size = 0;
    bool ok = DecodeWholeSound(&state, format, &data, &size) == 0;
    if (ok) {
        pcm->assign(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
        TrackedFree(data);
    }
    EndDecodeOverImage(&state);
    return ok;
}

double AlignedSnrDb(const std::vector<uint8_t> &source, const std::vector<uint8_t> &decoded, int channels,
                    int maxShift)
{
    auto sample = [](const std::vector<uint8_t> &pcm, size_t index) {
        int16_t value;
        std::memcpy(&value, &pcm[2 * index], 2);
        return static_cast<double>(value);
    };
    size_t sourceFrames = source.size() / 2 / channels;
    size_t decodedFrames = decoded.size() / 2 / channels;
    double best = -1000.0;
    for (int shift = 0; shift <= maxShift; ++shift) {
        double signal = 0.0, noise = 0.0;
        // Compare the middle, away from the codecs' ramps at both ends.
        for (size_t f = sourceFrames / 8; f < sourceFrames * 7 / 8 && f + shift < decodedFrames; ++f) {
            for (int c = 0; c < channels; ++c) {
                double s = sample(source, f * channels + c);
                double d = sample(decoded, (f + shift) * channels + c);
                signal += s * s;
                noise += (s - d) * (s - d);
            }
        }
        if (signal > 0.0) {
            best = std::max(best, 10.0 * std::log10(signal / (noise + 1e-9)));
        }
    }
    return best;
}

} // namespace SoundTestFiles
