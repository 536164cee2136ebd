// Values the whole game shares: the five screen colours, the per-frame mouse
// clicks and the HP-bar frame picture.
#pragma once

// The five colours in the screen's packed format, made before the library starts.
extern int ColorCyan;
extern int ColorBlue;
extern int ColorGreen;
extern int ColorRed;
extern int ColorBlack;

// Mouse buttons in the order of the input mask bits.
enum MouseButtonIndex { kMouseLeft = 0, kMouseRight = 1, kMouseMiddle = 2, kMouseButtonCount = 3 };

// 1 in the frame in which the button counts as clicked.
extern unsigned char MouseClicked[kMouseButtonCount];
// Consecutive frames with the button down; -1 while a press that began before
// the last scene change is still held (that press never counts as a click).
extern int MouseHoldFrames[kMouseButtonCount];

// "img/bar_waku.png", loaded by the first unit made; 0 before.
extern int HpBarFrameGraph;

// Poll the mouse buttons once per frame and update the click flags.
void UpdateMouseClicks();
// Forget the clicks and holds of the old scene: a button still down now is not
// reported as a click when it is released in the new scene.
void ForgetMouseClicksAtSceneChange();
