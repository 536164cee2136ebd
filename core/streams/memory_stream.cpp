// Memory read streams: a stream over bytes the caller keeps.
//
// Reads follow the plain-file rule: only whole elements are read, so a tail
// shorter than one element ends the stream instead of being returned as one.
#include "core/streams/stream_table.h"

#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// A new memory stream over size bytes at data (not copied); null on failure
MemoryReadStream *OpenMemoryReadStream(const void *data, int size)
{
    auto *stream = static_cast<MemoryReadStream *>(KORVO_TRACKED_ALLOC(sizeof(MemoryReadStream)));
    if (stream == nullptr) return nullptr;
    stream->data = static_cast<const unsigned char *>(data);
    stream->size = size < 0 ? 0 : size;
    stream->position = 0;
    stream->eof = 0;
    return stream;
}

// Free the stream record (not the data); 0
int FreeMemoryReadStream(MemoryReadStream *stream)
{
    TrackedFree(stream);
    return 0;
}

// The read position
int TellMemoryStream(MemoryReadStream *stream)
{
    return stream->position;
}

// Move the read position, clamped to 0..size; 0
int SeekMemoryStream(MemoryReadStream *stream, int offset, int origin)
{
    int64_t target = origin == 0 ? offset
                   : origin == 1 ? (int64_t)stream->position + offset
                   : origin == 2 ? (int64_t)stream->size + offset
                                 : 0;
    if (target > stream->size) target = stream->size;
    if (target < 0) target = 0;
    stream->position = (int)target;
    stream->eof = 0;
    return 0;
}

// Read whole elements; the number read (a short final element is not read)
size_t ReadMemoryStream(void *buffer, size_t elementSize, size_t count, MemoryReadStream *stream)
{
    if (elementSize == 0 || count == 0) return 0;
    if (stream->position >= stream->size) {
        stream->eof = 1;
        return 0;
    }
    size_t left = (size_t)(stream->size - stream->position);
    size_t whole = left / elementSize;
    size_t n = count < whole ? count : whole;
    if (n == 0) {
        stream->eof = 1;
        return 0;
    }
    std::memcpy(buffer, stream->data + stream->position, n * elementSize);
    stream->position += (int)(n * elementSize);
    stream->eof = 0;
    return n;
}

// 1 once a read found nothing left, else 0
int IsMemoryStreamAtEnd(MemoryReadStream *stream)
{
    return stream->eof ? 1 : 0;
}

}  // namespace Korvo
