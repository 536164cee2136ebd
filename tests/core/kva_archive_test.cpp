// KVA archives attached in memory: every version and packing, name look-ups,
// the fallback key, refused images and the caller's bytes given back unchanged.
#include "core/streams/kva_archive.h"
#include "core/streams/kva_lz.h"
#include "core/streams/kva_member_stream.h"
#include "kva_test_archives.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;
using namespace kvatest;

namespace {

KvaPackItem SampleTree()
{
    return Folder("", {
        File("back.png", PatternBytes(3000, 1)),
        File("empty.dat", {}),
        Folder("Sub", {
            File("c.txt", Bytes("hello from sub")),
            Folder("Deep", {File("d.bin", PatternBytes(700, 2))}),
        }),
    });
}

// The member's bytes as stored in the attached image, expanded when packed.
std::vector<uint8_t> MemberBytes(KvaArchive *archive, const char *path)
{
    const KvaFileEntry *entry = FindKvaFileEntry(path, archive);
    if (entry == nullptr) return {};
    int offset = 0, size = 0;
    EXPECT_EQ(GetKvaFileLocation(archive, path, &offset, &size), 0);
    const unsigned char *at = static_cast<unsigned char *>(GetKvaArchiveImagePointer(archive)) + offset;
    if (!IsKvaMemberPacked(archive, entry)) return std::vector<uint8_t>(at, at + size);
    std::vector<uint8_t> out(size);
    EXPECT_EQ(ExpandKvaLzDataBounded(at, entry->packedSize, out.data(), out.size()), size);
    return out;
}

}  // namespace

TEST(KvaArchiveImage, EveryVersionAndPackingReadsBackAndRestoresTheImage)
{
    const KvaPacking packings[] = {KvaPacking::Stored, KvaPacking::Packed};
    for (int version = 1; version <= 5; version++) {
        for (KvaPacking packing : packings) {
            SCOPED_TRACE("version " + std::to_string(version) + (packing == KvaPacking::Packed ? " packed" : " stored"));
            const std::vector<uint8_t> original = BuildArchive(SampleTree(), version, packing);
            std::vector<uint8_t> image = original;
            KvaArchive archive;
            ResetKvaArchiveRecord(&archive);
            ASSERT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), 0);
            EXPECT_EQ(archive.header.version, version);

            EXPECT_EQ(MemberBytes(&archive, "back.png"), PatternBytes(3000, 1));
            EXPECT_EQ(MemberBytes(&archive, "Sub/c.txt"), Bytes("hello from sub"));
            EXPECT_EQ(MemberBytes(&archive, "sub\\deep\\D.BIN"), PatternBytes(700, 2));
            const KvaFileEntry *empty = FindKvaFileEntry("empty.dat", &archive);
            ASSERT_NE(empty, nullptr);
            const uint32_t emptySize = empty->dataSize;
            EXPECT_EQ(emptySize, 0u);
            const KvaFileEntry *packedEntry = FindKvaFileEntry("back.png", &archive);
            EXPECT_EQ(IsKvaMemberPacked(&archive, packedEntry), version >= 2 && packing == KvaPacking::Packed);

            // A second attach on the same record is refused.
            EXPECT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), -1);
            EXPECT_EQ(DisposeKvaArchiveRecord(&archive), 0);
            EXPECT_EQ(image, original);
        }
    }
}

TEST(KvaArchiveImage, FolderMovesAndNameMatching)
{
    std::vector<uint8_t> image = BuildArchive(
        Folder("", {File("back.png", Bytes("b")), File("\xE4x.txt", Bytes("latin")),
                    Folder("Sub", {File("c.txt", Bytes("c"))})}),
        3, KvaPacking::Stored);
    KvaArchive archive;
    ResetKvaArchiveRecord(&archive);
    ASSERT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), 0);

    EXPECT_NE(FindKvaFileEntry("BACK.PNG", &archive), nullptr);
    EXPECT_NE(FindKvaFileEntry("\xE4X.TXT", &archive), nullptr);
    // Only ASCII letters fold: 0xC4 is not the upper case of 0xE4 here.
    EXPECT_EQ(FindKvaFileEntry("\xC4x.txt", &archive), nullptr);
    // A folder name does not match a file, nor a file name a folder.
    EXPECT_EQ(FindKvaFileEntry("Sub", &archive), nullptr);
    EXPECT_EQ(ChangeKvaDirectory(&archive, "back.png", 1), -1);

    ASSERT_EQ(ChangeKvaDirectory(&archive, "SUB", 1), 0);
    EXPECT_NE(FindKvaFileEntry("c.txt", &archive), nullptr);
    EXPECT_NE(FindKvaFileEntry("..\\back.png", &archive), nullptr);
    EXPECT_NE(FindKvaFileEntry("/back.png", &archive), nullptr);
    EXPECT_EQ(FindKvaFileEntry("back.png", &archive), nullptr);
    // A failed move restores the folder; ".." above the root fails.
    EXPECT_EQ(ChangeKvaDirectory(&archive, "../nothing", 1), -1);
    EXPECT_NE(FindKvaFileEntry("c.txt", &archive), nullptr);
    ASSERT_EQ(ChangeKvaDirectory(&archive, "\\", 1), 0);
    EXPECT_EQ(ChangeKvaDirectory(&archive, "..", 1), -1);
    DisposeKvaArchiveRecord(&archive);
}

TEST(KvaArchiveImage, DoubleByteNamesKeepTheirTrailBytes)
{
    // 0x83 0x61 is one Shift-JIS character whose trail byte reads as 'a'.
    std::vector<uint8_t> image =
        BuildArchive(Folder("", {File("\x83\x61.txt", Bytes("kana"))}), 5, KvaPacking::Stored, nullptr, 932);
    KvaArchive archive;
    ResetKvaArchiveRecord(&archive);
    ASSERT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), 0);
    EXPECT_EQ(archive.charSet, 1);
    EXPECT_NE(FindKvaFileEntry("\x83\x61.TXT", &archive), nullptr);
    EXPECT_EQ(FindKvaFileEntry("\x83\x41.txt", &archive), nullptr);
    DisposeKvaArchiveRecord(&archive);
}

TEST(KvaArchiveImage, FallbackKeyAndRefusedImages)
{
    std::vector<uint8_t> image = BuildArchive(SampleTree(), 4, KvaPacking::Packed, GetKvaFallbackKey());
    KvaArchive archive;
    ResetKvaArchiveRecord(&archive);
    ASSERT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), 0);
    EXPECT_EQ(MemberBytes(&archive, "Sub/c.txt"), Bytes("hello from sub"));
    DisposeKvaArchiveRecord(&archive);

    // Version 6 is refused and the image stays as it was.
    unsigned char key[kKvaKeySize];
    BuildKvaKey(nullptr, key);
    std::vector<uint8_t> v6 = BuildArchive(SampleTree(), 5, KvaPacking::Stored);
    ApplyKvaKey(2, &v6[2], 2, key);
    v6[2] = 6;
    ApplyKvaKey(2, &v6[2], 2, key);
    const std::vector<uint8_t> before = v6;
    EXPECT_EQ(AttachKvaArchiveImage(&archive, v6.data(), (int)v6.size(), nullptr), -1);
    EXPECT_EQ(v6, before);

    // Under another key string the magic reads wrong under both keys.
    std::vector<uint8_t> other = BuildArchive(SampleTree(), 2, KvaPacking::Stored);
    EXPECT_EQ(AttachKvaArchiveImage(&archive, other.data(), (int)other.size(), "another key"), -1);

    // A head block that reaches past the image is refused, the image unchanged.
    std::vector<uint8_t> cut = BuildArchive(SampleTree(), 3, KvaPacking::Stored);
    cut.resize(cut.size() - 8);
    const std::vector<uint8_t> cutBefore = cut;
    EXPECT_EQ(AttachKvaArchiveImage(&archive, cut.data(), (int)cut.size(), nullptr), -1);
    EXPECT_EQ(cut, cutBefore);
}

namespace {

// Overwrite 4 bytes of the head block of a scrambled image (key position as the
// version gives it) with a value.
void PokeHead(std::vector<uint8_t> &image, uint32_t headOffsetInBlock, uint32_t value)
{
    unsigned char key[kKvaKeySize];
    BuildKvaKey(nullptr, key);
    const KvaHeader h = ReadHeader(image);
    uint32_t at = h.headOffset + headOffsetInBlock;
    std::memcpy(&image[at], &value, 4);
    ApplyKvaKey(4, &image[at], h.version >= 5 ? headOffsetInBlock : at, key);
}

}  // namespace

// Archives the format allows beyond what the packer writes by default.
TEST(KvaArchiveImage, VersionZeroEmptyArchivesAndARootWithoutItsOwnEntryOpen)
{
    struct Form {
        const char *name;
        std::vector<uint8_t> image;
        bool hasMembers;
    };
    std::vector<Form> forms;
    for (int version = 1; version <= 5; version++)
        forms.push_back({"empty", BuildArchive(Folder("", {}), version, KvaPacking::Auto), false});
    // Version 0 has version 1's layout.
    std::vector<uint8_t> v0 = BuildArchive(SampleTree(), 1, KvaPacking::Stored);
    unsigned char key[kKvaKeySize];
    BuildKvaKey(nullptr, key);
    ApplyKvaKey(2, &v0[2], 2, key);
    v0[2] = 0;
    ApplyKvaKey(2, &v0[2], 2, key);
    forms.push_back({"version 0", v0, true});
    for (int version : {3, 5}) {
        std::vector<uint8_t> rootless = BuildArchive(SampleTree(), version, KvaPacking::Packed);
        PokeHead(rootless, ReadHeader(rootless).directoryTableOffset, 0xFFFFFFFFu);
        forms.push_back({"root own entry undefined", rootless, true});
    }

    for (Form &form : forms) {
        SCOPED_TRACE(form.name);
        const std::vector<uint8_t> original = form.image;
        KvaArchive archive;
        ResetKvaArchiveRecord(&archive);
        ASSERT_EQ(AttachKvaArchiveImage(&archive, form.image.data(), (int)form.image.size(), nullptr), 0);
        EXPECT_EQ(FindKvaFileEntry("missing.txt", &archive), nullptr);
        if (form.hasMembers) {
            EXPECT_EQ(MemberBytes(&archive, "back.png"), PatternBytes(3000, 1));
            EXPECT_EQ(MemberBytes(&archive, "Sub/Deep/d.bin"), PatternBytes(700, 2));
            EXPECT_EQ(ChangeKvaDirectory(&archive, "Sub\\..\\Sub", 1), 0);
        }
        DisposeKvaArchiveRecord(&archive);
        EXPECT_EQ(form.image, original);
    }
}

// Version-5 members are descrambled in place, so stored ranges may be shared
// only when they are the same bytes under the same key.
TEST(KvaArchiveImage, SharedMemberBytesAreDescrambledOnceOrRefused)
{
    const std::vector<uint8_t> base = BuildArchive(
        Folder("", {File("a.bin", PatternBytes(100, 1)), File("b.bin", PatternBytes(100, 2))}), 5,
        KvaPacking::Stored);
    // After the root's entry and a.bin's.
    const uint32_t secondEntry = ReadHeader(base).fileTableOffset + 2 * kKvaFileEntrySize;

    const struct {
        const char *name;
        uint32_t secondOffset;
        bool opens;
    } cases[] = {{"same range", 0, true}, {"overlapping range", 50, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> image = base;
        PokeHead(image, secondEntry + 32, c.secondOffset);
        const std::vector<uint8_t> original = image;
        KvaArchive archive;
        ResetKvaArchiveRecord(&archive);
        ASSERT_EQ(AttachKvaArchiveImage(&archive, image.data(), (int)image.size(), nullptr), c.opens ? 0 : -1);
        if (c.opens) {
            EXPECT_EQ(MemberBytes(&archive, "a.bin"), PatternBytes(100, 1));
            EXPECT_EQ(MemberBytes(&archive, "b.bin"), PatternBytes(100, 1));
            DisposeKvaArchiveRecord(&archive);
        }
        EXPECT_EQ(image, original);
    }
}

namespace {

// A member read through a stream over the archive file.
std::vector<uint8_t> StreamedMemberBytes(KvaArchive *archive, const char *path)
{
    KvaMemberStream stream;
    if (OpenKvaMemberStream(&stream, archive, path, 0) != 0) return {};
    std::vector<uint8_t> out(stream.entry->dataSize + 1);
    out.resize(ReadKvaMemberStream(&stream, out.data(), 1, out.size()));
    CloseKvaMemberStream(&stream);
    return out;
}

}  // namespace

// A folder that no folder entry names, reached only through another folder's
// parent link: attached in memory its members read as they do from the file.
TEST(KvaArchiveImage, AFolderReachedOnlyThroughAParentLinkReadsAsFromTheFile)
{
    const std::vector<uint8_t> c = Bytes("ABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCDABCD");
    const std::vector<uint8_t> d = PatternBytes(700, 3);
    // Directory entries: root at 0, Sub at 16, X at 32.
    const KvaPackItem tree = Folder("", {Folder("Sub", {}), Folder("X", {File("c.bin", c), File("d.bin", d)})});
    MakeFolder("kva_parent_link");
    for (KvaPacking packing : {KvaPacking::Stored, KvaPacking::Packed}) {
        SCOPED_TRACE(packing == KvaPacking::Packed ? "packed" : "stored");
        std::vector<uint8_t> image = BuildArchive(tree, 5, packing);
        const uint32_t dirTable = ReadHeader(image).directoryTableOffset;
        PokeHead(image, dirTable + 8, 1);            // the root lists Sub only
        PokeHead(image, dirTable + 16 + 4, 32);      // Sub's parent is X
        const std::vector<uint8_t> original = image;
        WriteFile("kva_parent_link/a.KVA", image);

        KvaArchive file, memory;
        ASSERT_EQ(OpenKvaArchiveFile(&file, "kva_parent_link/a.KVA"), 0);
        ResetKvaArchiveRecord(&memory);
        ASSERT_EQ(AttachKvaArchiveImage(&memory, image.data(), (int)image.size(), nullptr), 0);
        EXPECT_EQ(FindKvaFileEntry("X/c.bin", &memory), nullptr);
        const struct {
            const char *path;
            const std::vector<uint8_t> &bytes;
        } members[] = {{"Sub/../c.bin", c}, {"sub\\..\\D.BIN", d}};
        for (const auto &m : members) {
            SCOPED_TRACE(m.path);
            EXPECT_EQ(StreamedMemberBytes(&file, m.path), m.bytes);
            EXPECT_EQ(MemberBytes(&memory, m.path), m.bytes);
        }
        DisposeKvaArchiveRecord(&file);
        DisposeKvaArchiveRecord(&memory);
        EXPECT_EQ(image, original);
    }
}
