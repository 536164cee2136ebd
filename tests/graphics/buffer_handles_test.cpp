// Vertex and index buffer handles without a device: the kept copy and the
// checks on every update.

#include "graphics/draw/buffer_handles.h"
#include "recording_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

TEST(BufferHandlesTest, UpdatesInsideTheBufferLandAndAllOthersAreRefused)
{
    RecordingDevice::Present = false;
    ASSERT_EQ(InitBufferHandleTypes(), 0);
    int indices = CreateIndexBufferHandle(4);
    ASSERT_NE(indices, -1);
    EXPECT_EQ(CreateIndexBufferHandle(0), -1);
    const uint16_t data[5] = {7, 8, 9, 10, 11};
    struct Case {
        const char *what;
        int first;
        const void *data;
        int count;
        int handle;
        int result;
    };
    const Case cases[] = {
        {"whole buffer", 0, data, 4, indices, 0},
        {"last element exactly", 3, data + 4, 1, indices, 0},
        {"one element past the end", 3, data, 2, indices, -1},
        {"first past the end", 4, data, 1, indices, -1},
        {"negative count", 1, data, -1, indices, -1},
        {"negative first", -1, data, 1, indices, -1},
        {"null data", 0, nullptr, 1, indices, -1},
        {"count overflowing first + count", 2, data, 0x7FFFFFFF, indices, -1},
        {"vertex handle kind mismatch", 0, data, 1, indices, -2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.result == -2) {
            EXPECT_EQ(SetVertexBufferData(c.first, c.data, c.count, c.handle), -1);
        } else {
            EXPECT_EQ(SetIndexBufferData(c.first, c.data, c.count, c.handle), c.result);
        }
    }
    const BufferRecord *record = LookupBufferRecord(HANDLE_KIND_INDEX_BUFFER, indices);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::vector<uint16_t>(static_cast<const uint16_t *>(record->kept), static_cast<const uint16_t *>(record->kept) + 4),
              (std::vector<uint16_t>{7, 8, 9, 11}));
    EXPECT_EQ(DeleteIndexBufferHandle(indices), 0);
    EXPECT_EQ(SetIndexBufferData(0, data, 1, indices), -1) << "deleted";
    TermBufferHandleTypes();
    RecordingDevice::Present = true;
}

} // namespace
