// Theora movies played once whose soundtrack is shorter or longer than their
// picture (3 s of picture at 10 frames a second; 2 s or 4 s of sound). Once
// the sound has played out, a pause by the program or by a deactivation keeps
// the frame on show and the movie goes on from it without its sound; started
// again after its end, the movie plays its sound from the start and then every
// frame of the picture after it. A longer soundtrack holds the last frame until
// it is over, across a deactivation too. The sound plays through the sound
// tests' fake ring, whose cursor the test moves; the picture past the sound runs
// on the real clock.

#include "soundtrack_session.h"

#include "core/threads/thread_record.h"
#include "sound/sound_system.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kFrames = 30;

enum class Interruption { ProgramPause, Deactivation, StartAgainAfterTheEnd };

struct LengthCase {
    const char *name;
    int soundFrames;        // the soundtrack's length in frames of the picture
    Interruption how;
    int interruptAtFrame;   // once this frame is on show...
    int interruptAtSoundMs; // ...and the sound has reached this place (-1: has played out)
};

const LengthCase kCases[] = {
    {"ShortSoundPausedByTheProgram", 20, Interruption::ProgramPause, 24, -1},
    {"ShortSoundPausedByADeactivation", 20, Interruption::Deactivation, 24, -1},
    {"ShortSoundStartedAgainAfterTheEnd", 20, Interruption::StartAgainAfterTheEnd, -1, -1},
    {"LongSoundDeactivatedOnTheLastFrame", 40, Interruption::Deactivation, kFrames - 1, 3400},
};

void PrintTo(const LengthCase &c, std::ostream *out)
{
    *out << c.name;
}

bool Sounding(const MovieHandleRecord *record)
{
    return IsSoundHandlePlaying(record->soundtrack) == 1;
}

// One step of play: 10 ms of sound while it sounds, else 10 ms of the clock.
void Tick(int movie, const MovieHandleRecord *record)
{
    if (Sounding(record)) {
        SoundtrackSession::Play(record->soundtrack, 10);
    } else {
        SleepMilliseconds(10);
    }
    ASSERT_EQ(StepMoviePlayback(movie, 0), 0);
}

using MovieSoundtrackLengthTest = SoundtrackSession::CaseTest<LengthCase>;

TEST_P(MovieSoundtrackLengthTest, ThePictureAndTheSoundEachPlayWhole)
{
    const LengthCase &c = GetParam();
    const int movie = SoundtrackSession::OpenMovieWithSoundtrack("sound_length.ogv", kFrames, c.soundFrames);
    ASSERT_NE(movie, -1);
    MovieHandleRecord *record = GetMovieHandleRecord(movie);
    EXPECT_NEAR(GetSoundHandleLengthMs(record->soundtrack), c.soundFrames * 100, 50);

    KorvoTest::Backstop backstop("the movie's play", KorvoTest::kWaitBackstopSeconds);
    auto frame = [&] { return GetTheoraCurrentFrame(record->player); };
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    // Played to the point of the interruption (for the start again, to the end).
    auto due = [&] {
        if (c.how == Interruption::StartAgainAfterTheEnd) {
            return record->stopped != 0;
        }
        const bool soundPlace = c.interruptAtSoundMs < 0 ? !Sounding(record)
                                                         : GetSoundHandlePlayPositionMs(record->soundtrack) >=
                                                               c.interruptAtSoundMs;
        return frame() >= c.interruptAtFrame && soundPlace;
    };
    while (!due() && !backstop.Passed()) {
        ASSERT_FALSE(record->stopped) << "ended at frame " << frame();
        Tick(movie, record);
    }
    ASSERT_FALSE(backstop.Passed()) << backstop.Report();

    const int shownBefore = frame();
    const bool soundingBefore = Sounding(record);
    std::vector<int> shown;
    if (c.how == Interruption::StartAgainAfterTheEnd) {
        ASSERT_EQ(record->stopped, 1);
        ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        EXPECT_TRUE(Sounding(record)) << "started again, the soundtrack plays from its start";
    } else {
        if (c.how == Interruption::ProgramPause) {
            ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
        } else {
            SuspendAllMovies();
            SetSoundHandlesPaused(1);
        }
        EXPECT_EQ(frame(), shownBefore) << "the pause changed the frame on show";
        SleepMilliseconds(300);
        ASSERT_EQ(StepMoviePlayback(movie, 0), 0);
        EXPECT_EQ(frame(), shownBefore) << "the paused movie moved";
        if (c.how == Interruption::ProgramPause) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        } else {
            ResumeSuspendedMovies();
            SetSoundHandlesPaused(0);
        }
        EXPECT_EQ(record->stopped, 0) << "the movie did not go on";
        EXPECT_EQ(Sounding(record), soundingBefore) << "the soundtrack did not go on as it stood";
    }

    // To the end: forward only but for the start again, every frame of the
    // last second after a short soundtrack.
    int firstFrameAfterTheSound = -1;
    bool wasSounding = Sounding(record);
    while (!record->stopped && !backstop.Passed()) {
        Tick(movie, record);
        if (shown.empty() || shown.back() != frame()) {
            shown.push_back(frame());
        }
        if (wasSounding && !Sounding(record)) {
            firstFrameAfterTheSound = frame();
        }
        wasSounding = Sounding(record);
    }
    ASSERT_FALSE(backstop.Passed()) << backstop.Report();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), kFrames - 1);
    EXPECT_FALSE(Sounding(record));
    const int first = c.how == Interruption::StartAgainAfterTheEnd ? 0 : shownBefore;
    EXPECT_GE(shown.front(), first) << "went back";
    EXPECT_LE(shown.front(), first + 1);
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i], shown[i - 1]) << "went back";
    }
    if (c.how == Interruption::StartAgainAfterTheEnd) {
        // The picture goes on from the sound's last frame, not from its own end.
        EXPECT_LE(firstFrameAfterTheSound, c.soundFrames + 1);
        const auto afterTheSound =
            std::count_if(shown.begin(), shown.end(), [&](int f) { return f >= c.soundFrames; });
        EXPECT_GE(afterTheSound, (kFrames - c.soundFrames) / 2) << "frames of the picture after its sound";
    }
    EXPECT_EQ(DeleteMovieHandle(movie), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, MovieSoundtrackLengthTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LengthCase> &info) { return info.param.name; });

} // namespace
