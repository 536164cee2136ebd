// A recording stand-in of the library operations the game calls, so the game's
// rules run in the host build without a window: draws and sounds are recorded,
// mouse input, random numbers and the number of frames are scripted.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct RecordedDraw {
    std::string what;  // picture file ("file#piece" for cut sheets), "box", "circle" or the text
    int x;
    int y;
    int blendMode;
    int blendParam;
    int colour;
};

struct FakeLibraryState {
    std::map<int, std::string> graphNames;
    std::vector<RecordedDraw> draws;
    std::deque<int> randomValues;  // then 0; each must lie in the bound asked for
    int soundStarts = 0;
    int mouseMask = 0;
    int cursorX = 0;
    int cursorY = 0;
    int fontSize = 16;
    int blendMode = 0;
    int blendParam = 0;
    int framesServed = 0;
    int frameLimit = 0;        // ServiceMessageQueue reports -1 once this many frames ran
    bool startFails = false;
    // Called after each frame with its number (from 0), to script the next one's input
    std::function<void(int)> beforeNextFrame;
    int nextHandle = 100;
};

extern FakeLibraryState Fake;

// Start every test from a fresh stand-in (and no clicks or holds).
void ResetFakeLibrary();
// The handle the stand-in gave the picture file, or -1.
int FakeGraphOf(const std::string &file);
// The draws of one picture file or text.
int CountDraws(const std::string &what);
// Whether the picture file or text was drawn at (x, y).
bool DrewAt(const std::string &what, int x, int y);
