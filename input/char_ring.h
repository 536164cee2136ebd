// The input character ring: typed bytes, editing control codes and IME result
// strings wait here until the message pump feeds them to the active text input.
#pragma once

#include "input/public_api.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// 1,025 positions; one stays free so that full and empty differ.
constexpr int kInputCharRingSize = 1025;

// Editing control codes (bytes below 32).
constexpr unsigned char kCharCopy = 3;
constexpr unsigned char kCharBackspace = 8;
constexpr unsigned char kCharTab = 9;
constexpr unsigned char kCharEnter = 13;
constexpr unsigned char kCharDelete = 16;
constexpr unsigned char kCharPageDown = 21;
constexpr unsigned char kCharPaste = 22;
constexpr unsigned char kCharPageUp = 23;
constexpr unsigned char kCharCut = 24;
constexpr unsigned char kCharEnd = 25;
constexpr unsigned char kCharHome = 26;
constexpr unsigned char kCharEscape = 27;
constexpr unsigned char kCharRight = 28;
constexpr unsigned char kCharLeft = 29;
constexpr unsigned char kCharUp = 30;
constexpr unsigned char kCharDown = 31;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One row of the key → control code table the window procedure uses.
struct VirtualKeyControlCode {
    int virtualKey;
    unsigned char code;
};

// Rows, ending with a 0 key.
extern const VirtualKeyControlCode VirtualKeyToControlCodeTable[];

// ---------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------

// Empty the ring; 0
int ResetInputCharRing();
// Append a byte; 0, or -1 when the ring is full (the byte is dropped)
int PushInputCharToBuffer(unsigned char code);
// The ring's read and write positions
void GetInputCharRingPositions(int *readPosition, int *writePosition);
// 1 when the byte is a control code of the key table, else 0
int IsTextControlCode(unsigned char code);
// Characters that start within the first byteCount bytes (stops at the terminator)
int CountCharsInBytes(const char *text, int byteCount);

} // namespace Korvo
