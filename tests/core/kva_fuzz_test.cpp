// Mutated archives and LZ blocks: truncated, bit-flipped, and with header, table
// and member fields pointing outside. Each must be refused or read within bounds
// (the host build runs this under AddressSanitizer). The seed is fixed so that a
// failure reproduces.
#include "core/streams/kva_archive.h"
#include "core/streams/kva_lz.h"
#include "core/streams/kva_member_stream.h"
#include "kva_test_archives.h"
#include "tools/kvapack/kva_lz_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

using namespace Korvo;
using namespace kvatest;

namespace {

const uint32_t kSeed = 20261209;
// Member bytes are summed here so that reading them cannot be optimised away.
unsigned g_sink;

// Where the scrambled fields of an archive are, to overwrite them with chosen values.
struct Layout {
    int version;
    uint32_t headOffset, headSize, fileTable, dirTable, entrySize, entries, dirs;
};

Layout ReadLayout(const std::vector<uint8_t> &image)
{
    const KvaHeader h = ReadHeader(image);
    Layout l{h.version, h.headOffset, h.headSize, h.fileTableOffset, h.directoryTableOffset,
             KvaFileEntrySizeFor(h.version), 0, 0};
    l.entries = (h.directoryTableOffset - h.fileTableOffset) / l.entrySize;
    l.dirs = (h.headSize - h.directoryTableOffset) / kKvaDirectoryEntrySize;
    return l;
}

// Store a 32-bit value at an image offset, scrambled with that byte's key position.
void Poke32(std::vector<uint8_t> &image, const Layout &l, uint32_t offset, uint32_t value)
{
    if ((uint64_t)offset + 4 > image.size()) return;
    unsigned char key[kKvaKeySize];
    BuildKvaKey(nullptr, key);
    uint32_t position = offset;
    if (l.version >= 5 && offset >= l.headOffset) position = offset - l.headOffset;
    std::memcpy(&image[offset], &value, 4);
    ApplyKvaKey(4, &image[offset], position, key);
}

uint32_t Pick(std::mt19937 &rng, uint32_t size)
{
    const uint32_t values[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, size, size - 1, size + 1,
                               size / 2, (uint32_t)rng(), (uint32_t)rng() % (size + 64)};
    return values[rng() % (sizeof values / sizeof values[0])];
}

std::vector<uint8_t> Mutate(const std::vector<uint8_t> &base, std::mt19937 &rng)
{
    std::vector<uint8_t> m = base;
    const Layout l = ReadLayout(base);
    const uint32_t size = (uint32_t)base.size();
    int rounds = 1 + (int)(rng() % 3);
    for (int r = 0; r < rounds; r++) {
        switch (rng() % 7) {
        case 0:  // truncate
            m.resize(rng() % (m.size() + 1));
            break;
        case 1:  // flip bits anywhere
            for (int i = 0, n = 1 + (int)(rng() % 8); i < n && !m.empty(); i++) m[rng() % m.size()] ^= (uint8_t)(1u << (rng() % 8));
            break;
        case 2:  // a header field
            Poke32(m, l, 4 + 4 * (rng() % 6), Pick(rng, size));
            break;
        case 3:  // a file entry field: name, attributes, data offset, data size, packed size
            if (l.entries) {
                const uint32_t fields[] = {0, 4, 32, 36, 40};
                uint32_t field = fields[rng() % (l.version >= 2 ? 5 : 4)];
                Poke32(m, l, l.headOffset + l.fileTable + (rng() % l.entries) * l.entrySize + field, Pick(rng, size));
            }
            break;
        case 4:  // a directory entry field
            Poke32(m, l, l.headOffset + l.dirTable + (rng() % l.dirs) * 16 + 4 * (rng() % 4), Pick(rng, size));
            break;
        case 5:  // bytes of the head block
            for (int i = 0; i < 4 && l.headSize; i++) {
                uint32_t at = l.headOffset + rng() % l.headSize;
                if (at < m.size()) m[at] = (uint8_t)rng();
            }
            break;
        default:  // member bytes (LZ blocks in packed archives)
            for (int i = 0; i < 3 && l.headOffset > 28; i++) m[28 + rng() % (l.headOffset - 28)] ^= (uint8_t)rng();
            break;
        }
    }
    return m;
}

// Read every member reachable in a few folder levels; returns the members read.
int ReadMembersInMemory(KvaArchive *a, uint32_t dirOffset, int depth)
{
    if (depth > 6) return 0;
    int count = 0;
    const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(a, dirOffset);
    for (uint32_t i = 0; i < dir->entryCount && i < 64; i++) {
        const KvaFileEntry *e = GetKvaFileEntry(a, dir->firstEntryOffset + i * a->fileEntrySize);
        const char *name = GetKvaEntryName(a, e);
        EXPECT_LT(std::strlen(name), (size_t)a->header.headSize);
        if (e->attributes & kKvaFolderAttribute) {
            count += ReadMembersInMemory(a, e->dataOffset, depth + 1);
            continue;
        }
        const unsigned char *at = a->image + a->header.dataStart + e->dataOffset;
        uint32_t stored = GetKvaStoredSize(a, e);
        EXPECT_LE((uint64_t)a->header.dataStart + e->dataOffset + stored, (uint64_t)a->imageSize);
        if (IsKvaMemberPacked(a, e)) {
            // A null output only sizes the block: an empty member still gets a buffer.
            std::vector<uint8_t> out(e->dataSize ? e->dataSize : 1);
            int r = ExpandKvaLzDataBounded(at, stored, out.data(), e->dataSize);
            EXPECT_TRUE(r == -1 || r <= (int)e->dataSize);
        } else {
            for (uint32_t k = 0; k < stored; k++) g_sink = g_sink + at[k];
        }
        count++;
    }
    return count;
}

void ReadMembersThroughStreams(KvaArchive *a, const std::vector<std::string> &names)
{
    for (const std::string &name : names) {
        KvaMemberStream s;
        if (OpenKvaMemberStream(&s, a, name.c_str(), (int)(name.size() & 1)) != 0) continue;
        std::vector<uint8_t> buffer(4096);
        size_t total = 0, n;
        while ((n = ReadKvaMemberStream(&s, buffer.data(), 1, buffer.size())) > 0) total += n;
        EXPECT_LE(total, (size_t)s.entry->dataSize);
        SeekKvaMemberStream(&s, -100, 2);
        ReadKvaMemberStream(&s, buffer.data(), 3, 1000);
        CloseKvaMemberStream(&s);
    }
}

std::vector<std::vector<uint8_t>> BaseArchives()
{
    KvaPackItem tree = Folder("", {
        File("back.png", PatternBytes(1500, 4)),
        File("tiny.txt", Bytes("tiny")),
        Folder("Sub", {File("a.bin", PatternBytes(900, 5)), Folder("D", {File("z.dat", PatternBytes(300, 6))})}),
        File("empty", {}),
    });
    std::vector<std::vector<uint8_t>> bases;
    for (int v = 1; v <= 5; v++) {
        bases.push_back(BuildArchive(tree, v, KvaPacking::Stored));
        if (v >= 2) bases.push_back(BuildArchive(tree, v, KvaPacking::Packed));
    }
    return bases;
}

}  // namespace

TEST(KvaFuzz, MutatedArchivesAreRefusedOrReadWithinBounds)
{
    std::mt19937 rng(kSeed);
    const std::vector<std::vector<uint8_t>> bases = BaseArchives();
    const std::vector<std::string> names = {"back.png", "tiny.txt", "Sub/a.bin", "sub/d/z.dat", "empty", "Sub"};
    MakeFolder("kva_fuzz");
    int accepted = 0, refused = 0, onDisk = 0;
    const int kArchives = 12000;
    for (int i = 0; i < kArchives; i++) {
        const std::vector<uint8_t> mutated = Mutate(bases[i % bases.size()], rng);
        std::vector<uint8_t> image = mutated;
        // Give the image its exact size on the heap, so a read past it is caught.
        std::vector<uint8_t> exact(image.begin(), image.end());
        exact.shrink_to_fit();
        KvaArchive archive;
        ResetKvaArchiveRecord(&archive);
        if (AttachKvaArchiveImage(&archive, exact.data(), (int)exact.size(), nullptr) == 0) {
            accepted++;
            ReadMembersInMemory(&archive, 0, 0);
            for (const std::string &name : names) {
                int offset = 0, size = 0;
                if (GetKvaFileLocation(&archive, name.c_str(), &offset, &size) == 0) {
                    EXPECT_LE((uint64_t)offset + (uint64_t)size, exact.size() * 2732ull);
                    EXPECT_LE((uint64_t)offset, exact.size());
                }
            }
            DisposeKvaArchiveRecord(&archive);
        } else {
            refused++;
        }
        ASSERT_EQ(exact, mutated) << "archive " << i << " not given back as it was";

        // Every eighth one also through the file reader and member streams.
        if (i % 8 == 0) {
            WriteFile("kva_fuzz/m.KVA", mutated);
            KvaArchive file;
            if (OpenKvaArchiveFile(&file, "kva_fuzz/m.KVA") == 0) {
                ReadMembersThroughStreams(&file, names);
                DisposeKvaArchiveRecord(&file);
            }
            onDisk++;
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(accepted + refused, kArchives);
    EXPECT_EQ(onDisk, kArchives / 8);
}

TEST(KvaFuzz, MutatedLzBlocksAreRefusedOrDecodedWithinBounds)
{
    std::mt19937 rng(kSeed + 1);
    std::vector<std::vector<uint8_t>> sources = {PatternBytes(5000, 7), std::vector<uint8_t>(3000, 'r'),
                                                 Bytes("abcabcabcabcabcabcabcabc the end")};
    std::vector<std::vector<uint8_t>> blocks;
    for (const auto &s : sources) blocks.push_back(EncodeKvaLzBlock(s.data(), s.size()));
    int decoded = 0, refused = 0;
    for (int i = 0; i < 12000; i++) {
        std::vector<uint8_t> b = blocks[i % blocks.size()];
        switch (rng() % 4) {
        case 0:
            b.resize(rng() % (b.size() + 1));
            break;
        case 1:
            for (int k = 0, n = 1 + (int)(rng() % 6); k < n; k++) b[rng() % b.size()] ^= (uint8_t)(1u << (rng() % 8));
            break;
        case 2: {
            uint32_t v = Pick(rng, (uint32_t)b.size());
            std::memcpy(&b[(rng() % 2) * 4], &v, 4);
            break;
        }
        default:
            for (int k = 0; k < 4; k++) b[9 + rng() % (b.size() - 9)] = (uint8_t)rng();
            break;
        }
        b.shrink_to_fit();
        int declared = b.size() >= 9 ? ExpandKvaLzData(b.data(), nullptr) : -1;
        std::vector<uint8_t> out(declared > 0 && declared < (1 << 20) ? declared : 16);
        out.shrink_to_fit();
        int r = ExpandKvaLzDataBounded(b.data(), b.size(), out.data(), out.size());
        if (r >= 0) {
            EXPECT_EQ(r, declared);
            decoded++;
        } else {
            refused++;
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}
