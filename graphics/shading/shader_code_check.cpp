// Shader byte code: version token, then an optional constant-table comment
// (comment token, 'CTAB', header of 28 bytes whose fields are offsets from the
// tag; the record count sits 12 bytes after the tag, the records start at the
// offset 16 bytes after it, 20 bytes each).

#include "graphics/shading/shader_code_check.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr uint32_t kCommentOpcode = 0xFFFE;
constexpr uint32_t kTableTag = 0x42415443;  // "CTAB"
constexpr int kTableHeaderBytes = 28;
constexpr int kConstantRecordBytes = 20;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t ReadWord(const unsigned char *bytes, int offset)
{
    uint32_t value;
    std::memcpy(&value, bytes + offset, 4);
    return value;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int CheckShaderByteCode(const void *code, int size, int vertex, ShaderCodeFacts *facts)
{
    facts->constantCount = 0;
    facts->constantInfoOffset = 0;
    if (code == nullptr || size < 8 || size % 4 != 0) {
        return -1;
    }
    const unsigned char *bytes = static_cast<const unsigned char *>(code);
    uint32_t version = ReadWord(bytes, 0);
    uint32_t major = (version >> 8) & 0xFF;
    if ((version >> 16) != (vertex != 0 ? 0xFFFEu : 0xFFFFu) || major < 1 || major > 3) {
        return -1;
    }
    uint32_t token = ReadWord(bytes, 4);
    if ((token & 0xFFFF) != kCommentOpcode) {
        return 0;  // no comment: no constant table
    }
    int64_t commentBytes = static_cast<int64_t>((token >> 16) & 0x7FFF) * 4;
    if (8 + commentBytes > size) {
        return -1;
    }
    if (commentBytes < 4 || ReadWord(bytes, 8) != kTableTag) {
        return 0;  // some other comment
    }
    if (commentBytes < 4 + kTableHeaderBytes) {
        return -1;
    }
    // Offsets inside the table count from the tag's end (byte 12 of the code).
    int64_t count = ReadWord(bytes, 24);
    int64_t first = static_cast<int64_t>(ReadWord(bytes, 28)) + 12;
    int64_t tableEnd = 8 + commentBytes;
    if (count > 0 && (first < 12 || first + count * kConstantRecordBytes > tableEnd)) {
        return -1;
    }
    facts->constantCount = static_cast<int>(count);
    facts->constantInfoOffset = count > 0 ? static_cast<int>(first) : 0;
    return 0;
}

} // namespace Korvo
