// A program written on korvo.h alone, built and linked as one outside the tree
// would be: it loads and draws graphs, filters one, makes fonts and writes with
// them (a Japanese string of this UTF-8 source among the texts), plays a sound,
// plays an Ogg Theora movie and a Motion-JPEG AVI through their graphs and reads
// a typed key. It writes its own picture and sound files.
//   korvo_only_program direct3d|software THEORA.ogv MOTION_JPEG.avi
// Prints one line per check and "N passed, N failed"; exits 1 when a check failed.

#include "korvo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace Korvo;

namespace {

int Passed = 0;
int Failed = 0;

void Check(bool ok, const char *what, const std::string &detail = "")
{
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what, detail.empty() ? "" : " - ", detail.c_str());
    std::fflush(stdout);
    (ok ? Passed : Failed) += 1;
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06x", value & 0xFFFFFF);
    return text;
}

// ---------------------------------------------------------------------------
// Files the program makes for itself
// ---------------------------------------------------------------------------

void PutLittleEndian(std::vector<unsigned char> *out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out->push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

bool WriteFile(const char *path, const std::vector<unsigned char> &bytes)
{
    FILE *file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// A 32x32 24-bit bitmap: left half red, right half blue.
bool WriteTwoColourBitmap(const char *path)
{
    const int side = 32;
    const uint32_t rowBytes = side * 3;
    std::vector<unsigned char> bmp = {'B', 'M'};
    PutLittleEndian(&bmp, 54 + rowBytes * side, 4);
    PutLittleEndian(&bmp, 0, 4);
    PutLittleEndian(&bmp, 54, 4);
    PutLittleEndian(&bmp, 40, 4);
    PutLittleEndian(&bmp, side, 4);
    PutLittleEndian(&bmp, side, 4);
    PutLittleEndian(&bmp, 1, 2);
    PutLittleEndian(&bmp, 24, 2);
    for (int i = 0; i < 6; ++i) {
        PutLittleEndian(&bmp, 0, 4);
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            bool left = x < side / 2;
            bmp.push_back(left ? 0x10 : 0xE0); // blue
            bmp.push_back(0x20);               // green
            bmp.push_back(left ? 0xD0 : 0x30); // red
        }
    }
    return WriteFile(path, bmp);
}

// Half a second of a 16-bit mono square wave at 22,050 Hz.
bool WriteSquareWave(const char *path)
{
    const uint32_t rate = 22050;
    const uint32_t samples = rate / 2;
    std::vector<unsigned char> wav = {'R', 'I', 'F', 'F'};
    PutLittleEndian(&wav, 36 + samples * 2, 4);
    for (char c : std::string("WAVEfmt ")) {
        wav.push_back(static_cast<unsigned char>(c));
    }
    PutLittleEndian(&wav, 16, 4);
    PutLittleEndian(&wav, 1, 2);
    PutLittleEndian(&wav, 1, 2);
    PutLittleEndian(&wav, rate, 4);
    PutLittleEndian(&wav, rate * 2, 4);
    PutLittleEndian(&wav, 2, 2);
    PutLittleEndian(&wav, 16, 2);
    for (char c : std::string("data")) {
        wav.push_back(static_cast<unsigned char>(c));
    }
    PutLittleEndian(&wav, samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        PutLittleEndian(&wav, (i / 25) % 2 != 0 ? 6000 : static_cast<uint16_t>(-6000), 2);
    }
    return WriteFile(path, wav);
}

// ---------------------------------------------------------------------------
// The screen, read back
// ---------------------------------------------------------------------------

// One pixel of the back screen as 0xRRGGBB (0xFFFFFFFF when the lock is refused).
uint32_t ReadScreenPixel(int x, int y)
{
    RasterImage image = {};
    const RECT one = {x, y, x + 1, y + 1};
    if (LockDrawScreenBuffer(&one, &image, -1, 1, 0) != 0) {
        return 0xFFFFFFFF;
    }
    uint32_t pixel = ReadImagePixelAsArgb(&image, 0, 0) & 0xFFFFFF;
    UnlockDrawScreenBuffer();
    return pixel;
}

// A rectangle of the back screen as 0xRRGGBB, row by row (empty when the lock
// is refused).
std::vector<uint32_t> ReadScreenArea(int x1, int y1, int x2, int y2)
{
    std::vector<uint32_t> pixels;
    RasterImage image = {};
    const RECT area = {x1, y1, x2, y2};
    if (LockDrawScreenBuffer(&area, &image, -1, 1, 0) != 0) {
        return pixels;
    }
    for (int y = 0; y < y2 - y1; ++y) {
        for (int x = 0; x < x2 - x1; ++x) {
            pixels.push_back(ReadImagePixelAsArgb(&image, x, y) & 0xFFFFFF);
        }
    }
    UnlockDrawScreenBuffer();
    return pixels;
}

// Pixels of a rectangle of the back screen that differ from the colour.
int CountPixelsUnlike(int x1, int y1, int x2, int y2, uint32_t colour)
{
    const std::vector<uint32_t> pixels = ReadScreenArea(x1, y1, x2, y2);
    if (pixels.empty()) {
        return -1;
    }
    int count = 0;
    for (uint32_t pixel : pixels) {
        count += pixel != colour ? 1 : 0;
    }
    return count;
}

bool Near(uint32_t pixel, int red, int green, int blue, int tolerance)
{
    return std::abs(static_cast<int>((pixel >> 16) & 0xFF) - red) <= tolerance &&
           std::abs(static_cast<int>((pixel >> 8) & 0xFF) - green) <= tolerance &&
           std::abs(static_cast<int>(pixel & 0xFF) - blue) <= tolerance;
}

// One frame step (present, pump, wait 20 ms); false once the application ends.
bool FrameStep()
{
    PresentBackScreen();
    if (ServiceMessageQueue() != 0) {
        return false;
    }
    WaitMillisecondsPumping(20);
    return true;
}

// Run frame steps until done answers true or the time runs out; whether done
// answered true.
bool RunFramesUntil(int limitMs, const std::function<bool()> &done)
{
    const int start = GetMillisecondClock();
    while (GetMillisecondClock() - start < limitMs) {
        if (done()) {
            return true;
        }
        if (!FrameStep()) {
            return false;
        }
    }
    return done();
}

// Run frame steps until done answers true, or until the sound's play position
// has stood still for stillLimit steps in a row; whether done answered true.
// Counted in steps, not wall time: on a loaded machine the whole process can
// stand still for seconds, sound time included, and a wall-clock bound would
// fail a sound that is fine. A sound that never starts, stops short or misses
// its end leaves its position standing and still fails.
bool RunFramesWhileSoundMoves(int sound, int stillLimit, const std::function<bool()> &done)
{
    const int kMaxSteps = 3000; // a position that moves for ever
    int position = GetSoundHandlePlayPositionMs(sound);
    int still = 0;
    for (int step = 0; step < kMaxSteps && still < stillLimit; ++step) {
        if (done()) {
            return true;
        }
        if (!FrameStep()) {
            return false;
        }
        const int now = GetSoundHandlePlayPositionMs(sound);
        still = now == position ? still + 1 : 0;
        position = now;
    }
    return done();
}

// ---------------------------------------------------------------------------
// The subsystems, as a program uses them
// ---------------------------------------------------------------------------

void GraphsAndFilter()
{
    Check(WriteTwoColourBitmap("two_colour.bmp"), "the picture file is written");
    const int graph = CreateGraphFromImageFile("two_colour.bmp", 0);
    Check(graph != -1 && IsGraphHandleReady(graph) == 1, "a graph loads from a picture file");
    int width = 0;
    int height = 0;
    const int sized = GetGraphOrScreenSize(graph, &width, &height);
    Check(sized == 0 && width == 32 && height == 32, "the graph is 32x32",
          std::to_string(width) + "x" + std::to_string(height));
    Check(GetGraphMovieHandle(graph) == -1, "a picture's graph has no movie");

    ClearDrawScreen();
    Check(DrawGraphAtPoint(100, 100, graph, 0) == 0, "the graph draws");
    uint32_t left = ReadScreenPixel(108, 116);
    uint32_t right = ReadScreenPixel(124, 116);
    Check(Near(left, 0xD0, 0x20, 0x10, 2) && Near(right, 0x30, 0x20, 0xE0, 2), "its two halves reach the screen",
          Hex(left) + " " + Hex(right));

    const int half = CreateSubGraph(16, 0, 16, 32, graph);
    ClearDrawScreen();
    Check(half != -1 && DrawGraphStretched(200, 100, 264, 164, half, 0) == 0, "a part of it draws stretched");
    Check(Near(ReadScreenPixel(232, 132), 0x30, 0x20, 0xE0, 2), "the part is the blue half",
          Hex(ReadScreenPixel(232, 132)));

    Check(ApplyGraphFilter(graph, 5) == 0, "the Invert filter runs on the graph");
    ClearDrawScreen();
    DrawGraphAtPoint(100, 100, graph, 0);
    left = ReadScreenPixel(108, 116);
    Check(Near(left, 0xFF - 0xD0, 0xFF - 0x20, 0xFF - 0x10, 3), "the filtered graph draws inverted", Hex(left));

    const int box = PackScreenColor(0, 255, 0);
    ClearDrawScreen();
    FillColorBox(300, 300, 340, 340, box);
    Check(Near(ReadScreenPixel(320, 320), 0, 255, 0, 0), "a filled box draws", Hex(ReadScreenPixel(320, 320)));

    Check(DestroyGraphHandle(half, 0) == 0 && DestroyGraphHandle(graph, 0) == 0, "the graphs are deleted");
    Check(IsGraphHandleReady(graph) == 0 && GetGraphMovieHandle(graph) == -1, "a deleted graph is refused");
}

void FontAndText()
{
    const int font = CreateFontHandleWithSettings(nullptr, nullptr, 24, -1, FontEdge, -1, 2, 0, -1, 0);
    Check(font != -1 && IsFontHandleValid(font) == 1, "a font is made with the library's settings");
    Check(GetFontPixelSizeToHandle(font) == 24, "the font is 24 pixels high",
          std::to_string(GetFontPixelSizeToHandle(font)));
    char face[256] = {};
    int size = 0;
    int thickness = 0;
    const int queried = QueryFontAttributesToHandle(face, &size, &thickness, font);
    Check(queried == 0 && thickness == 6, "an unset thickness is 6", std::to_string(thickness));
    int deleted = -1;
    Check(AttachFontDeleteFlagToHandle(font, &deleted) == 0 && deleted == 0, "the font takes a delete flag");

    SelectDrawTarget(-2);
    FillColorBox(0, 400, 300, 440, PackScreenColor(0, 0, 0));
    Check(DrawTextToHandle(10, 405, "Korvo", PackScreenColor(255, 255, 255), font, PackScreenColor(255, 0, 0), 0) == 0,
          "text draws with the font");
    const int lit = CountPixelsUnlike(0, 400, 300, 440, 0x000000);
    Check(lit > 40, "the text leaves its marks", std::to_string(lit) + " pixels");
    Check(CountPixelsUnlike(160, 400, 300, 440, 0x000000) == 0, "and none far right of it");

    const int named = CreateFontHandleWithSettings(nullptr, "", 12, 4, FontPlain, -1, -1, 0, -1, 0);
    Check(named != -1 && GetFontPixelSizeToHandle(named) == 12, "an empty face takes the default face");
}

// The strip of the screen where the Japanese text is drawn.
const int kStripX1 = 0;
const int kStripY1 = 440;
const int kStripX2 = 640;
const int kStripY2 = 476;

// The text strip cleared to black, then each text drawn at its x; the strip's pixels.
std::vector<uint32_t> DrawInStrip(const std::vector<std::pair<int, std::string>> &texts, int font)
{
    SelectDrawTarget(-2);
    FillColorBox(kStripX1, kStripY1, kStripX2, kStripY2, PackScreenColor(0, 0, 0));
    for (const auto &[x, text] : texts) {
        DrawTextToHandle(x, kStripY1 + 4, text.c_str(), PackScreenColor(255, 255, 255), font, 0, 0);
    }
    return ReadScreenArea(kStripX1, kStripY1, kStripX2, kStripY2);
}

// The rightmost column of the strip that is not black; -1 when none is.
int InkRightEdge(const std::vector<uint32_t> &strip)
{
    const int width = kStripX2 - kStripX1;
    int edge = -1;
    for (size_t i = 0; i < strip.size(); ++i) {
        if (strip[i] != 0) {
            edge = std::max(edge, static_cast<int>(i) % width);
        }
    }
    return edge;
}

// How far the pen moves over a text: drawn twice over, the second copy's ink ends
// that much further right.
int DrawnAdvance(int x, const std::string &text, int font)
{
    return InkRightEdge(DrawInStrip({{x, text + text}}, font)) - InkRightEdge(DrawInStrip({{x, text}}, font));
}

// Texts reach the library as cp932 bytes. This source is UTF-8 and the compile
// line's -fexec-charset=CP932 turns its literals into cp932; without the flag a
// literal keeps its UTF-8 bytes, which the library reads as other characters,
// some of them half-width.
void JapaneseText()
{
    // "Japanese shown": 表 is 0x95 0x5C, a trail byte that is a backslash in ASCII.
    const char text[] = "日本語の表示";
    const unsigned char cp932[] = {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x82, 0xCC, 0x95, 0x5C, 0x8E, 0xA6};
    const size_t length = std::strlen(text);
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", static_cast<unsigned char>(text[i]));
        bytes += hex;
    }
    Check(length == sizeof cp932 && std::memcmp(text, cp932, length) == 0, "a Japanese literal is cp932", bytes);

    const int size = 24;
    const int font = CreateFontHandleWithSettings(nullptr, nullptr, size, -1, FontPlain, -1, -1, 0, -1, 0);
    const int x = kStripX1 + 8;
    const std::vector<uint32_t> whole = DrawInStrip({{x, text}}, font);
    int lit = 0;
    for (uint32_t pixel : whole) {
        lit += pixel != 0 ? 1 : 0;
    }
    Check(lit > 200, "the Japanese string draws", std::to_string(lit) + " pixels");

    // The source's six characters: two bytes and one full-width glyph each. The
    // string is as wide as they are one by one, and drawn one by one at their
    // advances they give its pixels exactly.
    std::vector<std::pair<int, std::string>> pieces;
    std::string advances;
    bool fullWidth = true;
    int pen = x;
    for (size_t i = 0; i + 1 < length; i += 2) {
        const std::string one(text + i, 2);
        const int advance = DrawnAdvance(x, one, font);
        pieces.emplace_back(pen, one);
        pen += advance;
        advances += std::to_string(advance) + " ";
        fullWidth = fullWidth && advance > size * 3 / 4 && advance <= size + size / 4;
    }
    Check(pieces.size() == 6 && fullWidth, "the string is six full-width characters", advances);
    const int advance = DrawnAdvance(x, text, font);
    Check(advance == pen - x, "the string is as wide as its characters one by one",
          std::to_string(advance) + " and " + std::to_string(pen - x));
    const std::vector<uint32_t> apart = DrawInStrip(pieces, font);
    Check(!whole.empty() && apart == whole, "and draws as they do one by one",
          "ink ends at " + std::to_string(InkRightEdge(whole)) + " and " + std::to_string(InkRightEdge(apart)));
}

void Sound()
{
    Check(WriteSquareWave("square.wav"), "the sound file is written");
    const int sound = LoadSoundFileAsHandle("square.wav", 1, -1);
    Check(sound != -1, "a WAVE file loads into a sound handle");
    Check(GetSoundHandleLengthMs(sound) == 500, "it is 500 ms long", std::to_string(GetSoundHandleLengthMs(sound)));
    Check(StartSoundHandlePlayback(sound, PlayBackground, 1) == 0 && IsSoundHandlePlaying(sound) == 1,
          "it plays in the background");
    bool moved = RunFramesWhileSoundMoves(sound, 150, [&] { return GetSoundHandlePlayPositionMs(sound) > 0; });
    Check(moved, "its play position moves", std::to_string(GetSoundHandlePlayPositionMs(sound)) + " ms");
    bool ended = RunFramesWhileSoundMoves(sound, 250, [&] { return IsSoundHandlePlaying(sound) == 0; });
    Check(ended, "it ends by itself",
          ended ? "" : "still playing at " + std::to_string(GetSoundHandlePlayPositionMs(sound)) + " ms");
}

// Plays a movie graph, drawn each frame at (x, y); returns the colours seen at
// its centre, one per frame, over ms milliseconds.
std::vector<uint32_t> WatchMovie(int graph, int x, int y, int width, int height, int ms)
{
    std::vector<uint32_t> seen;
    RunFramesUntil(ms, [&] {
        ClearDrawScreen();
        DrawGraphAtPoint(x, y, graph, 0);
        seen.push_back(ReadScreenPixel(x + width / 4, y + height / 2));
        return false;
    });
    return seen;
}

int CountChanges(const std::vector<uint32_t> &colours, uint32_t *distinct)
{
    int changes = 0;
    std::vector<uint32_t> kinds;
    for (size_t i = 0; i < colours.size(); ++i) {
        changes += i > 0 && colours[i] != colours[i - 1] ? 1 : 0;
        bool known = false;
        for (uint32_t k : kinds) {
            known = known || k == colours[i];
        }
        if (!known) {
            kinds.push_back(colours[i]);
        }
    }
    *distinct = static_cast<uint32_t>(kinds.size());
    return changes;
}

void Movie(const char *path, const char *kind, bool checkPause)
{
    const int graph = CreateGraphFromImageFile(path, 0);
    Check(graph != -1, (std::string(kind) + " movie loads as a graph").c_str());
    const int movie = GetGraphMovieHandle(graph);
    Check(movie != -1, (std::string(kind) + " graph hands out its movie").c_str());
    int width = 0;
    int height = 0;
    GetGraphOrScreenSize(graph, &width, &height);
    Check(width == 64 && height == 48, (std::string(kind) + " frames are 64x48").c_str(),
          std::to_string(width) + "x" + std::to_string(height));

    Check(StartMoviePlayback(movie, 3, 0) == 0, (std::string(kind) + " movie starts, looped").c_str());
    uint32_t distinct = 0;
    std::vector<uint32_t> playing = WatchMovie(graph, 400, 200, width, height, 2500);
    int changes = CountChanges(playing, &distinct);
    int black = 0;
    for (uint32_t c : playing) {
        black += c == 0 ? 1 : 0;
    }
    Check(changes >= 3 && distinct >= 3, (std::string(kind) + " frames change while it plays").c_str(),
          std::to_string(changes) + " changes, " + std::to_string(distinct) + " colours in " +
              std::to_string(playing.size()) + " frames, last " + (playing.empty() ? "-" : Hex(playing.back())));
    Check(black * 2 < static_cast<int>(playing.size()), (std::string(kind) + " frames are not black").c_str(),
          std::to_string(black) + " black of " + std::to_string(playing.size()));

    if (checkPause) {
        Check(PauseMoviePlayback(movie, 0) == 0, (std::string(kind) + " movie pauses").c_str());
        std::vector<uint32_t> paused = WatchMovie(graph, 400, 200, width, height, 1000);
        changes = CountChanges(paused, &distinct);
        Check(changes == 0 && !paused.empty(), (std::string(kind) + " frames stop changing when paused").c_str(),
              std::to_string(changes) + " changes in " + std::to_string(paused.size()) + " frames");
        Check(StartMoviePlayback(movie, -1, 0) == 0, (std::string(kind) + " movie plays on").c_str());
        playing = WatchMovie(graph, 400, 200, width, height, 1500);
        Check(CountChanges(playing, &distinct) >= 2, (std::string(kind) + " frames change again").c_str());
    }
    Check(DestroyGraphHandle(graph, 0) == 0, (std::string(kind) + " graph is deleted").c_str());
}

// The runner presses K on the window until the program has read it.
void TypedKey()
{
    const int kKeyK = 0x25;
    bool held = false;
    std::string typed;
    std::printf("waiting for a key\n");
    std::fflush(stdout);
    bool read = RunFramesUntil(30000, [&] {
        held = held || IsKeyCodeDown(kKeyK) == 1;
        char character[3] = {};
        while (TakeBufferedInputChar(character, 1) != 0) {
            typed += character;
        }
        return held && typed.find('k') != std::string::npos;
    });
    Check(read, "a pressed K is seen held and typed",
          std::string("held ") + (held ? "yes" : "no") + ", typed \"" + typed + "\"");
    std::printf("key read\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4 || (std::strcmp(argv[1], "direct3d") != 0 && std::strcmp(argv[1], "software") != 0)) {
        std::fprintf(stderr, "usage: korvo_only_program direct3d|software THEORA.ogv MOTION_JPEG.avi\n");
        return 2;
    }
    const bool direct3D = std::strcmp(argv[1], "direct3d") == 0;
    SetAppWindowTitle("KorvoOnlyProgram");
    SetScreenResolutionAndDepth(640, 480, 32, 60);
    EnableLogFileOutput(1);
    SetLogFolder(".");
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(direct3D ? 1 : 0);
    if (StartLibrary() != 0) {
        std::printf("FAILED: the library starts\n0 passed, 1 failed\n");
        return 1;
    }
    SetWaitForVerticalBlank(0);

    GraphsAndFilter();
    FontAndText();
    JapaneseText();
    Sound();
    Movie(argv[2], "the Theora", true);
    Movie(argv[3], "the Motion-JPEG", false);
    TypedKey();

    Check(ShutdownLibrary() == 0, "the library shuts down");
    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed == 0 ? 0 : 1;
}
