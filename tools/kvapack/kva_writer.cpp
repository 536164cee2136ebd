// KVA archive writer: header, data area, then the head block (names, file table,
// directory table), scrambled the way the library's reader expects.
#include "tools/kvapack/kva_writer.h"

#include "tools/kvapack/kva_lz_encode.h"

#include <cstring>
#include <stdexcept>

using namespace Korvo;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
namespace {

struct PlacedFolder {
    const KvaPackItem *item;
    uint32_t ownEntryIndex;
    uint32_t parentFolderIndex;  // kKvaNoParent for the root
    uint32_t firstEntryIndex = 0;
};

struct MemberRange {
    uint32_t offset;   // in the image
    uint32_t length;
    uint32_t keyPosition;
};

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static uint32_t CheckedSize(size_t v)
{
    if (v > 0xFFFFFFF0u) throw std::invalid_argument("archive larger than 4 GB");
    return (uint32_t)v;
}

// Name record: units, sum, upper-cased name padded to whole units, name as written.
static uint32_t AppendNameRecord(std::vector<uint8_t> &names, const std::string &name, int charSet)
{
    uint32_t offset = CheckedSize(names.size());
    size_t units = (name.size() + 4) / 4;
    if (units > 0xFFFF) throw std::invalid_argument("name too long");
    std::vector<uint8_t> upper(units * 4, 0);
    uint16_t sum = 0;
    for (size_t i = 0; i < name.size(); i++) {
        uint8_t c = (uint8_t)name[i];
        if (IsKvaLeadByte(charSet, c) && i + 1 < name.size()) {
            upper[i] = c;
            upper[i + 1] = (uint8_t)name[i + 1];
            sum = (uint16_t)(sum + c + (uint8_t)name[i + 1]);
            i++;
            continue;
        }
        if (c >= 'a' && c <= 'z') c = (uint8_t)(c - 'a' + 'A');
        upper[i] = c;
        sum = (uint16_t)(sum + c);
    }
    KvaNameRecordHead head{(uint16_t)units, sum};
    const uint8_t *h = reinterpret_cast<const uint8_t *>(&head);
    names.insert(names.end(), h, h + sizeof head);
    names.insert(names.end(), upper.begin(), upper.end());
    names.insert(names.end(), name.begin(), name.end());
    names.push_back(0);
    while (names.size() % 4) names.push_back(0);
    return offset;
}

template <typename T>
static void AppendRecord(std::vector<uint8_t> &out, const T &record, size_t bytes)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&record);
    out.insert(out.end(), p, p + bytes);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Lay out, pack and scramble a whole archive.
std::vector<uint8_t> BuildKvaArchiveImage(const KvaPackItem &root, const KvaPackOptions &options)
{
    const int version = options.version;
    // The reader also takes version 0, which is version 1's layout; the packer writes 1 to 5.
    if (version < 1 || version > kKvaHighestVersion)
        throw std::invalid_argument("version must be 1 to 5");
    const int charSet = KvaCodePageToCharSet(version, options.codePage);
    const uint32_t entrySize = KvaFileEntrySizeFor(version);
    const uint32_t headerSize = KvaHeaderSizeFor(version);

    // Folders breadth-first; each folder's entries follow each other in the file table.
    std::vector<const KvaPackItem *> entries{&root};
    std::vector<PlacedFolder> folders{{&root, 0, kKvaNoParent}};
    std::vector<uint32_t> folderOfEntry{0};  // directory index of folder entries
    for (size_t f = 0; f < folders.size(); f++) {
        folders[f].firstEntryIndex = CheckedSize(entries.size());
        for (const KvaPackItem &child : folders[f].item->children) {
            uint32_t index = CheckedSize(entries.size());
            entries.push_back(&child);
            folderOfEntry.push_back(0);
            if (child.folder) {
                folderOfEntry[index] = CheckedSize(folders.size());
                folders.push_back({&child, index, (uint32_t)f});
            }
        }
    }

    // Data area: members in file-table order, packed when asked and worth it.
    std::vector<uint8_t> dataArea;
    std::vector<KvaFileEntry> fileEntries(entries.size());
    std::vector<MemberRange> members;
    std::vector<uint8_t> names;
    for (size_t i = 0; i < entries.size(); i++) {
        const KvaPackItem &item = *entries[i];
        KvaFileEntry &e = fileEntries[i];
        e.nameOffset = AppendNameRecord(names, item.name, charSet);
        e.attributes = item.folder ? kKvaFolderAttribute : 0x20;
        e.creationTime = item.creationTime;
        e.lastAccessTime = item.lastAccessTime;
        e.lastWriteTime = item.lastWriteTime;
        e.packedSize = kKvaNotPacked;
        if (item.folder) {
            e.dataOffset = folderOfEntry[i] * kKvaDirectoryEntrySize;
            e.dataSize = 0;
            continue;
        }
        e.dataOffset = CheckedSize(dataArea.size());
        e.dataSize = CheckedSize(item.data.size());
        std::vector<uint8_t> packed;
        bool pack = version >= 2 && !item.data.empty() && options.packing != KvaPacking::Stored;
        if (pack) {
            packed = EncodeKvaLzBlock(item.data.data(), item.data.size());
            if (options.packing == KvaPacking::Auto && packed.size() >= item.data.size()) pack = false;
        }
        const std::vector<uint8_t> &stored = pack ? packed : item.data;
        if (pack) e.packedSize = CheckedSize(packed.size());
        members.push_back({CheckedSize(dataArea.size()), CheckedSize(stored.size()), e.dataSize});
        dataArea.insert(dataArea.end(), stored.begin(), stored.end());
    }

    std::vector<uint8_t> headBlock = names;
    const uint32_t fileTableOffset = CheckedSize(headBlock.size());
    for (const KvaFileEntry &e : fileEntries) AppendRecord(headBlock, e, entrySize);
    const uint32_t directoryTableOffset = CheckedSize(headBlock.size());
    for (const PlacedFolder &f : folders) {
        KvaDirectoryEntry d;
        d.ownEntryOffset = f.ownEntryIndex * entrySize;
        d.parentOffset = f.parentFolderIndex == kKvaNoParent ? kKvaNoParent
                                                             : f.parentFolderIndex * kKvaDirectoryEntrySize;
        d.entryCount = CheckedSize(f.item->children.size());
        d.firstEntryOffset = f.firstEntryIndex * entrySize;
        AppendRecord(headBlock, d, sizeof d);
    }

    KvaHeader header{};
    header.magic[0] = 'K';
    header.magic[1] = 'V';
    header.version = (uint16_t)version;
    header.headSize = CheckedSize(headBlock.size());
    header.dataStart = headerSize;
    header.headOffset = CheckedSize((size_t)headerSize + dataArea.size());
    header.fileTableOffset = fileTableOffset;
    header.directoryTableOffset = directoryTableOffset;
    header.codePage = options.codePage;

    std::vector<uint8_t> image;
    AppendRecord(image, header, headerSize);
    image.insert(image.end(), dataArea.begin(), dataArea.end());
    image.insert(image.end(), headBlock.begin(), headBlock.end());
    CheckedSize(image.size());

    unsigned char key[kKvaKeySize];
    if (options.key) std::memcpy(key, options.key, sizeof key);
    else BuildKvaKey(nullptr, key);
    if (version < 5) {
        ApplyKvaKey(image.size(), image.data(), 0, key);
    } else {
        // Header by offset, head block from key position 0, each member from its size.
        ApplyKvaKey(headerSize, image.data(), 0, key);
        ApplyKvaKey(headBlock.size(), image.data() + header.headOffset, 0, key);
        for (const MemberRange &m : members)
            ApplyKvaKey(m.length, image.data() + headerSize + m.offset, m.keyPosition, key);
    }
    return image;
}
