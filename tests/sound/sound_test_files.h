// Sound files the conversion tests make for themselves: Ogg Vorbis written with
// the Vorbis encoder, MP3 frame chains around tags, WAVE files with any "fmt "
// record, and a stand-in compression manager whose "codec" turns each input byte
// into one 16-bit sample (byte x 256), so conversions through it are predictable.
#pragma once

#include "sound/acm_api.h"
#include "sound/sound_decode.h"

#include <cstdint>
#include <vector>

namespace SoundTestFiles {

// Ogg Vorbis of 16-bit PCM (quality 0.4)
std::vector<uint8_t> OggImage(const std::vector<uint8_t> &pcm16, int channels, int rate);
// Ogg Vorbis of a mono 8000 Hz identification header, the given setup header and
// one short audio packet
std::vector<uint8_t> OggImageWithSetup(const std::vector<uint8_t> &setupPacket);
// Byte range [first, end) of the setup header packet in an Ogg image (within its page)
void FindOggSetupPacket(const std::vector<uint8_t> &image, size_t *first, size_t *end);
// Recompute the checksum of every page, after an edit
void FixOggPageChecksums(std::vector<uint8_t> *image);
// Make the last page claim granule position granule (the sound's length in frames)
void SetLastOggGranule(std::vector<uint8_t> *image, int64_t granule);
// A WAVE file whose "fmt " chunk holds formatBytes as they stand
std::vector<uint8_t> WaveImageWithFormat(const std::vector<uint8_t> &formatBytes, const std::vector<uint8_t> &data);
// frames MPEG-1 layer-3 frames (128 kbit/s, 44100 Hz, stereo, 417 bytes each, body bytes fill),
// optionally behind an ID3v2.4 tag with a footer and before an ID3v1 trailer
std::vector<uint8_t> Mp3Image(int frames, bool id3v2WithFooter, bool id3v1Trailer);

// Install the stand-in manager (the real table is kept and put back by RemoveFakeAcm)
void InstallFakeAcm();
void RemoveFakeAcm();

// Set a conversion up over bytes; the memory stream is freed by EndDecodeOverImage
bool SetupDecodeOverImage(Korvo::AudioDecodeState *state, const std::vector<uint8_t> &image, int mask,
                          int oggBytesPerSample = 2);
void EndDecodeOverImage(Korvo::AudioDecodeState *state);
// Decode a whole image; false when no reader accepts it
bool DecodeWholeImage(const std::vector<uint8_t> &image, int mask, std::vector<uint8_t> *pcm,
                      Korvo::SoundWaveFormat *format);
// Signal-to-noise ratio (dB) of decoded 16-bit PCM against the source, after the
// best alignment within maxShift frames (codecs add delay)
double AlignedSnrDb(const std::vector<uint8_t> &source, const std::vector<uint8_t> &decoded, int channels,
                    int maxShift);

} // namespace SoundTestFiles
