#include "theora_test_movie.h"

#include "movie_test_streams.h"

#include "movie/startup_entries.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace TheoraTestMovie {

OpenMovie::~OpenMovie()
{
    if (player != nullptr) {
        CloseTheoraPlayer(player);
    }
    if (stream != 0) {
        MovieTestStreams::CloseBytes(stream);
    }
}

void Open(OpenMovie *movie, const TheoraMovieRecipe &recipe, int stock)
{
    BuildTheoraYuvTables();
    ASSERT_TRUE(WriteTheoraMovie(recipe, &movie->bytes));
    movie->stream = MovieTestStreams::OpenBytes(movie->bytes);
    movie->player = OpenTheoraPlayer(MovieTestStreams::MemoryTable(), movie->stream, stock, nullptr);
    ASSERT_NE(movie->player, nullptr);
}

void ExpectFrameShown(TheoraPlayer *player, int n)
{
    ASSERT_EQ(GetTheoraCurrentFrame(player), n);
    CopyTheoraFrameToTargets(player, 1, 0, nullptr);
    RasterImage *image = GetTheoraFrameImage(player);
    int r, g, b;
    TheoraMovieFrameRgb(n, &r, &g, &b);
    for (int at : {0, image->height / 2 * image->width + image->width / 2}) {
        const uint8_t *p = static_cast<const uint8_t *>(image->pixels) + (at / image->width) * image->pitch +
                           (at % image->width) * 4;
        EXPECT_NEAR(p[2], r, 3) << "frame " << n;
        EXPECT_NEAR(p[1], g, 3) << "frame " << n;
        EXPECT_NEAR(p[0], b, 3) << "frame " << n;
    }
}

bool ThreadGoesIdle(TheoraPlayer *player)
{
    for (int waited = 0; waited < 10000; ++waited) {
        if (player->threadState == kTheoraIdle) {
            return true;
        }
        SleepMilliseconds(1);
    }
    return false;
}

void HoldThread(TheoraPlayer *player)
{
    player->pauseRequest = 1;
    while (player->threadState != kTheoraPaused) {
        SleepMilliseconds(1);
    }
}

void ReleaseThread(TheoraPlayer *player)
{
    player->pauseRequest = 0;
}

} // namespace TheoraTestMovie
