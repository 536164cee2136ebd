// The game-wide colours, click detector and shared HP-bar picture.
#include "game/game_globals.h"

#include "korvo.h"

using namespace Korvo;

// Made by static initialisers in this order; before start-up the screen packs
// as X8R8G8B8, the format of the 32-bit screen the game asks for.
int ColorCyan = PackScreenColor(0, 255, 255);
int ColorBlue = PackScreenColor(0, 0, 255);
int ColorGreen = PackScreenColor(0, 255, 0);
int ColorRed = PackScreenColor(255, 0, 0);
int ColorBlack = PackScreenColor(0, 0, 0);

unsigned char MouseClicked[kMouseButtonCount];
int MouseHoldFrames[kMouseButtonCount];
int HpBarFrameGraph;

// A hold counter that marks a press carried over a scene change.
static const int kHeldAcrossSceneChange = -1;

// A click is reported in the frame after the release of a press
void UpdateMouseClicks()
{
    const int mask = GetMouseButtonMask();
    for (int b = 0; b < kMouseButtonCount; ++b) {
        if (mask & (1 << b)) {
            if (MouseHoldFrames[b] != kHeldAcrossSceneChange) {
                ++MouseHoldFrames[b];
            }
        } else {
            MouseClicked[b] = MouseHoldFrames[b] > 0 ? 1 : 0;
            MouseHoldFrames[b] = 0;
        }
    }
}

// Clear the clicks and mark the buttons held right now
void ForgetMouseClicksAtSceneChange()
{
    const int mask = GetMouseButtonMask();
    for (int b = 0; b < kMouseButtonCount; ++b) {
        MouseClicked[b] = 0;
        MouseHoldFrames[b] = (mask & (1 << b)) ? kHeldAcrossSceneChange : 0;
    }
}
