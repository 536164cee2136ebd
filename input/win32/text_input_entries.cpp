// Text input on Windows: the per-frame feed of the input ring (with the IME
// restore that an activation asked for) and the deletion of text-input handles.

#include "input/win32/window_message_entries.h"

#include "core/memory/handle_manager.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "input/public_api.h"
#include "input/startup_entries.h"
#include "input/text_input.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static const TextEditServices WindowsTextEditServices = {IsKeyCodeDown, ReadClipboardAnsiText, WriteClipboardAnsiText};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Feed buffered input characters to the active text input; 0, or -1 for an invalid active handle
int FeedBufferedCharsToTextInput()
{
    RunImeRestoreSteps();
    return FeedRingToActiveTextInput(WindowsTextEditServices);
}

// Delete a text-input handle (the IME goes off with the last one); 0, or -1 for an invalid handle
int DeleteTextInputHandle(int handle)
{
    if (ReleaseTextInputRecord(handle) == -1) {
        return -1;
    }
    if (IsAnyTextInputInUse() == 0) {
        SetImeInputEnabled(0);
    }
    return 0;
}

// Delete every text-input handle; 0
int DeleteAllTextInputHandles()
{
    for (int slot = 0; slot < kTextInputSlotCount; ++slot) {
        const TextInputRecord &record = TextInput.records[slot];
        if (record.inUse != 0) {
            DeleteTextInputHandle(MakeHandleValue(kTextInputHandleKind, record.checkValue, slot));
        }
    }
    TextInput.activeHandle = -1;
    // A list kept with no text input open would outlive the window.
    DropImeCandidateList();
    return 0;
}

} // namespace Korvo
