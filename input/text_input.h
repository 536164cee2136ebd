// Text-input records: single-line editable texts with a cursor, a selection, a
// byte limit and character-class limits, kept in a table of their own (handle
// kind 9) and edited by the characters and control codes of the input ring.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kTextInputHandleKind = 9;
constexpr int kTextInputSlotCount = 256;
constexpr int kImeTextCapacity = 1024;
constexpr int kImeClauseCapacity = 4096;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct TextInputRecord {
    int32_t inUse;
    int32_t checkValue;
    int32_t ended;           // 1 after Enter or Esc
    int32_t cancelled;       // 1 after Esc
    int32_t length;          // bytes
    int32_t maxLength;       // bytes
    int32_t selectionAnchor; // -1 with selectionEnd -1: no selection
    int32_t selectionEnd;
    int32_t viewPosition;
    int32_t cursor; // bytes
    char *text;     // owned, maxLength + 1 bytes
    int32_t escCancels;
    int32_t singleByteOnly;
    int32_t numericOnly;
    int32_t doubleByteOnly;
};

// IME composition and candidate state of the main window.
struct ImeState {
    int composing;
    int compositionCursor; // characters
    char composition[kImeTextCapacity];
    uint8_t clauses[kImeClauseCapacity];
    int clauseCount; // bytes / 4
    uint8_t attributes[kImeTextCapacity];
    int attributeCount;
    void *candidateList; // tracked block, or null
    int candidateListSize;
    int enabled;
    int openStatus;
    int restoreStep; // 0 none, 1-4
    char savedComposition[kImeTextCapacity];
};

struct TextInputState {
    ImeState ime;
    TextInputRecord records[kTextInputSlotCount];
    int activeHandle; // -1 none
    int lastCheckValue;
};

// What editing needs from outside the record: Shift and the clipboard.
struct TextEditServices {
    // IsKeyCodeDown of a key code: 1 held, 0 not, -1 when input could not start
    int (*queryKey)(int keyCode);
    // Clipboard text size with a null buffer, else copy; -1 when there is none
    int (*readClipboard)(char *buffer, int bufferSize);
    int (*writeClipboard)(const char *text);
};

extern TextInputState TextInput;

// ---------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------

// Start-up: zero the state, no active handle; 0
int InitTextInputState();
// The record of a valid handle, else null
TextInputRecord *LookupTextInputRecord(int handle);
// Make a record (buffer of maxLength + 1 bytes) and make it active; its handle, or -1
int CreateTextInputRecord(int maxLength, int escCancels, int singleByteOnly, int numericOnly, int doubleByteOnly);
// Free a handle's buffer and slot; -1 for an invalid handle (the IME is left to the caller)
int ReleaseTextInputRecord(int handle);
// 1 while any slot is in use
int IsAnyTextInputInUse();
// Remove the selected bytes, cursor to their start; 0
int DeleteTextInputSelection(TextInputRecord *record);
// Apply one character or control code to the record; 1 when it ended the input
int ApplyCharToTextInput(TextInputRecord *record, const char *character, int size, const TextEditServices &services);
// Feed the ring to the active handle; 0, or -1 for an invalid active handle
int FeedRingToActiveTextInput(const TextEditServices &services);

} // namespace Korvo
