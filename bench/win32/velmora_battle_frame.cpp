// Time of one Velmora battle frame with every unit on the map: the six
// enemies and ten player Searchers (all that 100 troops buy) walking routes,
// one of them selected so the panel draws its route and circles; the frame is
// the game loop's background draw, the battle's frame, the present and the
// message pump.
//
//   velmora_battle_frame.exe software|direct3d [frames] [immediate]
// Run from the game's data folder (img/, se/, map/). Prints the mean wall time
// and the mean process CPU time per frame, and the best wall time of one frame.
// In Direct3D mode a plain Direct3D 9 program drawing the same calls on a window
// of its own (bench/win32/plain_d3d9_battle_frame.cpp) runs beside it, in turns
// of a few frames so that load from other work falls on both alike, and the
// ratios of the two are printed. `immediate` presents without waiting for the
// vertical blank on both.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/win32/plain_d3d9_battle_frame.h"
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

// Frame times of one road: wall and process CPU seconds.
struct FrameTimes {
    double wall = 0.0, cpu = 0.0, best = 1e9;
    int frames = 0;

    template <typename Frame> void Time(Frame frame, bool counted)
    {
        const double cpuStart = ProcessCpuSeconds();
        const double start = NowSeconds();
        frame();
        const double elapsed = NowSeconds() - start;
        if (counted) {
            wall += elapsed;
            cpu += ProcessCpuSeconds() - cpuStart;
            best = elapsed < best ? elapsed : best;
            ++frames;
        }
    }
    double MeanWallMs() const { return 1000.0 * wall / frames; }
    double MeanCpuMs() const { return 1000.0 * cpu / frames; }
    void Print(const char *what) const
    {
        std::printf("  %s: mean wall %.3f ms/frame, mean process CPU %.3f ms/frame (%.2fx wall), best wall %.3f ms\n",
                    what, MeanWallMs(), MeanCpuMs(), cpu / wall, 1000.0 * best);
    }
};

int main(int argc, char **argv)
{
    const bool direct3d = argc > 1 && std::strcmp(argv[1], "direct3d") == 0;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 600;
    const bool immediate = argc > 3 && std::strcmp(argv[3], "immediate") == 0;
    constexpr int kWarmUpFrames = 30;  // past the first loads and the glyph cache filling
    constexpr int kTurnFrames = 10;
    SetAppWindowTitle("Velmora battle frame");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    SetHardwareRenderingWanted(direct3d ? 1 : 0);
    SetWaitForVerticalBlank(immediate ? 0 : 1);
    EnableLogFileOutput(0);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        std::printf("the library did not start\n");
        return 1;
    }
    SelectDrawTarget(-2);
    KorvoBench::PlainD3D9BattleFrame plain;
    const bool withPlain = direct3d && plain.Start(!immediate);
    if (direct3d && !withPlain) {
        std::printf("the plain Direct3D 9 program could not start; the library runs alone\n");
    }
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

        FrameTimes library, reference;
        bool quit = false;
        const auto libraryFrame = [&] {
            battle.timeLeft = stage.timeLimitFrames;  // the battle never ends by time
            DrawGraphAtPoint(0, 0, background, 1);
            battle.RunSceneFrame();
            PresentBackScreen();
            quit = ServiceMessageQueue() == -1;
        };
        for (int done = 0; done < frames && !quit;) {
            const int turn = done < kWarmUpFrames ? kWarmUpFrames : kTurnFrames;
            for (int i = 0; i < turn && !quit; ++i) {
                library.Time(libraryFrame, done + i >= kWarmUpFrames);
            }
            for (int i = 0; i < turn && withPlain; ++i) {
                reference.Time([&] { plain.DrawFrame(); }, done + i >= kWarmUpFrames);
            }
            done += turn;
        }
        int alive = 0;
        for (Character *unit : battle.playerUnits) {
            alive += unit->alive ? 1 : 0;
        }
        std::printf("%s 800x600, %s, %zu player units (%d alive at the end) and %zu enemies, %d frames:\n",
                    direct3d ? "Direct3D" : "software", immediate ? "no vertical-blank wait" : "vertical-blank wait",
                    battle.playerUnits.size(), alive, battle.enemies.size(), library.frames);
        library.Print("library");
        if (withPlain && reference.frames > 0) {
            reference.Print("plain Direct3D 9 program, the same draw calls");
            std::printf("  library / plain program: wall %.2fx, process CPU %.2fx (%d draw calls a frame)\n",
                        library.MeanWallMs() / reference.MeanWallMs(), library.MeanCpuMs() / reference.MeanCpuMs(),
                        KorvoBench::PlainD3D9BattleFrame::DrawCallsPerFrame());
        }
    }
    plain.Stop();
    ShutdownLibrary();
    return 0;
}
