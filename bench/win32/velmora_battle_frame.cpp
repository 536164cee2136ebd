// CPU time of one Velmora battle frame with every unit on the map: the six
// enemies and ten player Searchers (all that 100 troops buy) walking routes,
// one of them selected so the panel draws its route and circles; the frame is
// the game loop's background draw, the battle's frame and the present.
//
//   velmora_battle_frame.exe software|direct3d [frames]
// Run from the game's data folder (img/, se/, map/). Prints the mean wall time
// and the mean process CPU time per frame, and the best wall time of one frame.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/battle_sys.h"
#include "game/route_search.h"
#include "korvo.h"

using namespace Korvo;

static double NowSeconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// User plus kernel time of this process, in seconds
static double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME &t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

// Ten Searchers spread over the deploy cells, each sent to a cell across the map
static void DeployEveryUnit(BattleSys &battle, MapData &map)
{
    const int targets[][2] = {{15, 9},  {16, 2},  {12, 7}, {18, 8},  {13, 12},
                              {10, 4}, {17, 14}, {14, 1}, {19, 11}, {12, 10}};
    for (int i = 0; i < 10 && !map.deployPoints.empty(); ++i) {
        const CellPoint &cell = map.deployPoints[static_cast<size_t>(i) % map.deployPoints.size()];
        Character *unit = new Character(&battle.Job(kPlayerSearcher), cell.x, cell.y);
        unit->alpha = 255;
        battle.playerUnits.push_back(unit);
        battle.troopsLeft -= unit->job->cost;
        SearchRoute(&battle, cell.x, cell.y, targets[i][0], targets[i][1], unit);
    }
    battle.selectedUnit = 0;
    battle.state = kBattleRunning;
}

int main(int argc, char **argv)
{
    const bool direct3d = argc > 1 && std::strcmp(argv[1], "direct3d") == 0;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 600;
    SetAppWindowTitle("Velmora battle frame");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    SetHardwareRenderingWanted(direct3d ? 1 : 0);
    EnableLogFileOutput(0);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        std::printf("the library did not start\n");
        return 1;
    }
    SelectDrawTarget(-2);
    {
        MapData map;
        StageInfo stage = *StageList[0];
        stage.map = &map;
        ReadMapFile(map, stage.mapFile);
        if (map.deployPoints.empty()) {
            std::printf("no deploy cell: run from the game's data folder\n");
            ShutdownLibrary();
            return 1;
        }
        map.background = CreateGraphFromImageFile(stage.pictureFile, 0);
        const int background = CreateGraphFromImageFile("img/back.png", 0);
        BattleSys battle;
        battle.stage = &stage;
        battle.ResetScene();
        DeployEveryUnit(battle, map);

        double wall = 0.0, best = 1e9, cpu = 0.0;
        int timed = 0;
        for (int frame = 0; frame < frames; ++frame) {
            battle.timeLeft = stage.timeLimitFrames;  // the battle never ends by time
            const double cpuStart = ProcessCpuSeconds();
            const double start = NowSeconds();
            DrawGraphAtPoint(0, 0, background, 1);
            battle.RunSceneFrame();
            PresentBackScreen();
            const double elapsed = NowSeconds() - start;
            const double cpuElapsed = ProcessCpuSeconds() - cpuStart;
            if (frame >= 30) {  // past the first loads and the glyph cache filling
                wall += elapsed;
                cpu += cpuElapsed;
                best = elapsed < best ? elapsed : best;
                ++timed;
            }
            if (ServiceMessageQueue() == -1) {
                break;
            }
        }
        int alive = 0;
        for (Character *unit : battle.playerUnits) {
            alive += unit->alive ? 1 : 0;
        }
        std::printf("%s 800x600, %zu player units (%d alive at the end) and %zu enemies, %d frames:\n"
                    "  mean wall %.3f ms/frame, mean process CPU %.3f ms/frame, best wall %.3f ms\n",
                    direct3d ? "Direct3D" : "software", battle.playerUnits.size(), alive, battle.enemies.size(), timed,
                    1000.0 * wall / timed, 1000.0 * cpu / timed, 1000.0 * best);
    }
    ShutdownLibrary();
    return 0;
}
