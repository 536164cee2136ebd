// Theora movies across a window deactivation (movies suspended, sounds paused,
// as the activation handler does): what the program does to a movie while the
// window is inactive holds after the activation. A movie started while inactive
// begins then, from where it stood; one paused while inactive stays paused. The
// soundtrack plays through the sound tests' fake ring, whose cursor the test moves.

#include "soundtrack_session.h"

#include "core/public_api.h"
#include "sound/sound_system.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

void Deactivate()
{
    SuspendAllMovies();
    SetSoundHandlesPaused(1);
}

void Activate()
{
    ResumeSuspendedMovies();
    SetSoundHandlesPaused(0);
}

} // namespace

TEST(MovieDeactivationTest, WhatTheProgramDidWhileInactiveHoldsAfterTheActivation)
{
    const struct {
        const char *name;
        int withSound;
        bool startedWhileInactive; // else started before and paused while inactive
    } rows[] = {
        {"silent, started while inactive", 0, true},
        {"with sound, started while inactive", 1, true},
        {"silent, paused while inactive", 0, false},
        {"with sound, paused while inactive", 1, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        SoundtrackSession::Start();
        TheoraMovieRecipe recipe;
        recipe.frames = 30;
        recipe.withSound = row.withSound;
        recipe.soundPageEveryFrame = 1;
        ASSERT_TRUE(WriteTheoraMovieFile(recipe, "inactive.ogv"));
        const int movie = CreateMovieHandleFromFile(nullptr, "inactive.ogv", nullptr, nullptr, 0, nullptr);
        ASSERT_NE(movie, -1);
        MovieHandleRecord *record = GetMovieHandleRecord(movie);
        ASSERT_EQ(record->soundtrack != -1, row.withSound != 0);
        SoundFakes::FakeBuffer *ring = row.withSound ? SoundFakes::Buffers.back() : nullptr;
        // Time passes for the soundtrack only while its ring plays.
        auto playSound = [&](int ms) {
            if (ring != nullptr) {
                SoundtrackSession::Play(record->soundtrack, ms);
            }
        };

        if (!row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
            playSound(500);
        }
        Deactivate();
        if (row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        } else {
            ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
        }
        EXPECT_EQ(record->stopped, 1) << "the movie plays while the window is inactive";
        if (ring != nullptr) {
            EXPECT_FALSE(ring->playing) << "the soundtrack plays while the window is inactive";
        }
        playSound(1000);

        const uint64_t activatedAt = GetMicrosecondClock();
        const int soundBefore = row.withSound ? GetSoundHandlePlayPositionMs(record->soundtrack) : 0;
        Activate();
        EXPECT_EQ(record->stopped, row.startedWhileInactive ? 0 : 1);
        if (ring != nullptr) {
            EXPECT_EQ(ring->playing, row.startedWhileInactive);
        }
        if (row.startedWhileInactive) {
            // Frame 0 is due at the activation; the soundtrack starts there from its beginning.
            EXPECT_GE(record->clockStartUs, activatedAt);
            EXPECT_EQ(soundBefore, 0);
        }
        EXPECT_EQ(DeleteMovieHandle(movie), 0);
        SoundtrackSession::End();
    }
}
