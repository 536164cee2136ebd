// Handle manager: handle values, stale handles, limits, callbacks and chains.

#include "core/memory/handle_manager.h"
#include "core/memory/tracked_alloc.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

// Kinds no library subsystem registers in this test executable.
constexpr int kTestKind = 20;
constexpr int kOtherKind = 21;

struct TestRecord {
    HandleRecordHeader header;
    int payload;
};

using KorvoTest::LiveTrackedBlocks;

int KeepAlive(void *) { return 1; }
int InitCalls = 0;
int CountInit(void *) { return ++InitCalls, 0; }
int SelectEvenPayload(void *record) { return static_cast<TestRecord *>(record)->payload % 2; }

class HandleManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTest::StartFreshLog();
        ASSERT_EQ(RegisterHandleType(kTestKind, sizeof(TestRecord), 8, nullptr, nullptr, "テスト"), 0);
    }
    void TearDown() override
    {
        UnregisterHandleType(kTestKind);
        UnregisterHandleType(kOtherKind);
    }
};

TEST(HandleManagerFirstUseTest, FirstRecordOfAKindGetsCheckValueOneInSlotZero)
{
    ASSERT_EQ(RegisterHandleType(HANDLE_KIND_GRAPH, sizeof(TestRecord), 4, nullptr, nullptr, "グラフィック"), 0);
    HandleValue handle = CreateHandleRecord(HANDLE_KIND_GRAPH, -1);
    EXPECT_EQ(handle, 67174400);
    HandleRecordHeader *record = static_cast<HandleRecordHeader *>(LookupHandleRecord(handle));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->handle, handle);
    EXPECT_EQ(record->checkValue, 1);
    EXPECT_EQ(record->recordSize, static_cast<int>(sizeof(TestRecord)));
    EXPECT_EQ(UnregisterHandleType(HANDLE_KIND_GRAPH), 0);
    EXPECT_EQ(LookupHandleRecord(handle), nullptr);
}

TEST_F(HandleManagerTest, StaleHandleFailsAfterItsSlotIsReused)
{
    HandleValue first = CreateHandleRecord(kTestKind, -1);
    ASSERT_NE(first, -1);
    EXPECT_EQ(DeleteHandleRecord(first), 0);
    HandleValue second = CreateHandleRecord(kTestKind, -1);
    ASSERT_NE(second, -1);
    EXPECT_EQ(HandleSlotOf(second), HandleSlotOf(first));
    EXPECT_NE(second, first);
    EXPECT_EQ(LookupHandleRecord(first), nullptr);
    EXPECT_EQ(DeleteHandleRecord(first), -1);
    EXPECT_EQ(HasPendingLoadJob(first), -1);
    EXPECT_NE(LookupHandleRecord(second), nullptr);
}

TEST_F(HandleManagerTest, MalformedHandlesAreInvalid)
{
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(RegisterHandleType(kOtherKind, sizeof(TestRecord), 8, nullptr, nullptr, "別"), 0);
    const HandleValue bad[] = {
        -1,
        static_cast<HandleValue>(static_cast<unsigned>(handle) | 0x80000000u),
        (handle & ~kHandleKindMask) | (kOtherKind << kHandleKindShift),
        (handle & ~kHandleSlotMask) | 8,
        (handle & ~kHandleSlotMask) | 5,
    };
    for (HandleValue value : bad) {
        EXPECT_EQ(LookupHandleRecord(value), nullptr) << value;
        EXPECT_EQ(BindHandleOwnerVariable(value, nullptr), -1) << value;
        EXPECT_EQ(ResizeHandleRecord(value, 200), -1) << value;
        EXPECT_EQ(DeleteHandleRecord(value), -1) << value;
    }
    EXPECT_NE(LookupHandleRecord(handle), nullptr);
}

TEST_F(HandleManagerTest, OwnerVariableReadsMinusOneAfterDeletion)
{
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    int owner = handle;
    EXPECT_EQ(BindHandleOwnerVariable(handle, &owner), 0);
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(owner, -1);
}

TEST_F(HandleManagerTest, FullKindLogsTheLimitAndRecoversAfterADeletion)
{
    std::vector<HandleValue> handles;
    for (int i = 0; i < 8; ++i) {
        handles.push_back(CreateHandleRecord(kTestKind, -1));
        ASSERT_NE(handles.back(), -1);
    }
    KorvoTest::StartFreshLog();
    EXPECT_EQ(CreateHandleRecord(kTestKind, -1), -1);
    std::vector<std::string> lines = KorvoTest::ReadLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "テストハンドルの数が限界数( 8 )に達していて新たなハンドルを作成できません");

    EXPECT_EQ(DeleteHandleRecord(handles[3]), 0);
    HandleValue again = CreateHandleRecord(kTestKind, -1);
    ASSERT_NE(again, -1);
    EXPECT_EQ(HandleSlotOf(again), 3);
}

TEST_F(HandleManagerTest, CheckValuesWrapFrom1022ToZero)
{
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    int check = HandleCheckOf(handle);
    while (check != kHandleMaxCheckValue) {
        ASSERT_EQ(DeleteHandleRecord(handle), 0);
        handle = CreateHandleRecord(kTestKind, -1);
        check = HandleCheckOf(handle);
    }
    HandleValue wrapped = CreateHandleRecord(kTestKind, -1);
    EXPECT_EQ(HandleCheckOf(wrapped), 0);
    EXPECT_NE(LookupHandleRecord(wrapped), nullptr);
    EXPECT_EQ(HandleCheckOf(CreateHandleRecord(kTestKind, -1)), 1);
}

TEST_F(HandleManagerTest, ReRegisteringContinuesTheCheckValues)
{
    int check = HandleCheckOf(CreateHandleRecord(kTestKind, -1));
    ASSERT_EQ(UnregisterHandleType(kTestKind), 0);
    ASSERT_EQ(RegisterHandleType(kTestKind, sizeof(TestRecord), 8, nullptr, nullptr, "テスト"), 0);
    EXPECT_EQ(HandleCheckOf(CreateHandleRecord(kTestKind, -1)), (check + 1) % (kHandleMaxCheckValue + 1));
}

TEST_F(HandleManagerTest, DeleteCallbackKeepsTheRecordButUnregisterFreesIt)
{
    ASSERT_EQ(RegisterHandleType(kOtherKind, sizeof(TestRecord), 8, CountInit, KeepAlive, "別"), 0);
    int blocksBefore = LiveTrackedBlocks();
    InitCalls = 0;
    HandleValue handle = CreateHandleRecord(kOtherKind, -1);
    EXPECT_EQ(InitCalls, 1);
    int owner = 0;
    BindHandleOwnerVariable(handle, &owner);
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(owner, -1);
    EXPECT_NE(LookupHandleRecord(handle), nullptr);
    EXPECT_EQ(LiveTrackedBlocks(), blocksBefore + 1);

    EXPECT_EQ(UnregisterHandleType(kOtherKind), 0);
    EXPECT_EQ(LookupHandleRecord(handle), nullptr);
    // Both the kept record and the slot array are gone.
    EXPECT_EQ(LiveTrackedBlocks(), blocksBefore - 1);
    EXPECT_EQ(UnregisterHandleType(kOtherKind), -1);
}

TEST_F(HandleManagerTest, WantedHandleGivesSlotAndCheckValue)
{
    HandleValue wanted = MakeHandleValue(kTestKind, 77, 5);
    EXPECT_EQ(CreateHandleRecord(kTestKind, wanted), wanted);
    // Slot taken: another slot, still the wanted check value.
    HandleValue other = CreateHandleRecord(kTestKind, wanted);
    EXPECT_NE(HandleSlotOf(other), 5);
    EXPECT_EQ(HandleCheckOf(other), 77);
}

TEST_F(HandleManagerTest, OutOfRangeKindsAndWantedSlotsAreRefused)
{
    EXPECT_EQ(RegisterHandleType(32, sizeof(TestRecord), 8, nullptr, nullptr, "x"), -1);
    EXPECT_EQ(RegisterHandleType(-1, sizeof(TestRecord), 8, nullptr, nullptr, "x"), -1);
    EXPECT_EQ(CreateHandleRecord(32, -1), -1);
    EXPECT_EQ(CreateHandleRecord(-5, -1), -1);
    EXPECT_EQ(DeleteHandlesOfType(40, nullptr), -1);
    EXPECT_EQ(UnregisterHandleType(-2), -1);
    EXPECT_EQ(CreateHandleRecord(kTestKind, MakeHandleValue(kTestKind, 1, 8)), -1);
    EXPECT_EQ(CreateHandleRecord(kTestKind, MakeHandleValue(kTestKind, 1, 60000)), -1);
    EXPECT_EQ(RegisterHandleType(kTestKind, sizeof(TestRecord), 8, nullptr, nullptr, "again"), -1);
}

TEST_F(HandleManagerTest, SlotsFillUpwardThenBelowTheLowest)
{
    std::vector<HandleValue> handles;
    for (int i = 0; i < 8; ++i) {
        handles.push_back(CreateHandleRecord(kTestKind, -1));
        EXPECT_EQ(HandleSlotOf(handles.back()), i);
    }
    DeleteHandleRecord(handles[0]);
    DeleteHandleRecord(handles[1]);
    DeleteHandleRecord(handles[2]);
    EXPECT_EQ(HandleSlotOf(CreateHandleRecord(kTestKind, -1)), 2);
    EXPECT_EQ(HandleSlotOf(CreateHandleRecord(kTestKind, -1)), 1);
    // Lowest used is now 1: the free slot 0 is found by scanning.
    EXPECT_EQ(HandleSlotOf(CreateHandleRecord(kTestKind, -1)), 0);
}

TEST_F(HandleManagerTest, ResizeMovesTheRecordAndRepairsTheChain)
{
    HandleValue older = CreateHandleRecord(kTestKind, -1);
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    HandleValue newer = CreateHandleRecord(kTestKind, -1);
    static_cast<TestRecord *>(LookupHandleRecord(handle))->payload = 1234;

    EXPECT_EQ(ResizeHandleRecord(handle, sizeof(TestRecord)), 0);
    EXPECT_EQ(ResizeHandleRecord(handle, 64 * 1024), 0);
    TestRecord *record = static_cast<TestRecord *>(LookupHandleRecord(handle));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->payload, 1234);
    EXPECT_EQ(record->header.recordSize, 64 * 1024);
    EXPECT_EQ(ResizeHandleRecord(handle, sizeof(TestRecord)), 0);
    EXPECT_EQ(static_cast<TestRecord *>(LookupHandleRecord(handle))->header.recordSize,
              static_cast<int>(sizeof(TestRecord)));
    EXPECT_EQ(ResizeHandleRecord(handle, 4), -1);

    // The chain runs newest first and every node names its current record.
    std::vector<HandleValue> chain;
    const HandleTypeEntry &entry = HandleTypeTable[kTestKind];
    for (const HandleChainNode *node = entry.chainHead.next; node != &entry.chainTail; node = node->next) {
        EXPECT_EQ(node->data, LookupHandleRecord(node->handle));
        EXPECT_EQ(node->next->prev, node);
        chain.push_back(node->handle);
    }
    EXPECT_EQ(chain, (std::vector<HandleValue>{newer, handle, older}));
}

TEST_F(HandleManagerTest, DeleteHandlesOfTypeDeletesOnlySelectedRecords)
{
    std::vector<HandleValue> handles;
    for (int i = 0; i < 6; ++i) {
        handles.push_back(CreateHandleRecord(kTestKind, -1));
        static_cast<TestRecord *>(LookupHandleRecord(handles.back()))->payload = i;
    }
    EXPECT_EQ(DeleteHandlesOfType(kTestKind, SelectEvenPayload), 0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(LookupHandleRecord(handles[i]) != nullptr, i % 2 == 1) << i;
    }
    EXPECT_EQ(DeleteHandlesOfType(kTestKind, nullptr), 0);
    EXPECT_EQ(HandleTypeTable[kTestKind].liveCount, 0);
}

TEST_F(HandleManagerTest, PendingLoadCountsAreKeptPerRecord)
{
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    EXPECT_EQ(HasPendingLoadJob(handle), 0);
    EXPECT_EQ(AttachPendingLoadJob(handle, 9), 0);
    EXPECT_EQ(HasPendingLoadJob(handle), 1);
    EXPECT_EQ(static_cast<HandleRecordHeader *>(LookupHandleRecord(handle))->loadJobSlot, 9);
    EXPECT_EQ(ReleasePendingLoadJob(handle), 0);
    EXPECT_EQ(HasPendingLoadJob(handle), 0);
    // A job the queue no longer has does not hold the deletion up.
    AttachPendingLoadJob(handle, 3);
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(LookupHandleRecord(handle), nullptr);
}

} // namespace
