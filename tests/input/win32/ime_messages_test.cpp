// The IME road against recording fakes of the Imm32 entries (the test display
// has no IME): composition, result string, candidate list, switching off and
// the restore after an activation.

#include "input/win32/window_message_entries.h"

#include "core/system/platform_libraries.h"
#include "core/system/win32/window_state.h"
#include "input/char_ring.h"
#include "input/startup_entries.h"
#include "input/text_input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

HIMC const kFakeContext = reinterpret_cast<HIMC>(static_cast<UINT_PTR>(0x4D43));
std::vector<std::string> Calls;
std::map<DWORD, std::string> CompositionBytes; // by GCS_ index
LONG CursorOffset = 0;
DWORD CandidateListSize = 0;
bool CandidateListFails = false;

HIMC WINAPI FakeGetContext(HWND)
{
    Calls.push_back("GetContext");
    return kFakeContext;
}
BOOL WINAPI FakeReleaseContext(HWND, HIMC context)
{
    Calls.push_back(context == kFakeContext ? "ReleaseContext" : "ReleaseContext(other)");
    return TRUE;
}
LONG WINAPI FakeGetCompositionString(HIMC, DWORD index, LPVOID buffer, DWORD size)
{
    Calls.push_back("GetCompositionString " + std::to_string(index));
    if (index == GCS_CURSORPOS) {
        return CursorOffset;
    }
    const std::string &bytes = CompositionBytes[index];
    DWORD count = std::min<DWORD>(size, static_cast<DWORD>(bytes.size()));
    if (buffer != nullptr) {
        memcpy(buffer, bytes.data(), count);
    }
    return static_cast<LONG>(count);
}
DWORD WINAPI FakeGetCandidateList(HIMC, DWORD, LPCANDIDATELIST list, DWORD size)
{
    Calls.push_back(list == nullptr ? "GetCandidateList size" : "GetCandidateList " + std::to_string(size));
    if (list == nullptr) {
        return CandidateListSize;
    }
    return CandidateListFails ? 0 : size;
}
BOOL WINAPI FakeNotify(HIMC, DWORD action, DWORD index, DWORD)
{
    Calls.push_back("Notify " + std::to_string(action) + " " + std::to_string(index));
    return TRUE;
}
BOOL WINAPI FakeSetOpenStatus(HIMC, BOOL open)
{
    Calls.push_back("SetOpenStatus " + std::to_string(open));
    return TRUE;
}
BOOL WINAPI FakeSetCompositionString(HIMC, DWORD index, LPVOID text, DWORD size, LPVOID, DWORD)
{
    Calls.push_back("SetCompositionString " + std::to_string(index) + " " +
                    std::string(static_cast<const char *>(text), size));
    return TRUE;
}
BOOL WINAPI FakeEnableIme(HWND, BOOL enable)
{
    Calls.push_back("EnableIme " + std::to_string(enable));
    return TRUE;
}

class ImeMessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = PlatformLibraries;
        Imm32Entries &imm = PlatformLibraries.imm32;
        imm.ImmGetContext = FakeGetContext;
        imm.ImmReleaseContext = FakeReleaseContext;
        imm.ImmGetCompositionStringA = FakeGetCompositionString;
        imm.ImmGetCandidateListA = FakeGetCandidateList;
        imm.ImmNotifyIME = FakeNotify;
        imm.ImmSetOpenStatus = FakeSetOpenStatus;
        imm.ImmSetCompositionStringA = FakeSetCompositionString;
        PlatformLibraries.user32.WINNLSEnableIME = FakeEnableIme;
        InitTextInputState();
        Calls.clear();
        CompositionBytes.clear();
        CandidateListFails = false;
    }

    void TearDown() override
    {
        SetImeInputEnabled(1);
        SetImeInputEnabled(0); // frees any candidate list
        PlatformLibraries = saved;
        WindowState.windowsVersionCode = 0;
    }

    static std::string RingText()
    {
        std::string text;
        char character[3];
        while (TakeBufferedInputChar(character, 1) != 0) {
            text += character;
        }
        return text;
    }

    PlatformLibraryTable saved;
};

TEST_F(ImeMessagesTest, CompositionReadsEachPartAndPushesTheResultIntoTheRing)
{
    CompositionBytes[GCS_COMPSTR] = "\x82\xA0"
                                    "abc";
    CompositionBytes[GCS_RESULTSTR] = "\x8A\xBF"
                                      "!";
    CompositionBytes[GCS_COMPCLAUSE] = std::string(8, '\0');
    CompositionBytes[GCS_COMPATTR] = "\x01\x01\x00\x00\x00";
    CompositionBytes[GCS_COMPATTR].resize(5);
    CursorOffset = 3;
    LPARAM flags = GCS_COMPSTR | GCS_RESULTSTR | GCS_CURSORPOS | GCS_COMPCLAUSE | GCS_COMPATTR;
    EXPECT_EQ(HandleImeWindowMessage(nullptr, WM_IME_COMPOSITION, 0, flags), 0);

    const std::vector<std::string> expected = {
        "GetContext",
        "GetCompositionString " + std::to_string(GCS_COMPSTR),
        "GetCompositionString " + std::to_string(GCS_RESULTSTR),
        "GetCompositionString " + std::to_string(GCS_COMPSTR),
        "GetCompositionString " + std::to_string(GCS_CURSORPOS),
        "GetCompositionString " + std::to_string(GCS_COMPCLAUSE),
        "GetCompositionString " + std::to_string(GCS_COMPATTR),
        "ReleaseContext",
    };
    EXPECT_EQ(Calls, expected);
    EXPECT_EQ(RingText(), "\x8A\xBF!");
    const ImeState &ime = TextInput.ime;
    EXPECT_STREQ(ime.composition, "\x82\xA0"
                                  "abc");
    EXPECT_EQ(ime.compositionCursor, 2) << "byte offset 3 is two characters in";
    EXPECT_EQ(ime.clauseCount, 2);
    EXPECT_EQ(ime.attributeCount, 5);
}

TEST_F(ImeMessagesTest, StartAndEndOfCompositionFollowTheOpenStatusOnVistaAndLater)
{
    WindowState.windowsVersionCode = 0x10A;
    TextInput.ime.compositionCursor = 4;
    EXPECT_EQ(HandleImeWindowMessage(nullptr, WM_IME_STARTCOMPOSITION, 0, 0), 0);
    EXPECT_EQ(TextInput.ime.composing, 1);
    EXPECT_EQ(TextInput.ime.compositionCursor, 0);
    EXPECT_EQ(GetImeActiveFlag(), 1);
    std::strcpy(TextInput.ime.composition, "x");
    EXPECT_EQ(HandleImeWindowMessage(nullptr, WM_IME_ENDCOMPOSITION, 0, 0), 0);
    EXPECT_EQ(TextInput.ime.composing, 0);
    EXPECT_STREQ(TextInput.ime.composition, "");
    EXPECT_EQ(GetImeActiveFlag(), 0);
}

TEST_F(ImeMessagesTest, CandidateListIsKeptUntilClosedAndDroppedWhenItCannotBeRead)
{
    struct Case {
        DWORD size;
        bool fails;
        int keptSize;
    } cases[] = {{64, false, 64}, {0, false, 0}, {48, true, 0}};
    for (const Case &c : cases) {
        CandidateListSize = c.size;
        CandidateListFails = c.fails;
        HandleImeWindowMessage(nullptr, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 0);
        EXPECT_EQ(TextInput.ime.candidateListSize, c.keptSize) << c.size;
        EXPECT_EQ(TextInput.ime.candidateList != nullptr, c.keptSize != 0) << c.size;
        EXPECT_EQ(Calls.back(), "ReleaseContext");
        HandleImeWindowMessage(nullptr, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 0);
        EXPECT_EQ(TextInput.ime.candidateList, nullptr);
    }
    // A list still kept when the window ends is freed with the text inputs.
    CandidateListSize = 16;
    CandidateListFails = false;
    HandleImeWindowMessage(nullptr, WM_IME_NOTIFY, IMN_SETCANDIDATEPOS, 0);
    ASSERT_NE(TextInput.ime.candidateList, nullptr);
    DeleteAllTextInputHandles();
    EXPECT_EQ(TextInput.ime.candidateList, nullptr);
}

TEST_F(ImeMessagesTest, SwitchingOffDropsCompositionAndCandidatesOnce)
{
    SetImeInputEnabled(1);
    CandidateListSize = 32;
    HandleImeWindowMessage(nullptr, WM_IME_NOTIFY, IMN_CHANGECANDIDATE, 0);
    std::strcpy(TextInput.ime.composition, "abc");
    TextInput.ime.composing = 1;
    Calls.clear();
    SetImeInputEnabled(0);
    SetImeInputEnabled(0);
    EXPECT_EQ(Calls, std::vector<std::string>{"EnableIme 0"});
    EXPECT_EQ(GetImeEnabledFlag(), 0);
    EXPECT_EQ(TextInput.ime.candidateList, nullptr);
    EXPECT_STREQ(TextInput.ime.composition, "");
    EXPECT_EQ(TextInput.ime.composing, 0);
}

TEST_F(ImeMessagesTest, ActivationRestoreCancelsReopensAndPutsTheCompositionBack)
{
    std::strcpy(TextInput.ime.composition, "\x82\xA0z");
    SetImeResetPending(1);
    EXPECT_EQ(FeedBufferedCharsToTextInput(), 0);
    const std::vector<std::string> expected = {
        "GetContext",      "Notify " + std::to_string(NI_COMPOSITIONSTR) + " " + std::to_string(CPS_CANCEL),
        "SetOpenStatus 0", "SetOpenStatus 1",
        "SetOpenStatus 1", "SetCompositionString " + std::to_string(SCS_SETSTR) + " \x82\xA0z",
        "ReleaseContext",
    };
    EXPECT_EQ(Calls, expected);
    EXPECT_STREQ(TextInput.ime.composition, "");
    Calls.clear();
    FeedBufferedCharsToTextInput();
    EXPECT_TRUE(Calls.empty()) << "the restore runs once";
}

} // namespace
