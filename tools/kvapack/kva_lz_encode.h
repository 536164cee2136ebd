// Encoder of the library's LZ block format (the library itself only decodes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pack bytes into one LZ block that ExpandKvaLzData turns back into them.
std::vector<uint8_t> EncodeKvaLzBlock(const uint8_t *data, size_t size);
