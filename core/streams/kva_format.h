// KVA archive layout: the on-disk records, their sizes and the scrambling key.
//
// Shared by the library's archive reader and the kvapack tool, so both agree on
// every offset and on the key. All integers are little-endian; the records are
// byte-packed so they can be read in place from any address.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kKvaKeySize = 12;
constexpr int kKvaLowestVersion = 0;  // version 0 has version 1's layout
constexpr int kKvaHighestVersion = 5;
constexpr uint32_t kKvaHeaderSizeOld = 24;   // versions 1 to 3
constexpr uint32_t kKvaHeaderSizeCodePage = 28; // versions 4 and 5
constexpr uint32_t kKvaFileEntrySizeV1 = 40;
constexpr uint32_t kKvaFileEntrySize = 44;   // versions 2 and above
constexpr uint32_t kKvaDirectoryEntrySize = 16;
constexpr uint32_t kKvaNotPacked = 0xFFFFFFFFu;
constexpr uint32_t kKvaNoParent = 0xFFFFFFFFu;
constexpr uint32_t kKvaFolderAttribute = 0x10;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
#pragma pack(push, 1)
struct KvaFileTime {
    uint32_t low;
    uint32_t high;
};

struct KvaHeader {
    char magic[2];             // "KV"
    uint16_t version;
    uint32_t headSize;         // name, file and directory tables
    uint32_t dataStart;        // offset of the data area
    uint32_t headOffset;       // offset of the head block
    uint32_t fileTableOffset;  // inside the head block
    uint32_t directoryTableOffset; // inside the head block
    uint32_t codePage;         // versions 4 and 5 only
};

struct KvaFileEntry {
    uint32_t nameOffset;       // from the start of the name table
    uint32_t attributes;       // 0x10 = folder
    KvaFileTime creationTime;
    KvaFileTime lastAccessTime;
    KvaFileTime lastWriteTime;
    uint32_t dataOffset;       // from the data start; folders: their directory entry
    uint32_t dataSize;         // bytes after expansion
    uint32_t packedSize;       // version 2 and above; kKvaNotPacked = stored as is
};

struct KvaDirectoryEntry {
    uint32_t ownEntryOffset;   // the folder's own file entry
    uint32_t parentOffset;     // kKvaNoParent for the root
    uint32_t entryCount;
    uint32_t firstEntryOffset; // entries follow each other in the file table
};

struct KvaNameRecordHead {
    uint16_t units;            // 4-byte units of the upper-cased name
    uint16_t checkSum;         // 16-bit sum of the upper-cased bytes
};
#pragma pack(pop)

static_assert(sizeof(KvaHeader) == 28);
static_assert(sizeof(KvaFileEntry) == 44);
static_assert(sizeof(KvaDirectoryEntry) == 16);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Make the 12-byte key from a key string (null: the library's own key).
void BuildKvaKey(const char *keyString, unsigned char *key);
// The fixed key tried when the magic does not read "KV" under the first one.
const unsigned char *GetKvaFallbackKey();
// XOR count bytes with the key, the first byte at key position `position`.
void ApplyKvaKey(size_t count, void *buffer, uint32_t position, const unsigned char *key);
// Header bytes for a version (24 below version 4, 28 from it).
uint32_t KvaHeaderSizeFor(int version);
// File-entry bytes for a version (40 for version 1, 44 from version 2).
uint32_t KvaFileEntrySizeFor(int version);
// Name code page to CharSetCode (0 when the version has no code page).
int KvaCodePageToCharSet(int version, uint32_t codePage);
// True for a lead byte of a double-byte character under a CharSetCode.
bool IsKvaLeadByte(int charSet, unsigned char byte);

}  // namespace Korvo
