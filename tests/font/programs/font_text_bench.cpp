// Cost of changing the standard font's size and of drawing a 20-character
// string, cold (glyphs not yet cached) and warm, on the Direct3D road under Wine
// (the fonts are the system's, so this runs as a Windows program). Writes
// font_text_bench.txt in the current folder.

#include "korvo.h"
#include "font/font_record.h"

#include <windows.h>

#include <cstdio>

using namespace Korvo;

static double NowMicroseconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return counter.QuadPart * 1e6 / frequency.QuadPart;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetAppWindowTitle("KorvoFontBench");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(1);
    if (StartLibrary() != 0) {
        return 1;
    }
    FILE *out = std::fopen("font_text_bench.txt", "w");
    const char text[] = "ステージ1 開始まであと10秒です！！。"; // 20 characters
    const int sizes[4] = {16, 20, 24, 30};
    const int rounds = 40;

    double start = NowMicroseconds();
    for (int i = 0; i < 4; ++i) {
        SetStandardFontPixelSize(sizes[i]);
    }
    double firstChange = (NowMicroseconds() - start) / 4;
    start = NowMicroseconds();
    for (int i = 4; i < rounds; ++i) {
        SetStandardFontPixelSize(sizes[i % 4]);
    }
    double sizeChange = (NowMicroseconds() - start) / (rounds - 4);

    double cold = 0, warm = 0;
    for (int i = 0; i < rounds; ++i) {
        SetStandardFontPixelSize(sizes[i % 4]);
        if (i < 4) {
            continue; // every size once, so the cold draws below come from a fresh cache
        }
        ResetFontGlyphCache(GetStandardFontHandle(), 0);
        double t0 = NowMicroseconds();
        DrawTextWithStandardFont(10, 10, text, PackScreenColor(255, 255, 255), 0);
        double t1 = NowMicroseconds();
        DrawTextWithStandardFont(10, 10, text, PackScreenColor(255, 255, 255), 0);
        double t2 = NowMicroseconds();
        cold += t1 - t0;
        warm += t2 - t1;
    }
    PresentBackScreen();
    std::fprintf(out, "standard font size change to a new size: %.1f us\n", firstChange);
    std::fprintf(out, "standard font size change among 4 recent sizes: %.1f us\n", sizeChange);
    std::fprintf(out, "20-character string, cold cache: %.1f us\n", cold / (rounds - 4));
    std::fprintf(out, "20-character string, warm cache: %.1f us\n", warm / (rounds - 4));
    std::fclose(out);
    ShutdownLibrary();
    return 0;
}
