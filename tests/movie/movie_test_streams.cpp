#include "movie_test_streams.h"

#include "core/threads/thread_record.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace MovieTestStreams {

namespace {

std::atomic<bool> ReadsHeld{false};
std::function<void()> ReadGate;

struct ByteStream {
    const std::vector<uint8_t> *bytes;
    size_t position;
    int eof;
};

ByteStream *Of(Korvo::StreamHandle s)
{
    return reinterpret_cast<ByteStream *>(s);
}

int Tell(Korvo::StreamHandle s)
{
    return static_cast<int>(Of(s)->position);
}

int Seek(Korvo::StreamHandle s, int offset, int origin)
{
    ByteStream *b = Of(s);
    long base = origin == 0 ? 0 : (origin == 1 ? static_cast<long>(b->position) : static_cast<long>(b->bytes->size()));
    long to = base + offset;
    if (to < 0 || to > static_cast<long>(b->bytes->size())) {
        return -1;
    }
    b->position = static_cast<size_t>(to);
    b->eof = 0;
    return 0;
}

size_t Read(void *buffer, size_t size, size_t count, Korvo::StreamHandle s)
{
    while (ReadsHeld) {
        Korvo::SleepMilliseconds(1);
    }
    if (ReadGate) {
        ReadGate();
    }
    ByteStream *b = Of(s);
    size_t left = b->bytes->size() - b->position;
    size_t n = size == 0 ? 0 : std::min(count, left / size);
    if (n > 0) {
        std::memcpy(buffer, b->bytes->data() + b->position, n * size);
    }
    b->position += n * size;
    if (n < count) {
        b->eof = 1;
    }
    return n;
}

int Eof(Korvo::StreamHandle s)
{
    return Of(s)->eof;
}

const Korvo::StreamFunctionTable Table = {nullptr, nullptr, Tell, Seek, Read, Eof,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

} // namespace

const Korvo::StreamFunctionTable *MemoryTable()
{
    return &Table;
}

Korvo::StreamHandle OpenBytes(const std::vector<uint8_t> &bytes)
{
    return reinterpret_cast<Korvo::StreamHandle>(new ByteStream{&bytes, 0, 0});
}

void CloseBytes(Korvo::StreamHandle stream)
{
    delete Of(stream);
}

void HoldReads(bool held)
{
    ReadsHeld = held;
}

void SetReadGate(std::function<void()> gate)
{
    ReadGate = std::move(gate);
}

} // namespace MovieTestStreams
