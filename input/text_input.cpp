// Text-input records and their editing by characters and control codes.

#include "input/text_input.h"

#include "core/text/dbcs_string.h"
#include "core/log/error_log.h"
#include "core/memory/handle_manager.h"
#include "core/memory/tracked_alloc.h"
#include "input/char_ring.h"
#include "input/key_table.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

TextInputState TextInput;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool HasSelection(const TextInputRecord *record)
{
    return record->selectionAnchor != -1 && record->selectionEnd != -1;
}

static void ClearSelection(TextInputRecord *record)
{
    record->selectionAnchor = -1;
    record->selectionEnd = -1;
}

// Only a query result of exactly 1 is a held key: -1 means input did not start.
static bool IsShiftHeld(const TextEditServices &services)
{
    return services.queryKey(kKeyCodeLeftShift) == 1 || services.queryKey(kKeyCodeRightShift) == 1;
}

static void RemoveBytes(TextInputRecord *record, int at, int count)
{
    std::memmove(record->text + at, record->text + at + count, static_cast<size_t>(record->length - at - count));
    record->length -= count;
    record->text[record->length] = 0;
}

static int CharSizeAt(const TextInputRecord *record, int offset)
{
    return ClassifyMultiByteOffset(record->text, offset, GetCharSetCode()) == 1 && offset + 1 < record->length ? 2 : 1;
}

static int CharSizeBefore(const TextInputRecord *record, int offset)
{
    return offset >= 2 && ClassifyMultiByteOffset(record->text, offset - 1, GetCharSetCode()) == 2 ? 2 : 1;
}

static void CopySelectionToClipboard(const TextInputRecord *record, const TextEditServices &services)
{
    int low = record->selectionAnchor < record->selectionEnd ? record->selectionAnchor : record->selectionEnd;
    int high = record->selectionAnchor < record->selectionEnd ? record->selectionEnd : record->selectionAnchor;
    char *copy = static_cast<char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(high - low + 1)));
    if (copy == nullptr) {
        return;
    }
    std::memcpy(copy, record->text + low, static_cast<size_t>(high - low));
    copy[high - low] = 0;
    services.writeClipboard(copy);
    TrackedFree(copy);
}

static bool IsAcceptedByRecord(const TextInputRecord *record, const char *character, int size)
{
    if (record->numericOnly != 0) {
        char c = character[0];
        if (size != 1) {
            return false;
        }
        if (c == '-') {
            return record->cursor == 0;
        }
        if (c == '.') {
            return std::memchr(record->text, '.', static_cast<size_t>(record->length)) == nullptr;
        }
        return c >= '0' && c <= '9';
    }
    if (record->singleByteOnly != 0 && size == 2) {
        return false;
    }
    if (record->doubleByteOnly != 0 && size == 1) {
        return false;
    }
    return true;
}

// Insert a character as text: selection replaced, limits applied, the text's
// end trimmed to make room.
static void InsertTextChar(TextInputRecord *record, const char *character, int size)
{
    DeleteTextInputSelection(record);
    if (!IsAcceptedByRecord(record, character, size)) {
        return;
    }
    // A character larger than the whole limit can never fit; trimming for it
    // would empty the text and then spin.
    if (size > record->maxLength) {
        return;
    }
    while (record->length + size > record->maxLength) {
        int last = CharSizeBefore(record, record->length);
        bool cursorAtEnd = record->cursor == record->length;
        RemoveBytes(record, record->length - last, last);
        if (cursorAtEnd || record->cursor > record->length) {
            record->cursor = record->length;
        }
    }
    std::memmove(record->text + record->cursor + size, record->text + record->cursor,
                 static_cast<size_t>(record->length - record->cursor));
    std::memcpy(record->text + record->cursor, character, static_cast<size_t>(size));
    record->cursor += size;
    record->length += size;
    record->text[record->length] = 0;
    if (record->viewPosition > record->length) {
        record->viewPosition = record->length;
    }
}

// Pasted bytes are text: control bytes among them are inserted, never run.
static void PasteClipboardText(TextInputRecord *record, const TextEditServices &services)
{
    int size = services.readClipboard(nullptr, 0);
    if (size <= 0) {
        return;
    }
    char *text = static_cast<char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(size) + 1));
    if (text == nullptr) {
        return;
    }
    if (services.readClipboard(text, size) == 0) {
        text[size] = 0;
        for (int i = 0; text[i] != 0;) {
            unsigned char byte = static_cast<unsigned char>(text[i]);
            int charSize = IsMultiByteLeadByte(byte, GetCharSetCode()) != 0 && text[i + 1] != 0 ? 2 : 1;
            if (byte != '\r' && byte != '\n') {
                InsertTextChar(record, text + i, charSize);
            }
            i += charSize;
        }
    }
    TrackedFree(text);
}

static void MoveCursorBy(TextInputRecord *record, int step, bool shift)
{
    if (shift) {
        if (!HasSelection(record)) {
            record->selectionAnchor = record->cursor;
        }
        record->cursor += step;
        record->selectionEnd = record->cursor;
    } else {
        record->cursor += step;
        ClearSelection(record);
    }
}

static void EndTextInput(TextInputRecord *record, int cancelled)
{
    record->ended = 1;
    record->cancelled = cancelled;
    TextInput.activeHandle = -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Start-up: zero the state, no active handle; 0
int InitTextInputState()
{
    AppendLogText("文字コードバッファの初期化を行います... ");
    TextInput = TextInputState{};
    TextInput.activeHandle = -1;
    ResetInputCharRing();
    AppendLogText("完了しました\n");
    return 0;
}

// The record of a valid handle, else null
TextInputRecord *LookupTextInputRecord(int handle)
{
    if (handle < 0 || HandleKindOf(handle) != kTextInputHandleKind) {
        return nullptr;
    }
    int slot = HandleSlotOf(handle);
    if (slot >= kTextInputSlotCount) {
        return nullptr;
    }
    TextInputRecord *record = &TextInput.records[slot];
    if (record->inUse == 0 || record->checkValue != HandleCheckOf(handle)) {
        return nullptr;
    }
    return record;
}

// Make a record (buffer of maxLength + 1 bytes) and make it active; its handle, or -1
int CreateTextInputRecord(int maxLength, int escCancels, int singleByteOnly, int numericOnly, int doubleByteOnly)
{
    if (maxLength < 0) {
        return -1;
    }
    for (int slot = 0; slot < kTextInputSlotCount; ++slot) {
        TextInputRecord *record = &TextInput.records[slot];
        if (record->inUse != 0) {
            continue;
        }
        char *text = static_cast<char *>(KORVO_TRACKED_ALLOC_ZEROED(static_cast<size_t>(maxLength) + 1));
        if (text == nullptr) {
            return -1;
        }
        TextInput.lastCheckValue = TextInput.lastCheckValue >= kHandleMaxCheckValue ? 0 : TextInput.lastCheckValue + 1;
        *record = TextInputRecord{};
        record->inUse = 1;
        record->checkValue = TextInput.lastCheckValue;
        record->maxLength = maxLength;
        record->text = text;
        record->escCancels = escCancels;
        record->singleByteOnly = singleByteOnly;
        record->numericOnly = numericOnly;
        record->doubleByteOnly = doubleByteOnly;
        ClearSelection(record);
        TextInput.activeHandle = MakeHandleValue(kTextInputHandleKind, record->checkValue, slot);
        return TextInput.activeHandle;
    }
    return -1;
}

// Free a handle's buffer and slot; -1 for an invalid handle (the IME is left to the caller)
int ReleaseTextInputRecord(int handle)
{
    TextInputRecord *record = LookupTextInputRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    TrackedFree(record->text);
    *record = TextInputRecord{};
    if (TextInput.activeHandle == handle) {
        TextInput.activeHandle = -1;
    }
    return 0;
}

// 1 while any slot is in use
int IsAnyTextInputInUse()
{
    for (const TextInputRecord &record : TextInput.records) {
        if (record.inUse != 0) {
            return 1;
        }
    }
    return 0;
}

// Remove the selected bytes, cursor to their start; 0
int DeleteTextInputSelection(TextInputRecord *record)
{
    if (!HasSelection(record)) {
        return 0;
    }
    int low = record->selectionAnchor < record->selectionEnd ? record->selectionAnchor : record->selectionEnd;
    int high = record->selectionAnchor < record->selectionEnd ? record->selectionEnd : record->selectionAnchor;
    RemoveBytes(record, low, high - low);
    record->cursor = low;
    ClearSelection(record);
    if (record->viewPosition > record->length) {
        record->viewPosition = record->length;
    }
    return 0;
}

// Apply one character or control code to the record; 1 when it ended the input
int ApplyCharToTextInput(TextInputRecord *record, const char *character, int size, const TextEditServices &services)
{
    unsigned char code = static_cast<unsigned char>(character[0]);
    switch (size == 1 ? code : 0xFF) {
    case kCharCopy:
        if (HasSelection(record)) {
            CopySelectionToClipboard(record, services);
        }
        return 0;
    case kCharBackspace:
        if (HasSelection(record)) {
            DeleteTextInputSelection(record);
        } else if (record->cursor > 0) {
            int step = CharSizeBefore(record, record->cursor);
            record->cursor -= step;
            RemoveBytes(record, record->cursor, step);
        }
        return 0;
    case kCharTab:
    case kCharUp:
    case kCharDown:
        return 0;
    case kCharEnter:
        EndTextInput(record, 0);
        return 1;
    case kCharDelete:
        if (!HasSelection(record)) {
            if (record->cursor < record->length) {
                RemoveBytes(record, record->cursor, CharSizeAt(record, record->cursor));
            }
        } else if (IsShiftHeld(services)) {
            CopySelectionToClipboard(record, services);
            DeleteTextInputSelection(record);
        } else {
            DeleteTextInputSelection(record);
        }
        return 0;
    case kCharCut:
        if (HasSelection(record)) {
            CopySelectionToClipboard(record, services);
            DeleteTextInputSelection(record);
        }
        return 0;
    case kCharPaste:
        PasteClipboardText(record, services);
        return 0;
    case kCharEnd:
    case kCharHome: {
        int target = code == kCharEnd ? record->length : 0;
        if (IsShiftHeld(services)) {
            if (!HasSelection(record)) {
                record->selectionAnchor = record->cursor;
            }
            record->selectionEnd = target;
        } else {
            ClearSelection(record);
        }
        record->cursor = target;
        return 0;
    }
    case kCharEscape:
        if (record->escCancels != 0) {
            EndTextInput(record, 1);
            return 1;
        }
        return 0;
    case kCharRight:
        if (record->cursor < record->length) {
            MoveCursorBy(record, CharSizeAt(record, record->cursor), IsShiftHeld(services));
        }
        return 0;
    case kCharLeft:
        if (record->cursor > 0) {
            MoveCursorBy(record, -CharSizeBefore(record, record->cursor), IsShiftHeld(services));
        }
        return 0;
    default:
        InsertTextChar(record, character, size);
        return 0;
    }
}

// Feed the ring to the active handle; 0, or -1 for an invalid active handle
int FeedRingToActiveTextInput(const TextEditServices &services)
{
    if (TextInput.activeHandle == -1) {
        return 0;
    }
    TextInputRecord *record = LookupTextInputRecord(TextInput.activeHandle);
    if (record == nullptr) {
        return -1;
    }
    if (record->ended != 0) {
        return 0;
    }
    char character[3];
    int size = 0;
    while ((size = TakeBufferedInputChar(character, 1)) != 0) {
        if (ApplyCharToTextInput(record, character, size, services) != 0) {
            break;
        }
    }
    return 0;
}

} // namespace Korvo
