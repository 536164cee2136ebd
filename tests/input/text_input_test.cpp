// Editing a text-input record with typed characters and control codes.

#include "input/char_ring.h"
#include "input/text_input.h"

#include "core/memory/handle_manager.h"

#include <gtest/gtest.h>

#include <string>

using namespace Korvo;

namespace {

// What the fake Shift query answers: 1 held, 0 not, -1 input could not start.
int ShiftQueryResult = 0;
bool ClipboardHasText = false;
std::string ClipboardText;

int QueryKey(int keyCode)
{
    return keyCode == 42 ? ShiftQueryResult : 0;
}

int ReadClipboard(char *buffer, int bufferSize)
{
    if (!ClipboardHasText) {
        return -1;
    }
    if (buffer == nullptr) {
        return static_cast<int>(ClipboardText.size()) + 1;
    }
    ClipboardText.copy(buffer, static_cast<size_t>(bufferSize));
    buffer[std::min(static_cast<int>(ClipboardText.size()), bufferSize - 1)] = 0;
    return 0;
}

int WriteClipboard(const char *text)
{
    ClipboardHasText = true;
    ClipboardText = text;
    return 0;
}

const TextEditServices FakeServices = {QueryKey, ReadClipboard, WriteClipboard};

// Control codes as text, for the tables.
#define LEFT "\x1D"
#define RIGHT "\x1C"
#define HOME "\x1A"
#define END "\x19"
#define BS "\x08"
#define DEL "\x10"
#define PASTE "\x16"
#define COPY "\x03"
#define CUT "\x18"
#define ENTER "\x0D"
#define ESC "\x1B"
#define A_KANA "\x82\xA0"

enum RecordKind { kAny, kNumeric, kSingleByte, kDoubleByte, kEscCancels };

struct EditCase {
    const char *name;
    RecordKind kind;
    int maxLength;
    const char *typed;     // first part, typed without Shift
    int shift;             // Shift query result while the second part is fed
    const char *withShift; // second part
    const char *released;  // third part, Shift released again
    const char *clipboard; // null: the clipboard holds no text
    const char *text;      // expected
    int cursor;
    int anchor;
    int end;
    const char *clipboardAfter;
};

const EditCase kEditCases[] = {
    {"insert at the cursor", kAny, 16, "ab" LEFT "X", 0, "", "", nullptr, "aXb", 2, -1, -1, nullptr},
    {"backspace takes a double-byte character whole", kAny, 16, "a" A_KANA BS, 0, "", "", nullptr, "a", 1, -1, -1,
     nullptr},
    {"left steps over a double-byte character", kAny, 16, "ab" A_KANA "c" LEFT LEFT DEL, 0, "", "", nullptr, "abc", 2,
     -1, -1, nullptr},
    {"right steps over a double-byte character", kAny, 16, A_KANA "z" HOME RIGHT "-", 0, "", "", nullptr, A_KANA "-z",
     3, -1, -1, nullptr},
    {"numeric: sign only first, one point", kNumeric, 16, "-1-2.3.4x", 0, "", "", nullptr, "-12.34", 6, -1, -1,
     nullptr},
    {"single-byte only refuses double-byte", kSingleByte, 16, "a" A_KANA "b", 0, "", "", nullptr, "ab", 2, -1, -1,
     nullptr},
    {"double-byte only refuses single-byte", kDoubleByte, 16, "a" A_KANA "b", 0, "", "", nullptr, A_KANA, 2, -1, -1,
     nullptr},
    {"a full record drops from its end", kAny, 4, "abcd" HOME "X", 0, "", "", nullptr, "Xabc", 1, -1, -1, nullptr},
    {"a full record drops a whole double-byte character", kAny, 3, "b" A_KANA HOME "a", 0, "", "", nullptr, "ab", 1, -1,
     -1, nullptr},
    {"a character larger than the limit is refused", kAny, 1, A_KANA "z", 0, "", "", nullptr, "z", 1, -1, -1, nullptr},
    {"tab, up and down change nothing", kAny, 16, "ab\x09\x1E\x1F", 0, "", "", nullptr, "ab", 2, -1, -1, nullptr},
    {"esc without the cancel flag is ignored", kAny, 16, "a" ESC "b", 0, "", "", nullptr, "ab", 2, -1, -1, nullptr},
    {"shift+home selects to the start", kAny, 16, "abc", 1, HOME, "", nullptr, "abc", 0, 3, 0, nullptr},
    {"shift+left then typing replaces the selection", kAny, 16, "abc", 1, LEFT LEFT "X", "", nullptr, "aX", 2, -1, -1,
     nullptr},
    {"a failed Shift query is not a held Shift", kAny, 16, "abc", -1, HOME "X", "", nullptr, "Xabc", 1, -1, -1,
     nullptr},
    {"shift+delete cuts the selection", kAny, 16, "abc", 1, HOME DEL, "", nullptr, "", 0, -1, -1, "abc"},
    {"delete without shift only deletes", kAny, 16, "xyz", 1, LEFT LEFT, DEL, "keep", "x", 1, -1, -1, "keep"},
    {"copy leaves the text", kAny, 16, "abc", 1, END LEFT COPY, "", nullptr, "abc", 2, 3, 2, "c"},
    {"cut removes the selection", kAny, 16, "abc", 1, HOME RIGHT, CUT, nullptr, "a", 1, -1, -1, "bc"},
    {"paste inserts the clipboard without line breaks", kAny, 16, "<>" LEFT PASTE, 0, "", "", "a\r\nb" A_KANA,
     "<ab" A_KANA ">", 5, -1, -1, "a\r\nb" A_KANA},
    {"pasted control bytes are text, not commands", kAny, 16, PASTE, 0, "", "", "x" PASTE BS "y", "x" PASTE BS "y", 4,
     -1, -1, "x" PASTE BS "y"},
    {"paste without clipboard text does nothing", kAny, 16, "a" PASTE "b", 0, "", "", nullptr, "ab", 2, -1, -1,
     nullptr},
};

class TextInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitTextInputState();
        ShiftQueryResult = 0;
        ClipboardHasText = false;
        ClipboardText.clear();
    }

    void TearDown() override
    {
        for (int slot = 0; slot < kTextInputSlotCount; ++slot) {
            if (TextInput.records[slot].inUse != 0) {
                ReleaseTextInputRecord(MakeHandleValue(kTextInputHandleKind, TextInput.records[slot].checkValue, slot));
            }
        }
    }

    static void Feed(const std::string &bytes)
    {
        for (char c : bytes) {
            ASSERT_EQ(PushInputCharToBuffer(static_cast<unsigned char>(c)), 0);
        }
        ASSERT_EQ(FeedRingToActiveTextInput(FakeServices), 0);
    }
};

TEST_F(TextInputTest, EditingRules)
{
    for (const EditCase &c : kEditCases) {
        SCOPED_TRACE(c.name);
        ResetInputCharRing();
        ShiftQueryResult = 0;
        ClipboardHasText = c.clipboard != nullptr;
        ClipboardText = c.clipboard != nullptr ? c.clipboard : "";
        int handle = CreateTextInputRecord(c.maxLength, c.kind == kEscCancels, c.kind == kSingleByte,
                                           c.kind == kNumeric, c.kind == kDoubleByte);
        ASSERT_NE(handle, -1);
        Feed(c.typed);
        ShiftQueryResult = c.shift;
        Feed(c.withShift);
        ShiftQueryResult = 0;
        Feed(c.released);
        const TextInputRecord *record = LookupTextInputRecord(handle);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(std::string(record->text), c.text);
        EXPECT_EQ(record->length, static_cast<int>(std::string(c.text).size()));
        EXPECT_EQ(record->cursor, c.cursor);
        EXPECT_EQ(record->selectionAnchor, c.anchor);
        EXPECT_EQ(record->selectionEnd, c.end);
        EXPECT_EQ(ClipboardHasText ? ClipboardText : std::string("(none)"),
                  c.clipboardAfter != nullptr ? c.clipboardAfter : "(none)");
        char rest[3];
        EXPECT_EQ(TakeBufferedInputChar(rest, 0), 0) << "the ring was not emptied";
        ReleaseTextInputRecord(handle);
    }
}

TEST_F(TextInputTest, EnterEndsTheInputAndLeavesLaterBytesInTheRing)
{
    int handle = CreateTextInputRecord(16, 0, 0, 0, 0);
    Feed("ab" ENTER "cd");
    const TextInputRecord *record = LookupTextInputRecord(handle);
    EXPECT_STREQ(record->text, "ab");
    EXPECT_EQ(record->ended, 1);
    EXPECT_EQ(record->cancelled, 0);
    EXPECT_EQ(TextInput.activeHandle, -1);
    char next[3];
    EXPECT_EQ(TakeBufferedInputChar(next, 0), 1);
    EXPECT_STREQ(next, "c");
}

TEST_F(TextInputTest, EscCancelsARecordThatAllowsIt)
{
    int handle = CreateTextInputRecord(16, 1, 0, 0, 0);
    Feed("ab" ESC "cd");
    const TextInputRecord *record = LookupTextInputRecord(handle);
    EXPECT_STREQ(record->text, "ab");
    EXPECT_EQ(record->ended, 1);
    EXPECT_EQ(record->cancelled, 1);
    EXPECT_EQ(TextInput.activeHandle, -1);
}

TEST_F(TextInputTest, HandlesOfReleasedRecordsAndOtherKindsAreInvalid)
{
    int first = CreateTextInputRecord(8, 0, 0, 0, 0);
    ASSERT_EQ(HandleKindOf(first), kTextInputHandleKind);
    EXPECT_EQ(ReleaseTextInputRecord(first), 0);
    EXPECT_EQ(LookupTextInputRecord(first), nullptr);
    EXPECT_EQ(ReleaseTextInputRecord(first), -1);
    int second = CreateTextInputRecord(8, 0, 0, 0, 0);
    EXPECT_EQ(HandleSlotOf(second), HandleSlotOf(first));
    EXPECT_NE(second, first);
    EXPECT_EQ(LookupTextInputRecord(MakeHandleValue(1, HandleCheckOf(second), HandleSlotOf(second))), nullptr);
    EXPECT_EQ(LookupTextInputRecord(-1), nullptr);
}

TEST_F(TextInputTest, AnInvalidActiveHandleFailsTheFeedWithoutTakingBytes)
{
    int handle = CreateTextInputRecord(8, 0, 0, 0, 0);
    ReleaseTextInputRecord(handle);
    TextInput.activeHandle = handle;
    PushInputCharToBuffer('a');
    EXPECT_EQ(FeedRingToActiveTextInput(FakeServices), -1);
    char next[3];
    EXPECT_EQ(TakeBufferedInputChar(next, 0), 1);
}

} // namespace
