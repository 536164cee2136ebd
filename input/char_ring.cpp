// The input character ring and the character counting of text input.

#include "input/char_ring.h"

#include "core/text/dbcs_string.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Virtual keys of the editing keys (the platform's VK_ values).
constexpr int kVirtualKeyPrior = 0x21;
constexpr int kVirtualKeyNext = 0x22;
constexpr int kVirtualKeyEnd = 0x23;
constexpr int kVirtualKeyHome = 0x24;
constexpr int kVirtualKeyLeft = 0x25;
constexpr int kVirtualKeyUp = 0x26;
constexpr int kVirtualKeyRight = 0x27;
constexpr int kVirtualKeyDown = 0x28;
constexpr int kVirtualKeyDelete = 0x2E;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

const VirtualKeyControlCode VirtualKeyToControlCodeTable[] = {
    {kVirtualKeyDelete, kCharDelete}, {kVirtualKeyLeft, kCharLeft},
    {kVirtualKeyRight, kCharRight},   {kVirtualKeyUp, kCharUp},
    {kVirtualKeyDown, kCharDown},     {kVirtualKeyHome, kCharHome},
    {kVirtualKeyEnd, kCharEnd},       {kVirtualKeyPrior, kCharPageUp},
    {kVirtualKeyNext, kCharPageDown}, {0, 0},
};

static struct {
    unsigned char bytes[kInputCharRingSize];
    int writePosition;
    int readPosition;
} InputCharRing;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int NextRingPosition(int position)
{
    return position + 1 == kInputCharRingSize ? 0 : position + 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Empty the ring; 0
int ResetInputCharRing()
{
    InputCharRing.writePosition = 0;
    InputCharRing.readPosition = 0;
    return 0;
}

// Append a byte; 0, or -1 when the ring is full (the byte is dropped)
int PushInputCharToBuffer(unsigned char code)
{
    int next = NextRingPosition(InputCharRing.writePosition);
    if (next == InputCharRing.readPosition) {
        return -1;
    }
    InputCharRing.bytes[InputCharRing.writePosition] = code;
    InputCharRing.writePosition = next;
    return 0;
}

// Next character into out (terminated): 0 none (or a lead byte still alone),
// 1 single byte or control code, 2 double-byte; advance 0 only peeks
int TakeBufferedInputChar(char out[3], int advance)
{
    int position = InputCharRing.readPosition;
    if (position == InputCharRing.writePosition) {
        return 0;
    }
    unsigned char first = InputCharRing.bytes[position];
    position = NextRingPosition(position);
    int size = 1;
    out[0] = static_cast<char>(first);
    if (first >= 32 && IsMultiByteLeadByte(first, GetCharSetCode()) != 0) {
        // The trail byte may still be on its way: leave the lead byte waiting.
        if (position == InputCharRing.writePosition) {
            return 0;
        }
        out[1] = static_cast<char>(InputCharRing.bytes[position]);
        position = NextRingPosition(position);
        size = 2;
    }
    out[size] = 0;
    if (advance != 0) {
        InputCharRing.readPosition = position;
    }
    return size;
}

// The ring's read and write positions
void GetInputCharRingPositions(int *readPosition, int *writePosition)
{
    *readPosition = InputCharRing.readPosition;
    *writePosition = InputCharRing.writePosition;
}

// 1 when the byte is a control code of the key table, else 0
int IsTextControlCode(unsigned char code)
{
    for (const VirtualKeyControlCode *row = VirtualKeyToControlCodeTable; row->virtualKey != 0; ++row) {
        if (row->code == code) {
            return 1;
        }
    }
    return 0;
}

// Characters that start within the first byteCount bytes (stops at the terminator)
int CountCharsInBytes(const char *text, int byteCount)
{
    int count = 0;
    int offset = 0;
    while (offset < byteCount && text[offset] != 0) {
        int step = IsMultiByteLeadByte(static_cast<unsigned char>(text[offset]), GetCharSetCode()) != 0 &&
                           text[offset + 1] != 0
                       ? 2
                       : 1;
        offset += step;
        ++count;
    }
    return count;
}

} // namespace Korvo
