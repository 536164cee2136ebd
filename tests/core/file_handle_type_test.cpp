// The file handle kind (17): registration once, and its delete callback closing
// the stream a record owns.
#include "core/memory/handle_manager.h"
#include "core/streams/stream_entries.h"
#include "core/streams/stream_table.h"
#include "kva_test_archives.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {
struct FileRecordView {
    HandleRecordHeader header;
    StreamHandle stream;
};
}  // namespace

TEST(FileHandleType, RegistersOnceAndClosesItsStreamOnDelete)
{
    ASSERT_EQ(InitFileHandleType(), 0);
    EXPECT_EQ(InitFileHandleType(), -1);

    kvatest::WriteFile("file_handle_kind.txt", kvatest::Bytes("abc"));
    InstallStreamFunctionTable(nullptr);
    const int openBefore = GetOpenStreamCount();
    HandleValue handle = CreateHandleRecord(HANDLE_KIND_FILE, -1);
    ASSERT_NE(handle, -1);
    auto *record = static_cast<FileRecordView *>(LookupHandleRecord(handle));
    ASSERT_NE(record, nullptr);
    record->stream = OpenFileStream("file_handle_kind.txt", 0, 0, 0);
    ASSERT_NE(record->stream, 0u);
    EXPECT_EQ(GetOpenStreamCount(), openBefore + 1);
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(GetOpenStreamCount(), openBefore);

    EXPECT_EQ(TermFileHandleType(), 0);
    EXPECT_EQ(TermFileHandleType(), -1);
}
