// DirectShow movies across a window deactivation: a movie the program starts
// while the window is inactive does not run until the activation, and one it
// pauses while inactive is not run again by the activation.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "core/system/win32/app_window.h"
#include "graphics/graphs/graph_record.h"
#include "movie/movie_handle.h"

#include <dshow.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace Korvo;

namespace {

// The fixture copied into the working folder, where the library looks for it.
std::string CopyMovieFixture(const char *name)
{
    std::ifstream in(std::string(KORVO_MOVIE_FIXTURE_DIR) + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty());
    std::ofstream(name, std::ios::binary) << bytes;
    return name;
}

// The filter graph's state once a change under way is done.
OAFilterState GraphState(const MovieHandleRecord *record)
{
    OAFilterState state = -1;
    static_cast<IMediaControl *>(record->mediaControl)->GetState(KorvoTest::kWaitBackstopSeconds * 1000, &state);
    return state;
}

// Sent outside the pump, the window applies it at once.
void SetWindowActive(bool active)
{
    SendMessageA(GetAppWindowHandle(), WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
}

class DirectShowDeactivationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0); }
    void TearDown() override { ASSERT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(DirectShowDeactivationTest, WhatTheProgramDidWhileInactiveHoldsAfterTheActivation)
{
    const std::string path = CopyMovieFixture("flat_colour.avi");
    const struct {
        const char *name;
        bool startedWhileInactive; // else started before and paused while inactive
        OAFilterState afterActivation;
    } rows[] = {
        {"started while inactive", true, State_Running},
        {"paused while inactive", false, State_Paused},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const int graph = CreateGraphFromImageFile(path.c_str(), 0);
        ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
        const int movie = GetGraphRecord(graph, 0)->movieHandle;
        const MovieHandleRecord *record = GetMovieHandleRecord(movie);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(GetAppActiveState(), 1);
        if (!row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        }
        SetWindowActive(false);
        ASSERT_EQ(GetAppActiveState(), 0);
        if (row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        } else {
            ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
        }
        EXPECT_NE(GraphState(record), State_Running) << "the movie runs while the window is inactive";
        SetWindowActive(true);
        ASSERT_EQ(GetAppActiveState(), 1);
        EXPECT_EQ(GraphState(record), row.afterActivation);
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    }
}

} // namespace
