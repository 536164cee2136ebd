// Input entries of the core runtime's sequences, until input is built.
//
// No input device, character buffer or text input exists yet: these entries
// start, read and feed nothing, and report no input. They are replaced by the
// input subsystem's own code.

#include "input/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: starts no device; nothing that could fail.
int InitInputDevices()
{
    return 0;
}

// Not built yet: no device to end.
int TermInputDevices()
{
    return 0;
}

// Not built yet: there is no text-input state.
int InitTextInputState()
{
    return 0;
}

// Not built yet: no keyboard state is kept.
int RefreshKeyboardStateArray(int pumpFlag)
{
    (void)pumpFlag;
    return 0;
}

// Not built yet: no pad vibrates.
int UpdateJoypadVibrationTimers()
{
    return 0;
}

// Not built yet: no text input to feed.
int FeedBufferedCharsToTextInput()
{
    return 0;
}

// Not built yet: no device is read, so no input is reported as held.
int GetFirstPressedInput(int mask)
{
    (void)mask;
    return 0;
}

// Not built yet: there is no buffer; the byte is dropped as from a full one.
int PushInputCharToBuffer(unsigned char code)
{
    (void)code;
    return -1;
}

// Not built yet: an empty buffer's positions.
void GetInputCharRingPositions(int *readPosition, int *writePosition)
{
    *readPosition = 0;
    *writePosition = 0;
}

// Not built yet: the key flags are not kept.
int SetF10KeyDownFlag()
{
    return 0;
}

int ClearF10KeyDownFlag()
{
    return 0;
}

int SetSecondHookKeyFlag()
{
    return 0;
}

int ClearSecondHookKeyFlag()
{
    return 0;
}

// Not built yet: no device to re-acquire.
int ReacquireInputDevices()
{
    return 0;
}

// Not built yet: no pad vibrates.
int ApplyJoypadVibrationStates()
{
    return 0;
}

// Not built yet: no text-input handles exist.
int DeleteAllTextInputHandles()
{
    return 0;
}

// Not built yet: text input never uses the IME.
int GetImeEnabledFlag()
{
    return 0;
}

// Not built yet: the IME never takes part.
int GetImeActiveFlag()
{
    return 0;
}

// Not built yet: there are no IME reset steps to run.
void SetImeResetPending(int pending)
{
    (void)pending;
}

} // namespace Korvo
