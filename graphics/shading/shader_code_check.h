// Checks on shader byte code before the library reads its constant table.
#pragma once

#include <cstdint>

namespace Korvo {

// What CheckShaderByteCode found: the constant table's record count and the first
// record's byte offset (both 0 when the code carries no table).
struct ShaderCodeFacts {
    int constantCount;
    int constantInfoOffset;
};

// Byte code of size bytes must start with a version token of the wanted kind
// (vertex 0xFFFE, pixel 0xFFFF, major version 1 to 3). A comment right after it
// counts as a constant table only with the 'CTAB' tag; its length and records
// must then lie inside the code. 0 with facts filled, -1 for code to refuse.
int CheckShaderByteCode(const void *code, int size, int vertex, ShaderCodeFacts *facts);

} // namespace Korvo
