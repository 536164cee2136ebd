// MPEG audio files as the MP3 readers see them: the ID3v2 tag in front, the
// ID3v1 "TAG" trailer behind, and the chain of frames between, measured from
// the frame headers. Every size read from the file is checked against the input.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// One frame header, decoded.
struct MpegFrameInfo {
    int mpeg2;           // 1 for MPEG-2 (lower sample rates)
    int layer;           // 1..3
    int bitRateIndex;
    int sampleRateIndex;
    int padding;
    int channels;        // 1 (mono) or 2
    int sampleRate;      // Hz
    int bitRate;         // kbit/s
    int frameBytes;
    int samplesPerFrame;
};

// Where the audio of an MPEG file lies.
struct MpegStreamLayout {
    int dataStart;       // first frame
    int dataEnd;         // end of the last whole frame
    int64_t frameSamples; // samples of all frames (per channel)
    int frames;
    MpegFrameInfo first; // first frame of sound
    // What the encoder's tag says it added: samples of delay in front and of
    // padding at the end (0 and 0 without a tag)
    int encoderDelay;
    int encoderPadding;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Decode a four-byte frame header; 0, or -1 when it is no valid header
int ParseMpegAudioFrameHeader(const unsigned char header[4], MpegFrameInfo *info);
// Bytes of the ID3v2 tag at the start of the input (0 without one); -1 when the
// tag claims more bytes than the input has
int MeasureId3v2Tag(const unsigned char *data, int size);
// Find the frames of an MPEG audio file in memory; 0, or -1 when there is none
// or a frame header is bad. A first frame that carries an encoder's Info or
// Xing tag holds no sound: it is neither counted nor part of the data
int ScanMpegAudioFrames(const unsigned char *data, int size, MpegStreamLayout *layout);

} // namespace Korvo
