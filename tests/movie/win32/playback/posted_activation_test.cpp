// An activation that reaches the window as a posted WM_ACTIVATEAPP, between a
// deactivation and an activation that are sent: the library comes back as from
// a sent activation. The looped sound that the deactivation paused plays again,
// and a movie the program starts afterwards plays.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/sound/sound_fakes.h"
#include "tests/support/wait_backstop.h"

#include "core/system/win32/app_window.h"
#include "graphics/graphs/graph_record.h"
#include "movie/movie_handle.h"
#include "sound/public_api.h"
#include "sound/wave_format.h"
#include "tools/theoramovie/theora_movie_writer.h"

using namespace Korvo;

namespace {

TEST(PostedActivationTest, APostedActivationResumesSoundsAndMovies)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0);
    const SoundWaveFormat format = MakePcmWaveFormat(1, 22050, 16);
    const std::string wave = SoundFakes::WriteFile(
        "looped.wav", SoundFakes::WaveImage(format, SoundFakes::SinePcm16(22050, 1, 0.5, 440.0)));
    const int sound = LoadSoundFileAsHandle(wave.c_str(), 1, -1);
    ASSERT_NE(sound, -1) << KorvoTest::ReadFileBytes("Log.txt");
    TheoraMovieRecipe recipe;
    ASSERT_TRUE(WriteTheoraMovieFile(recipe, "started.ogv"));
    const int graph = CreateGraphFromImageFile("started.ogv", 0);
    ASSERT_NE(graph, -1);
    const int movie = GetGraphRecord(graph, 0)->movieHandle;
    const MovieHandleRecord *record = GetMovieHandleRecord(movie);
    ASSERT_NE(record, nullptr);

    ASSERT_EQ(StartSoundHandlePlayback(sound, PlayLoop, 1), 0);
    ASSERT_EQ(IsSoundHandlePlaying(sound), 1);
    HWND window = GetAppWindowHandle();
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_EQ(GetAppActiveState(), 0);
    EXPECT_EQ(IsSoundHandlePlaying(sound), 0) << "the deactivation did not pause the sound";
    PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(ServiceMessageQueue(), 0); // takes the posted activation
    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_EQ(GetAppActiveState(), 1);

    EXPECT_EQ(IsSoundHandlePlaying(sound), 1) << "the looped sound stayed paused";
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    EXPECT_EQ(record->stopped, 0) << "the start waits for an activation";
    KorvoTest::Backstop backstop("the movie's first frames", KorvoTest::kWaitBackstopSeconds);
    while (record->stopped == 0 && GetTheoraCurrentFrame(record->player) < 3 && !backstop.Passed()) {
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        ServiceMessageQueue();
        Sleep(10);
    }
    EXPECT_GE(GetTheoraCurrentFrame(record->player), 3) << backstop.Report();
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
