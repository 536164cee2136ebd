// The row copies (vector loop, string move, streaming stores) at every
// destination alignment within a cache line and lengths around their step
// sizes: the same bytes as a byte copy, and nothing written past the row.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "softraster/row_copy.h"

using namespace Korvo;

TEST(RowCopy, EveryFormCopiesExactlyTheRow)
{
    struct Form { const char *name; void (*copy)(uint8_t *, const uint8_t *, size_t); };
    const Form forms[] = {
        {"vector loop", CopyRowBytes},
        {"string move", StringMoveRowBytes},
        {"streaming", [](uint8_t *d, const uint8_t *s, size_t n) { StreamRowBytes(d, s, n); FinishStreamingStores(); }},
    };
    const size_t lengths[] = {0, 1, 15, 16, 63, 64, 65, 127, 128, 129, 2047, 2048, 2111, 3203};
    std::mt19937 rng(5);
    std::vector<uint8_t> source(4096 + 64);
    for (uint8_t &b : source)
        b = static_cast<uint8_t>(rng());
    alignas(64) static uint8_t target[64 + 4096 + 128];
    for (const Form &form : forms)
        for (size_t length : lengths)
            for (size_t offset = 0; offset < 64; ++offset) {
                std::memset(target, 0xA5, sizeof target);
                const uint8_t *from = source.data() + (offset * 7) % 64;
                form.copy(target + offset, from, length);
                ASSERT_EQ(std::memcmp(target + offset, from, length), 0)
                    << form.name << " length " << length << " offset " << offset;
                for (size_t i = 0; i < sizeof target; ++i) {
                    if (i < offset || i >= offset + length) {
                        ASSERT_EQ(target[i], 0xA5) << form.name << " wrote byte " << i << ", length " << length
                                                   << " offset " << offset;
                    }
                }
            }
}
