// Operator new over the C heap with one refusal on request; the runtime's
// operator delete frees it. A refused throwing new throws, a nothrow one gives null.

#include "refusing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> RefusedNewBytes{0};
std::atomic<int> NewRefusals{0};

void *AllocateOrNull(std::size_t bytes)
{
    size_t armed = bytes;
    if (bytes != 0 && RefusedNewBytes.compare_exchange_strong(armed, 0)) {
        ++NewRefusals;
        return nullptr;
    }
    return std::malloc(bytes != 0 ? bytes : 1);
}

} // namespace

namespace RefusingNew {

void RefuseNextNew(size_t bytes)
{
    RefusedNewBytes = bytes;
}

int TakeRefusalCount()
{
    return NewRefusals.exchange(0);
}

} // namespace RefusingNew

void *operator new(std::size_t bytes)
{
    void *block = AllocateOrNull(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void *operator new(std::size_t bytes, const std::nothrow_t &) noexcept
{
    return AllocateOrNull(bytes);
}
