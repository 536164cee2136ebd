// The whole game on the library stand-in: menu, launch, a scripted battle won
// with three goals, the return to the menu; clicks, and the text helpers.
#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

#include "game/game_globals.h"
#include "game/game_loop.h"
#include "game/select_win.h"
#include "game/text_helpers.h"
#include "tests/game/fake_library.h"

namespace {

// A mouse state from a frame on.
struct MouseEvent {
    int frame;
    int mask;
    int x, y;
};

void PlayScript(const std::vector<MouseEvent> &events, int frames)
{
    Fake.frameLimit = frames;
    Fake.beforeNextFrame = [events](int frame) {
        for (const MouseEvent &e : events) {
            if (e.frame == frame + 1) {
                Fake.mouseMask = e.mask;
                Fake.cursorX = e.x;
                Fake.cursorY = e.y;
            }
        }
    };
}

// A click: down in one frame, up in the next.
void AddClick(std::vector<MouseEvent> &events, int frame, int button, int x, int y)
{
    events.push_back({frame, 1 << button, x, y});
    events.push_back({frame + 1, 0, x, y});
}

// Deploy cell (0,14), open ground to the goal (3,14); the enemies stand walled in far away.
void WriteStageMap()
{
    mkdir("map", 0755);
    std::ofstream map("map/map01.txt");
    for (int row = 0; row < 14; ++row) {
        map << "00000000000000000000\n";
    }
    map << "21130000000000000000\n";
}

TEST(SceneLoop, ScriptedBattleIsWonWithThreeGoals)
{
    ResetFakeLibrary();
    WriteStageMap();
    std::vector<MouseEvent> events;
    AddClick(events, 5, kMouseLeft, 700, 120);   // the stage row
    AddClick(events, 10, kMouseLeft, 700, 420);  // launch
    int frame = 100;                             // the battle runs from frame 73
    for (int unit = 0; unit < 3; ++unit, frame += 12) {
        AddClick(events, frame, kMouseLeft, 2, 14 * 32 + 2);      // the deploy cell
        AddClick(events, frame + 4, kMouseLeft, 50, 540);         // Searcher button
        AddClick(events, frame + 8, kMouseRight, 100, 14 * 32 + 5);  // to the goal
    }
    PlayScript(events, 500);
    EXPECT_EQ(0, RunVelmora(0));

    EXPECT_EQ(61, CountDraws("img/syutugeki.png"));
    EXPECT_TRUE(DrewAt("70", 740, 80));
    EXPECT_EQ(121, CountDraws("img/win.png"));
    EXPECT_EQ(0, CountDraws("img/lose.png"));
    EXPECT_TRUE(DrewAt("img/win.png", 0, 0));
    // Back on the menu, the preview of the battle was destroyed
    EXPECT_EQ("ステージ1", Fake.draws[Fake.draws.size() - 1].what);
    EXPECT_EQ(-1, FakeGraphOf("img/map/map1.png"));
}

// A map file that cannot be opened is reported and the launch goes on with the
// grid the menu's map already has (all blocked before any read).
TEST(SceneLoop, LaunchGoesOnWithoutAMapFile)
{
    ResetFakeLibrary();
    remove("map/map01.txt");
    std::vector<MouseEvent> events;
    AddClick(events, 5, kMouseLeft, 700, 120);
    AddClick(events, 10, kMouseLeft, 700, 420);
    PlayScript(events, 100);
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, RunVelmora(0));
    EXPECT_EQ("ファイルパスが不正です\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(61, CountDraws("img/syutugeki.png"));
    EXPECT_TRUE(DrewAt("img/waku_metal.png", 640, 150));  // the battle's panel
}

TEST(SceneLoop, LibraryThatDoesNotStart)
{
    ResetFakeLibrary();
    Fake.startFails = true;
    EXPECT_EQ(-1, RunVelmora(0));
    EXPECT_TRUE(Fake.graphNames.empty());
}

TEST(SceneLoop, ButtonHeldIntoTheBattleIsNoClick)
{
    ResetFakeLibrary();
    WriteStageMap();
    std::vector<MouseEvent> events;
    AddClick(events, 5, kMouseLeft, 700, 120);
    AddClick(events, 10, kMouseLeft, 700, 420);
    events.push_back({40, 1, 2, 14 * 32 + 2});   // pressed on the deploy cell during the launch
    events.push_back({120, 0, 2, 14 * 32 + 2});  // released in the battle
    PlayScript(events, 200);
    EXPECT_EQ(0, RunVelmora(0));
    EXPECT_TRUE(DrewAt("150", 740, 50));
    EXPECT_FALSE(DrewAt("149", 740, 50));  // the clock never started
}

TEST(Mouse, ClickInTheFrameAfterTheRelease)
{
    struct Case {
        const char *masks;   // left button per frame
        const char *clicks;  // MouseClicked left per frame
    };
    const Case cases[] = {
        {"0110000", "0001000"},
        {"1111100", "0000010"},
        {"0101100", "0011110"},  // pressed again at once: the flag stays while held
    };
    for (const Case &c : cases) {
        ResetFakeLibrary();
        std::string seen;
        for (const char *m = c.masks; *m; ++m) {
            Fake.mouseMask = *m == '1' ? 1 : 0;
            UpdateMouseClicks();
            seen += MouseClicked[kMouseLeft] ? '1' : '0';
        }
        EXPECT_EQ(c.clicks, seen) << c.masks;
    }
}

TEST(Menu, StageRowAndLaunchButton)
{
    struct Case {
        int x, y;
        int state;
    };
    const Case cases[] = {{640, 100, 1}, {800, 149, 1}, {639, 120, 0}, {801, 120, 0}, {700, 150, 0}, {700, 99, 0},
                          {700, 420, 0}};
    for (const Case &c : cases) {
        ResetFakeLibrary();
        SelectWin menu(0);
        Fake.cursorX = c.x;
        Fake.cursorY = c.y;
        MouseHoldFrames[kMouseLeft] = 1;
        menu.RunSceneFrame();
        EXPECT_EQ(c.state, menu.state) << c.x << "," << c.y;
    }
}

TEST(Text, SplitNumbersAndLines)
{
    struct Case {
        const char *text;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"abc", {"abc"}}, {"a\nb", {"a", "b"}}, {"a\n\nb", {"a", "", "b"}}, {"a\n", {"a", ""}}, {"", {""}}};
    for (const Case &c : cases) {
        EXPECT_EQ(c.pieces, SplitString(c.text, "\n")) << c.text;
    }
    EXPECT_EQ((std::vector<std::string>{"1", "2", ""}), SplitString("1, 2, ", ", "));
    EXPECT_EQ("150", IntToString(9000 / 60));
    EXPECT_EQ("-5", IntToString(-5));

    ResetFakeLibrary();
    Fake.fontSize = 22;
    DrawMultiLineText("top\n\nbottom", 5, 510, 0);
    ASSERT_EQ(3u, Fake.draws.size());
    EXPECT_EQ(510, Fake.draws[0].y);
    EXPECT_EQ("", Fake.draws[1].what);
    EXPECT_EQ(554, Fake.draws[2].y);
}

} // namespace
