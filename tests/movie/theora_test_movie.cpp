#include "theora_test_movie.h"

#include "movie_test_streams.h"

#include "movie/startup_entries.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

uint32_t PageSerial(const uint8_t *page)
{
    return page[14] | page[15] << 8 | page[16] << 16 | static_cast<uint32_t>(page[17]) << 24;
}

} // namespace

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
    ExpectImageOfFrame(player, n);
}

void ExpectImageOfFrame(TheoraPlayer *player, int n)
{
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

bool DamageKeyframePacket(std::vector<uint8_t> *movie, int n)
{
    const int wanted = 3 + n; // after the three header packets
    int started = 0;
    for (size_t at = 0; at + 27 <= movie->size();) {
        uint8_t *page = movie->data() + at;
        if (std::memcmp(page, "OggS", 4) != 0 || (at > 0 && PageSerial(page) != PageSerial(movie->data()))) {
            return false;
        }
        const size_t segments = page[26];
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) {
            body += page[27 + i];
        }
        bool starts = (page[5] & 1) == 0; // the first segment begins a packet
        size_t offset = at + 27 + segments;
        for (size_t i = 0; i < segments; ++i) {
            if (starts && started++ == wanted) {
                uint8_t *packet = movie->data() + offset;
                auto flag = [packet](int bit) { return (packet[bit / 8] >> (7 - bit % 8) & 1) != 0; };
                if (page[27 + i] < 3 || (packet[0] & 0xC0) != 0) {
                    return false; // not a keyframe's data packet
                }
                // The type bits and the first quality index fill byte 0; up to two
                // more indices follow, each behind a set flag (the last without
                // one); then the three bits a keyframe keeps clear.
                int last = 8;
                if (flag(8)) {
                    last = flag(15) ? 21 : 15;
                }
                int bit = last + 1;
                packet[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
                ogg_page checked;
                checked.header = page;
                checked.header_len = static_cast<long>(27 + segments);
                checked.body = page + 27 + segments;
                checked.body_len = static_cast<long>(body);
                ogg_page_checksum_set(&checked);
                return true;
            }
            starts = page[27 + i] < 255;
            offset += page[27 + i];
        }
        at = offset;
    }
    return false;
}

bool ThreadGoesIdle(TheoraPlayer *player)
{
    KorvoTest::Backstop backstop("the decode thread going idle", KorvoTest::kWaitBackstopSeconds);
    while (player->threadState != kTheoraIdle) {
        if (backstop.Passed()) {
            ADD_FAILURE() << backstop.Report();
            return false;
        }
        SleepMilliseconds(1);
    }
    return true;
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
