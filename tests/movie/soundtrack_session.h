// The set-up of the host tests of Theora movies with a soundtrack: the movie
// kind and colour tables, and the sound system on the sound tests' fake ring,
// whose play cursor the tests move.
#pragma once

#include "movie/movie_handle.h"
#include "movie/startup_entries.h"
#include "sound/sound_handle.h"
#include "sound/stream_sound.h"
#include "tests/sound/sound_fakes.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace SoundtrackSession {

inline void Start()
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0);
    ASSERT_EQ(Korvo::InitMovieHandleType(), 0);
    Korvo::BuildTheoraYuvTables();
}

inline void End()
{
    EXPECT_EQ(Korvo::TermMovieHandleType(), 0);
    SoundFakes::Stop();
}

// Plays ms of the soundtrack through the newest ring, a refill every hundredth
// of a second; the bytes the ring played.
inline int64_t Play(int soundtrack, int ms)
{
    const Korvo::SoundHandleRecord *sound = Korvo::FindSoundHandleRecord(soundtrack, 0);
    const uint32_t bytes = sound->format.samplesPerSec / 100 * sound->format.blockAlign;
    int64_t played = 0;
    for (int at = 0; at < ms; at += 10) {
        played += static_cast<int64_t>(SoundFakes::AdvanceBuffer(SoundFakes::Buffers.back(), bytes).size());
        Korvo::RefillAllStreamSounds();
    }
    return played;
}

// Writes a Theora movie of `frames` with a soundtrack of `soundFrames` frames'
// length (-1: as long as the picture) and opens it; the handle, or -1 when it
// could not be written or opened, or has no soundtrack.
inline int OpenMovieWithSoundtrack(const char *path, int frames, int soundFrames = -1)
{
    Korvo::TheoraMovieRecipe recipe;
    recipe.frames = frames;
    recipe.withSound = 1;
    recipe.soundFrames = soundFrames;
    if (!Korvo::WriteTheoraMovieFile(recipe, path)) {
        return -1;
    }
    const int movie = Korvo::CreateMovieHandleFromFile(nullptr, path, nullptr, nullptr, 0, nullptr);
    if (movie != -1 && Korvo::GetMovieHandleRecord(movie)->soundtrack == -1) {
        return -1;
    }
    return movie;
}

// Table-driven tests whose cases each run in a session of their own.
template <class Case>
class CaseTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { Start(); }
    void TearDown() override { End(); }
};

} // namespace SoundtrackSession
