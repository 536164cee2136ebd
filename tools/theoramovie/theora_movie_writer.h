// Writes Ogg Theora movies of known content for tests and benchmarks: each
// frame is one flat YUV colour chosen by its number (but for a still detailed
// strip in its right quarter), optionally with a Vorbis soundtrack (a sine) of
// the same length or another.
#pragma once

#include <cstdint>
#include <vector>

namespace Korvo {

struct TheoraMovieRecipe {
    // The picture's size and its place in the coded frame, which Theora makes
    // whole 16 x 16 blocks (the encoder pads the picture out to them).
    int width = 64;
    int height = 48;
    int pictureX = 0;
    int pictureY = 0;
    int frames = 30;
    int fpsNumerator = 10;
    int fpsDenominator = 1;
    int keyframeInterval = 8;
    int withSound = 0;
    int soundFrames = -1; // the soundtrack's length in frames of the picture; -1: as long as the picture
    int sampleRate = 22050;
    int textured = 0; // a moving pattern instead of flat colours (benchmarks)
    // A sound page after every frame's video, as a muxer interleaves them, so the
    // soundtrack sounds. Else the sound fills its pages first: a short movie's
    // sound comes in one page after all of its video, of which vorbisfile reads
    // nothing until a seek (a silent soundtrack).
    int soundPageEveryFrame = 1;
};

// The flat colour of a frame (video-range Y, U, V)
void TheoraMovieFrameColour(int frame, int *y, int *u, int *v);
// The frame colour as 8-bit red, green, blue (BT.601 video range)
void TheoraMovieFrameRgb(int frame, int *r, int *g, int *b);
// The coded frame's size: the picture and its offset, in whole 16 x 16 blocks
void TheoraMovieFrameSize(const TheoraMovieRecipe &recipe, int *width, int *height);
// Encode a movie into bytes; false when the encoder refuses the settings
bool WriteTheoraMovie(const TheoraMovieRecipe &recipe, std::vector<uint8_t> *out);
// Encode a movie into a file; false on failure
bool WriteTheoraMovieFile(const TheoraMovieRecipe &recipe, const char *path);

} // namespace Korvo
