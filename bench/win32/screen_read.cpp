// Time of drawing a box and reading the screen back, on the library's Direct3D
// road, beside a plain Direct3D 9 program doing the same on a window and device
// of its own (the library's windowed presentation settings; the box a quad of
// pre-transformed vertices, as the library draws it). Three reads: the whole
// 640x480 screen, and a 32x32 and a 1x1 square inside the box. The plain
// program reads each in both ways the platform offers: locking its lockable
// back buffer on the rectangle, and through surfaces it keeps, the whole screen
// with GetRenderTargetData into a system-memory surface, a square with
// StretchRect into a render target of its size and GetRenderTargetData into a
// system-memory surface of its size; the faster of the two is the platform's
// speed.
//
//   bench_screen_read.exe [reads]
//
// The roads are timed in turns of a few reads, the sizes in turn too, so that
// load from other work falls on all alike; each read copies the rows out, as a
// program would. Prints the mean, median, best and 90th-percentile time of one
// read of each and the library's ratios to the faster plain road.
#include <windows.h>

#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "bench/win32/plain_d3d9_setup.h"
#include "korvo.h"
#include "graphics/device/graphics_state.h"  // only to tell the road and the read it took
#include "graphics/draw/draw_target.h"

using namespace Korvo;
using KorvoBench::PlainD3D9Setup;
using KorvoBench::StartPlainD3D9;
using KorvoBench::StopPlainD3D9;

namespace {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kWarmUpReads = 20;
constexpr int kTurnReads = 10;

// The rectangles read: the whole screen, and squares inside the box.
struct ReadSize {
    const char *name;
    RECT rect;
    bool whole;
};
constexpr ReadSize kSizes[] = {
    {"the whole 640x480 screen", {0, 0, kWidth, kHeight}, true},
    {"a 32x32 square", {150, 120, 182, 152}, false},
    {"a 1x1 square", {200, 160, 201, 161}, false},
};

double NowSeconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Read times of one road, in seconds.
struct ReadTimes {
    std::vector<double> times;

    template <typename Read> bool Time(Read read, bool counted)
    {
        const double start = NowSeconds();
        const bool ok = read();
        const double elapsed = NowSeconds() - start;
        if (counted && ok) {
            times.push_back(elapsed);
        }
        return ok;
    }
    int Reads() const { return static_cast<int>(times.size()); }
    double MeanMs() const
    {
        double total = 0.0;
        for (double t : times) {
            total += t;
        }
        return times.empty() ? 0.0 : 1000.0 * total / static_cast<double>(times.size());
    }
    // The time below which the given share of the reads finished
    double ShareMs(double share) const
    {
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : 1000.0 * sorted[static_cast<size_t>(share * static_cast<double>(sorted.size() - 1))];
    }
    void Print(const char *what) const
    {
        std::printf("  %-56s mean %.3f, median %.3f, best %.3f, 90%% %.3f ms (%d reads)\n", what, MeanMs(),
                    ShareMs(0.5), ShareMs(0.0), ShareMs(0.9), Reads());
    }
};

// Copy the rows of a locked rectangle out, as a program reading its screen would.
void CopyRows(const void *pixels, int pitch, const RECT &rect, std::vector<unsigned> &out)
{
    const int width = rect.right - rect.left;
    for (int y = 0; y < rect.bottom - rect.top; ++y) {
        std::memcpy(&out[static_cast<size_t>(y) * width], static_cast<const char *>(pixels) + y * pitch,
                    static_cast<size_t>(width) * sizeof(unsigned));
    }
}

// ---------------------------------------------------------------------------
// The plain program
// ---------------------------------------------------------------------------

struct PlainProgram {
    PlainD3D9Setup setup;
    IDirect3DDevice9 *device = nullptr;
    IDirect3DSurface9 *backBuffer = nullptr;
    // Per size: the render target a square is copied into (none for the whole
    // screen) and the system-memory surface it is read into.
    IDirect3DSurface9 *squareTarget[std::size(kSizes)] = {};
    IDirect3DSurface9 *systemCopy[std::size(kSizes)] = {};
    unsigned frame = 0;

    bool Start()
    {
        if (!StartPlainD3D9("plain Direct3D 9 screen read", kWidth, kHeight, false, &setup) ||
            FAILED(setup.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
            return false;
        }
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            const RECT &r = kSizes[i].rect;
            const UINT width = static_cast<UINT>(r.right - r.left);
            const UINT height = static_cast<UINT>(r.bottom - r.top);
            if ((!kSizes[i].whole && FAILED(setup.device->CreateRenderTarget(width, height, setup.format,
                                                                              D3DMULTISAMPLE_NONE, 0, FALSE,
                                                                              &squareTarget[i], nullptr))) ||
                FAILED(setup.device->CreateOffscreenPlainSurface(width, height, setup.format, D3DPOOL_SYSTEMMEM,
                                                                 &systemCopy[i], nullptr))) {
                return false;
            }
        }
        device = setup.device;
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        return true;
    }

    // A box of a new colour each time, so every read has fresh pixels to fetch:
    // a quad of pre-transformed vertices in a scene, as the library draws it.
    void DrawBox()
    {
        struct Vertex {
            float x, y, z, rhw;
            DWORD colour;
        };
        frame += 1;
        const DWORD colour = D3DCOLOR_XRGB(frame & 0xFF, 40, 200);
        const Vertex quad[4] = {{100, 80, 0, 1, colour}, {300, 80, 0, 1, colour}, {100, 240, 0, 1, colour},
                                {300, 240, 0, 1, colour}};
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        device->EndScene();
    }

    bool ReadByLock(size_t size, std::vector<unsigned> &out)
    {
        DrawBox();
        const RECT &rect = kSizes[size].rect;
        D3DLOCKED_RECT locked;
        if (FAILED(backBuffer->LockRect(&locked, kSizes[size].whole ? nullptr : &rect, D3DLOCK_READONLY))) {
            return false;
        }
        CopyRows(locked.pBits, locked.Pitch, rect, out);
        backBuffer->UnlockRect();
        return true;
    }

    bool ReadThroughKeptCopy(size_t size, std::vector<unsigned> &out)
    {
        DrawBox();
        const RECT &rect = kSizes[size].rect;
        IDirect3DSurface9 *source = backBuffer;
        if (!kSizes[size].whole) {
            if (FAILED(device->StretchRect(backBuffer, &rect, squareTarget[size], nullptr, D3DTEXF_NONE))) {
                return false;
            }
            source = squareTarget[size];
        }
        D3DLOCKED_RECT locked;
        if (FAILED(device->GetRenderTargetData(source, systemCopy[size])) ||
            FAILED(systemCopy[size]->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            return false;
        }
        CopyRows(locked.pBits, locked.Pitch, rect, out);
        systemCopy[size]->UnlockRect();
        return true;
    }

    void Stop()
    {
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            for (IDirect3DSurface9 *surface : {squareTarget[i], systemCopy[i]}) {
                if (surface != nullptr) {
                    surface->Release();
                }
            }
        }
        if (backBuffer != nullptr) {
            backBuffer->Release();
        }
        StopPlainD3D9(&setup);
    }
};

// ---------------------------------------------------------------------------
// The library
// ---------------------------------------------------------------------------

// A read that does not give the box just drawn counts as failed.
bool LibraryRead(size_t size, std::vector<unsigned> &out, unsigned frame)
{
    FillColorBox(100, 80, 300, 240, PackScreenColor(static_cast<int>(frame & 0xFF), 40, 200));
    const RECT &rect = kSizes[size].rect;
    RasterImage image = {};
    if (LockDrawScreenBuffer(&rect, &image, -1, 1, 0) != 0) {
        return false;
    }
    CopyRows(image.pixels, image.pitch, rect, out);
    UnlockDrawScreenBuffer();
    const size_t inBox = kSizes[size].whole ? static_cast<size_t>(80) * kWidth + 100 : 0;
    return (out[inBox] & 0xFFFFFF) == ((frame & 0xFF) << 16 | 40 << 8 | 200);
}

const char *RoadName(ScreenReadRoad road)
{
    switch (road) {
    case kScreenReadLock:
        return "locking the screen's surface";
    case kScreenReadWholeCopy:
        return "its kept copy of the whole surface";
    case kScreenReadRectCopy:
        return "a kept copy of the rectangle";
    default:
        return "?";
    }
}

// Times of the three roads for one size
struct SizeTimes {
    ReadTimes library, locked, copied;
    ScreenReadRoad libraryRoad = kScreenReadNone;
};

} // namespace

int main(int argc, char **argv)
{
    const int reads = argc > 1 ? std::atoi(argv[1]) : 300;
    SetAppWindowTitle("Korvo screen read");
    SetScreenResolutionAndDepth(kWidth, kHeight, 32, 60);
    SetHardwareRenderingWanted(1);
    SetWaitForVerticalBlank(0);
    EnableLogFileOutput(0);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        std::printf("the library did not start\n");
        return 1;
    }
    if (GraphicsState.direct3DModeActive == 0) {
        std::printf("the library did not start on the Direct3D road\n");
        ShutdownLibrary();
        return 1;
    }
    SelectDrawTarget(-2);
    ClearDrawScreen();
    PlainProgram plain;
    const bool withPlain = plain.Start();
    if (!withPlain) {
        std::printf("the plain Direct3D 9 program could not start; the library runs alone\n");
    }
    std::vector<unsigned> pixels(static_cast<size_t>(kWidth) * kHeight);
    SizeTimes times[std::size(kSizes)];
    unsigned frame = 0;
    bool failed = false;
    for (int done = 0; done < reads && !failed;) {
        const int turn = done < kWarmUpReads ? kWarmUpReads : kTurnReads;
        const bool counted = done >= kWarmUpReads;
        for (size_t size = 0; size < std::size(kSizes) && !failed; ++size) {
            SizeTimes &t = times[size];
            for (int i = 0; i < turn && !failed; ++i) {
                failed = !t.library.Time([&] { return LibraryRead(size, pixels, ++frame); }, counted);
            }
            t.libraryRoad = LastScreenReadRoad();
            for (int i = 0; i < turn && withPlain; ++i) {
                t.locked.Time([&] { return plain.ReadByLock(size, pixels); }, counted);
                t.copied.Time([&] { return plain.ReadThroughKeptCopy(size, pixels); }, counted);
            }
        }
        if (ServiceMessageQueue() == -1) {
            break;
        }
        done += turn;
    }
    if (failed) {
        std::printf("the library's screen read failed or did not give the box just drawn\n");
    }
    std::printf("draw a box and read the screen back, Direct3D road, %d reads of each (the start-up timing chose %s "
                "for whole reads):\n",
                times[0].library.Reads(), DeviceCaps.backBufferLock != 0 ? "locking" : "the kept copy");
    for (size_t size = 0; size < std::size(kSizes); ++size) {
        const SizeTimes &t = times[size];
        std::printf(" %s (the library read by %s):\n", kSizes[size].name, RoadName(t.libraryRoad));
        t.library.Print("library (FillColorBox, LockDrawScreenBuffer)");
        if (withPlain && t.locked.Reads() > 0 && t.copied.Reads() > 0) {
            t.locked.Print("plain program, lockable back buffer locked");
            t.copied.Print(kSizes[size].whole ? "plain program, GetRenderTargetData into a kept surface"
                                              : "plain program, StretchRect and GetRenderTargetData, kept");
            const ReadTimes &platform = t.locked.ShareMs(0.5) < t.copied.ShareMs(0.5) ? t.locked : t.copied;
            std::printf("  library / faster plain road: median %.2fx, mean %.2fx, best %.2fx\n",
                        t.library.ShareMs(0.5) / platform.ShareMs(0.5), t.library.MeanMs() / platform.MeanMs(),
                        t.library.ShareMs(0.0) / platform.ShareMs(0.0));
        }
    }
    plain.Stop();
    ShutdownLibrary();
    return failed ? 1 : 0;
}
