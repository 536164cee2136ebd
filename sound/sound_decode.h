// Sound-file conversion: one AudioDecodeState turns the bytes of a sound file,
// read through a StreamOpsTable, into PCM described by a SoundWaveFormat.
//
// Set-up tries the readers in a fixed order, each unless its bit is set in the
// reader-disable mask: 1 WAVE PCM, 2 WAVE through the compression manager, 4 Ogg
// Vorbis, 8 MP3 through the compression manager, 16 through the media graph.
// Readers that are not part of this build are skipped like disabled ones.
#pragma once

#include "core/streams/stream_table.h"
#include "sound/acm_api.h"
#include "sound/wave_format.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
enum AudioReaderKind {
    AUDIO_READER_WAVE_PCM = 0,
    AUDIO_READER_ACM = 1,
    AUDIO_READER_OGG_VORBIS = 2,
    AUDIO_READER_MEMORY_PCM = 3,
};

// Formats whose one second of data exceeds this are damaged, not sound (bytes).
constexpr int64_t kMaxDecodeBytesPerSecond = 64 * 1024 * 1024;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct AudioDecodeState;

// One reader of the set-up chain.
struct AudioReaderOps {
    int maskBit;
    int kind;
    // Accept the input (positioned at 0) and fill the output format and block size; 0 or -1
    int (*Open)(AudioDecodeState *state);
    // Fill the output block; the bytes placed there, 0 at the end of the data
    int (*NextBlock)(AudioDecodeState *state);
    // Move the input to an output frame; 0 or -1
    int (*SeekFrame)(AudioDecodeState *state, int frame);
    // Decoded length in bytes, -1 when unknown
    int (*LengthBytes)(AudioDecodeState *state);
    // Free what the reader holds
    void (*End)(AudioDecodeState *state);
};

// Reader state of the WAVE PCM reader.
struct WavePcmReaderState {
    SoundWaveFormat source;       // the "fmt " chunk's format
    unsigned char *convertBuffer; // one second of source data to convert (float and G.711 only)
    int convertBufferSize;
    const int16_t *expansion;     // G.711: the linear value of each code
    int dataConsumed;             // bytes of the data chunk read so far
};

// Reader state of the two compression-manager readers.
struct AcmReaderState {
    unsigned char *data;          // the compressed data, whole
    int dataBytes;
    int readPosition;             // input used by the live stream
    K_HACMSTREAM streams[2];      // [0] converts, [1] waits at the start for a backward seek
    SoundWaveFormat *sourceFormat; // tracked copy of the source format (with its extra bytes)
    int64_t mp3Samples;           // samples of all MP3 frames; -1 for WAVE data
    int position;                 // output bytes produced by the live stream
    // The part of that output that is sound: what the encoder and the decoder
    // put in front is skipped, the encoder's padding behind is cut (MP3 with
    // an encoder's tag); else 0 and all of it
    int skipBytes;
    int64_t soundEndBytes;
};

// Reader state of the Ogg Vorbis reader.
struct OggReaderState {
    void *file;                   // tracked OggVorbis_File, open while non-null
    int bytesPerSample;
    int channels;
};

// Reader state of PCM held whole in memory (the media-graph reader).
struct MemoryPcmReaderState {
    unsigned char *pcm;           // tracked
    int capacity;
    int used;
    int readPosition;
};

// One conversion of one input.
struct AudioDecodeState {
    int ready;
    int ended;
    int readerKind;
    const AudioReaderOps *reader;
    StreamOpsTable stream;
    uintptr_t streamData;
    int inputBytes;               // the input's size, -1 when it cannot be measured
    int fmtPosition;
    int fmtSize;
    int dataStart;
    int dataSize;
    SoundWaveFormat format;       // output format (PCM)
    WavePcmReaderState wave;
    AcmReaderState acm;
    OggReaderState ogg;
    MemoryPcmReaderState memory;
    unsigned char *block;         // tracked output block
    int blockSize;
    int blockLeft;
    int blockOffset;
    int outputPosition;           // bytes of PCM delivered since the start
    int oggBytesPerSample;
    int secondDecoder;
};

// Two-part view of play-buffer memory being written (the stream refill).
struct LockedRegion {
    unsigned char *part1;
    uint32_t size1;
    unsigned char *part2;
    uint32_t size2;
    uint32_t written1;
    uint32_t written2;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Set a conversion up over a stream; 0, or -1 when no enabled reader accepts it
int SetupSoundDecode(AudioDecodeState *state, const StreamOpsTable *stream, uintptr_t streamData, int disableMask,
                     int oggBytesPerSample, int secondDecoder);
// Deliver up to bytes of PCM; the bytes delivered (0 once ended), -1 when not ready
int ReadDecodedBytes(AudioDecodeState *state, void *buffer, int bytes);
// Move to an output frame (within 15 bytes of the output position: stay); 0 or -1
int SeekDecodedSamples(AudioDecodeState *state, int frame);
// Move to an output frame even within those 15 bytes; 0 or -1
int SeekDecodedSamplesExactly(AudioDecodeState *state, int frame);
// Decoded length in bytes; -1 when the reader cannot tell or the state is not ready
int GetDecodedLengthBytes(AudioDecodeState *state);
// Convert everything into a new tracked block owned by the caller; 0 or -1
int DecodeWholeSound(AudioDecodeState *state, SoundWaveFormat *format, void **pcm, int *size);
// The same for at most maxBytes of PCM; *more tells whether the data went on past them
int DecodeSoundUpTo(AudioDecodeState *state, int maxBytes, SoundWaveFormat *format, void **pcm, int *size,
                    bool *more);
// The output format; 0
int GetDecodedFormat(const AudioDecodeState *state, SoundWaveFormat *format);
// Free what the conversion holds (the input stays open); 0, or -1 when not ready
int EndSoundDecode(AudioDecodeState *state);
// Decode into part 1 then part 2 of a region, stopping at the first short read; the bytes written
int CopyDecodedIntoLockedRegion(LockedRegion *region, AudioDecodeState *state, int bytes);
// Write silence of the format (127 for 8-bit PCM, else 0) into the region the same way; the bytes written
int FillLockedRegionWithSilence(const SoundWaveFormat *format, LockedRegion *region, int bytes);

// The readers of the chain, in its order.
extern const AudioReaderOps WavePcmReaderOps;
extern const AudioReaderOps WaveAcmReaderOps;
extern const AudioReaderOps OggVorbisReaderOps;
extern const AudioReaderOps Mp3AcmReaderOps;
// The media-graph reader; null where the platform has no media graph
extern const AudioReaderOps *const MediaGraphReader;

// Block delivery of PCM held in memory (the media-graph reader's output).
int ReadMemoryPcmBlock(AudioDecodeState *state);
int SeekMemoryPcmFrame(AudioDecodeState *state, int frame);
int MemoryPcmLengthBytes(AudioDecodeState *state);
void EndMemoryPcmReader(AudioDecodeState *state);

} // namespace Korvo
