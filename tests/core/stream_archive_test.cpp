// The default stream set over archives on disk: which archive a path reads
// from, member reads in every version, handles, asynchronous reads and finds.
#include "core/streams/archive_table.h"
#include "core/streams/stream_entries.h"
#include "core/streams/stream_table.h"
#include "kva_test_archives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

using namespace Korvo;
using namespace kvatest;

namespace {

// Each test works in a folder of its own: open archives stay cached by path.
class StreamArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallStreamFunctionTable(nullptr);
        folder_ = std::string("streams_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        MakeFolder(folder_);
    }
    void TearDown() override { ReleaseUnusedArchives(); }

    std::string Path(const std::string &rest) const { return folder_ + "/" + rest; }

    std::vector<uint8_t> ReadAll(StreamHandle stream)
    {
        std::vector<uint8_t> out;
        uint8_t buffer[333];
        size_t n;
        while ((n = ReadFileStream(buffer, 1, sizeof buffer, stream)) > 0) out.insert(out.end(), buffer, buffer + n);
        return out;
    }

    std::string folder_;
};

}  // namespace

TEST_F(StreamArchiveTest, MembersReadInEveryVersionStoredAndPacked)
{
    const std::vector<uint8_t> back = PatternBytes(200000, 3);
    const KvaPacking packings[] = {KvaPacking::Stored, KvaPacking::Packed};
    for (int version = 1; version <= 5; version++) {
        for (KvaPacking packing : packings) {
            std::string name = "v" + std::to_string(version) + (packing == KvaPacking::Packed ? "p" : "s");
            SCOPED_TRACE(name);
            MakeFolder(Path(name));
            WriteFile(Path(name + "/img.KVA"),
                      BuildArchive(Folder("", {File("back.png", back), File("small.txt", Bytes("0123456789"))}),
                                   version, packing));
            StreamHandle s = OpenFileStream(Path(name + "/img/back.png").c_str(), 0, 0, 0);
            ASSERT_NE(s, 0u);
            EXPECT_EQ(ReadAll(s), back);
            EXPECT_NE(IsFileStreamAtEnd(s), 0);

            // Reads at an offset inside the member descramble with the right key positions.
            ASSERT_EQ(SeekFileStream(s, 123457, 0), 0);
            EXPECT_EQ(IsFileStreamAtEnd(s), 0);
            uint8_t part[1000];
            ASSERT_EQ(ReadFileStream(part, 10, 100, s), 100u);
            EXPECT_EQ(0, std::memcmp(part, back.data() + 123457, sizeof part));
            EXPECT_EQ(TellFileStream(s), 123457 + 1000);
            EXPECT_EQ(CloseFileStream(s), 0);

            // Whole elements only, and seeks stay inside the member.
            s = OpenFileStream(Path(name + "/IMG/SMALL.TXT").c_str(), 0, 0, 0);
            ASSERT_NE(s, 0u);
            EXPECT_EQ(ReadFileStream(part, 4, 3, s), 2u);
            EXPECT_EQ(ReadFileStream(part, 4, 3, s), 0u);
            EXPECT_NE(IsFileStreamAtEnd(s), 0);
            EXPECT_EQ(SeekFileStream(s, -5, 0), 0);
            EXPECT_EQ(TellFileStream(s), 0);
            EXPECT_EQ(SeekFileStream(s, 100, 2), 0);
            EXPECT_EQ(TellFileStream(s), 10);
            EXPECT_EQ(SeekFileStream(s, -3, 1), 0);
            EXPECT_EQ(ReadFileStream(part, 1, 10, s), 3u);
            EXPECT_EQ(0, std::memcmp(part, "789", 3));
            EXPECT_EQ(CloseFileStream(s), 0);
        }
    }
}

TEST_F(StreamArchiveTest, TheArchiveDecidesAndTheShallowestWins)
{
    // img.KVA lacks missing.png: the plain file beside it is not tried.
    MakeFolder(Path("img"));
    WriteFile(Path("img.KVA"), BuildArchive(Folder("", {File("back.png", Bytes("from archive"))}), 5, KvaPacking::Auto));
    WriteFile(Path("img/back.png"), Bytes("from disk"));
    WriteFile(Path("img/missing.png"), Bytes("on disk only"));
    StreamHandle s = OpenFileStream(Path("img/back.png").c_str(), 0, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(ReadAll(s), Bytes("from archive"));
    CloseFileStream(s);
    EXPECT_EQ(OpenFileStream(Path("img/missing.png").c_str(), 0, 0, 0), 0u);

    // a.KVA and a/b.KVA: a/b/c.png comes from a.KVA (as b/c.png).
    MakeFolder(Path("a"));
    WriteFile(Path("a.KVA"), BuildArchive(Folder("", {Folder("b", {File("c.png", Bytes("from a"))})}), 2, KvaPacking::Stored));
    WriteFile(Path("a/b.KVA"), BuildArchive(Folder("", {File("c.png", Bytes("from b"))}), 2, KvaPacking::Stored));
    s = OpenFileStream(Path("a/b/c.png").c_str(), 0, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(ReadAll(s), Bytes("from a"));
    CloseFileStream(s);
    // The fast path (same folder as the last archive found) gives the same answer.
    s = OpenFileStream(Path("a/./b/../b/c.png").c_str(), 0, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(ReadAll(s), Bytes("from a"));
    CloseFileStream(s);

    // A path with no archive opens the plain file.
    MakeFolder(Path("plain"));
    WriteFile(Path("plain/x.txt"), Bytes("plain bytes"));
    s = OpenFileStream(Path("plain/x.txt").c_str(), 1, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(ReadAll(s), Bytes("plain bytes"));
    CloseFileStream(s);
}

TEST_F(StreamArchiveTest, HandlesReferencesAndBadHandles)
{
    ASSERT_EQ(GetOpenStreamCount(), 0);
    MakeFolder(Path("h"));
    WriteFile(Path("h/f.txt"), Bytes("x"));
    StreamHandle first = OpenFileStream(Path("h/f.txt").c_str(), 0, 0, 0);
    EXPECT_EQ(first, 0xF0000000u);
    StreamHandle second = OpenFileStream(Path("h/f.txt").c_str(), 0, 0, 0);
    EXPECT_EQ(second, 0xF0000001u);
    EXPECT_EQ(CloseFileStream(first), 0);
    EXPECT_EQ(CloseFileStream(first), -1);
    EXPECT_EQ(OpenFileStream(Path("h/f.txt").c_str(), 0, 0, 0), 0xF0000000u);
    CloseFileStream(0xF0000000u);
    CloseFileStream(second);
    EXPECT_EQ(GetOpenStreamCount(), 0);

    const StreamHandle bad[] = {0, 5, 0xF0000000u + 40000, 0xF0000123u};
    char buffer[4];
    for (StreamHandle h : bad) {
        EXPECT_EQ(CloseFileStream(h), -1);
        EXPECT_EQ(TellFileStream(h), -1);
        EXPECT_EQ(SeekFileStream(h, 0, 0), -1);
        EXPECT_EQ(ReadFileStream(buffer, 1, 4, h), (size_t)-1);
        EXPECT_EQ(IsFileStreamAtEnd(h), -1);
    }

    // The same archive twice: one number, two references; streams hold one each.
    WriteFile(Path("r.KVA"), BuildArchive(Folder("", {File("m.txt", Bytes("member"))}), 1, KvaPacking::Stored));
    char full[1024];
    ASSERT_TRUE(getcwd(full, sizeof full - 64) != nullptr);
    std::string archivePath = std::string(full) + "/" + Path("r.KVA");
    int a = OpenArchiveByPath(-1, archivePath.c_str());
    ASSERT_GE(a, 0);
    EXPECT_EQ(OpenArchiveByPath(-1, archivePath.c_str()), a);
    EXPECT_EQ(GetArchiveReferenceCount(a), 2);
    ReleaseArchiveReference(a);
    ReleaseArchiveReference(a);
    ReleaseArchiveReference(a);
    EXPECT_EQ(GetArchiveReferenceCount(a), 0);
    EXPECT_EQ(ReleaseUnusedArchives(), 0);
    EXPECT_EQ(GetArchiveReferenceCount(a), -1);
}

TEST_F(StreamArchiveTest, AsynchronousMemberReadsFinishWhenPolled)
{
    const std::vector<uint8_t> data = PatternBytes(50000, 9);
    WriteFile(Path("async.KVA"), BuildArchive(Folder("", {File("p.bin", data), File("s.bin", data)}), 5, KvaPacking::Auto));
    // Force one stored member too: rebuild s.bin stored in its own archive.
    WriteFile(Path("asyncs.KVA"), BuildArchive(Folder("", {File("s.bin", data)}), 5, KvaPacking::Stored));

    StreamHandle packed = OpenFileStream(Path("async/p.bin").c_str(), 0, 0, 1);
    ASSERT_NE(packed, 0u);
    int polls = 0;
    while (IsFileStreamIdle(packed) == 0 && polls < 100000) polls++;
    EXPECT_EQ(IsFileStreamIdle(packed), 1);
    std::vector<uint8_t> out(data.size());
    EXPECT_EQ(ReadFileStream(out.data(), 1, out.size(), packed), data.size());
    EXPECT_EQ(out, data);
    CloseFileStream(packed);

    StreamHandle stored = OpenFileStream(Path("asyncs/s.bin").c_str(), 0, 0, 1);
    ASSERT_NE(stored, 0u);
    std::vector<uint8_t> part(4096);
    ASSERT_EQ(SeekFileStream(stored, 1000, 0), 0);
    EXPECT_EQ(ReadFileStream(part.data(), 1, part.size(), stored), part.size());
    while (IsFileStreamIdle(stored) == 0) {
    }
    EXPECT_EQ(0, std::memcmp(part.data(), data.data() + 1000, part.size()));
    CloseFileStream(stored);
}

TEST_F(StreamArchiveTest, FindsInsideArchives)
{
    WriteFile(Path("f.KVA"),
              BuildArchive(Folder("", {File("one.png", Bytes("1")), File("two.txt", Bytes("22")),
                                       Folder("sub", {File("x.png", Bytes("xxx")), File("y.dat", Bytes("y"))})}),
                           5, KvaPacking::Stored));
    const StreamFunctionTable *table = GetActiveStreamTable();
    FileFindInfo info;
    StreamHandle find = table->FindFirst(Path("f/sub/*").c_str(), &info);
    ASSERT_NE(find, kNoFindHandle);
    std::vector<std::string> names{info.name};
    while (table->FindNext(find, &info) == 0) names.push_back(info.name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "x.png", "y.dat"}));
    EXPECT_EQ(table->FindClose(find), 0);

    find = table->FindFirst(Path("f/*.PNG").c_str(), &info);
    ASSERT_NE(find, kNoFindHandle);
    EXPECT_STREQ(info.name, "one.png");
    EXPECT_EQ(info.sizeLow, 1u);
    EXPECT_EQ(info.directory, 0u);
    EXPECT_EQ(table->FindNext(find, &info), -1);  // no "..": the root has no parent
    table->FindClose(find);

    find = table->FindFirst(Path("f/s?b").c_str(), &info);
    ASSERT_NE(find, kNoFindHandle);
    EXPECT_STREQ(info.name, "sub");
    EXPECT_EQ(info.directory, 1u);
    table->FindClose(find);
    EXPECT_EQ(table->FindFirst(Path("f/*.bmp").c_str(), &info), kNoFindHandle);
}

TEST_F(StreamArchiveTest, AnEmptyArchiveOpensAndHoldsNothing)
{
    // The archive decides: the plain file beside it is not read.
    MakeFolder(Path("empty"));
    WriteFile(Path("empty/x.txt"), Bytes("plain"));
    WriteFile(Path("empty.KVA"), BuildArchive(Folder("", {}), 5, KvaPacking::Auto));
    EXPECT_EQ(OpenFileStream(Path("empty/x.txt").c_str(), 0, 0, 0), 0u);
    const StreamFunctionTable *table = GetActiveStreamTable();
    FileFindInfo info;
    StreamHandle find = table->FindFirst(Path("empty/*").c_str(), &info);
    ASSERT_NE(find, kNoFindHandle);
    EXPECT_STREQ(info.name, ".");
    EXPECT_EQ(table->FindNext(find, &info), -1);
    table->FindClose(find);
}

TEST_F(StreamArchiveTest, PlainFilesAndMemoryStreamsAgreeOnShortTails)
{
    const std::vector<uint8_t> ten = Bytes("0123456789");
    WriteFile(Path("ten.bin"), ten);
    StreamHandle file = OpenFileStream(Path("ten.bin").c_str(), 0, 0, 0);
    ASSERT_NE(file, 0u);
    MemoryReadStream *memory = OpenMemoryReadStream(ten.data(), (int)ten.size());
    ASSERT_NE(memory, nullptr);
    const StreamOpsTable *ops[] = {GetFileStreamOpsTable(), GetMemoryStreamOpsTable()};
    const uintptr_t data[] = {file, reinterpret_cast<uintptr_t>(memory)};
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(i == 0 ? "file" : "memory");
        char buffer[12];
        EXPECT_EQ(ops[i]->Read(buffer, 4, 3, data[i]), 2u);
        EXPECT_EQ(ops[i]->Tell(data[i]), 8);
        EXPECT_EQ(ops[i]->Eof(data[i]) != 0, false);
        EXPECT_EQ(ops[i]->Read(buffer, 4, 3, data[i]), 0u);
        EXPECT_EQ(ops[i]->Tell(data[i]), 8);
        EXPECT_NE(ops[i]->Eof(data[i]), 0);
        EXPECT_EQ(ops[i]->Seek(data[i], 0, 2), 0);
        EXPECT_EQ(ops[i]->Eof(data[i]), 0);
        EXPECT_EQ(ops[i]->Read(buffer, 1, 1, data[i]), 0u);
        EXPECT_NE(ops[i]->Eof(data[i]), 0);
        EXPECT_EQ(ops[i]->Seek(data[i], 20, 0), 0);
        EXPECT_EQ(ops[i]->Tell(data[i]), 10);
        EXPECT_EQ(ops[i]->Seek(data[i], -4, 1), 0);
        EXPECT_EQ(ops[i]->Read(buffer, 2, 5, data[i]), 2u);
        EXPECT_EQ(0, std::memcmp(buffer, "6789", 4));
        EXPECT_EQ(ops[i]->Idle(data[i]), 1);
        EXPECT_EQ(ops[i]->Close(data[i]), 0);
    }
}

TEST_F(StreamArchiveTest, OverLongPathsFailCleanly)
{
    std::string longPath = Path(std::string(3000, 'q') + "/x.png");
    EXPECT_EQ(OpenFileStream(longPath.c_str(), 0, 0, 0), 0u);
    FileFindInfo info;
    EXPECT_EQ(GetActiveStreamTable()->FindFirst(longPath.c_str(), &info), kNoFindHandle);
    EXPECT_EQ(GetOpenStreamCount(), 0);
}

TEST(StreamTable, InstallingNullRestoresTheDefaultSet)
{
    StreamFunctionTable custom = *GetActiveStreamTable();
    custom.Tell = [](StreamHandle) { return 77; };
    InstallStreamFunctionTable(&custom);
    EXPECT_EQ(TellFileStream(0), 77);
    InstallStreamFunctionTable(nullptr);
    EXPECT_EQ(GetActiveStreamTable()->Open, &OpenStreamArchiveFirst);
    EXPECT_EQ(TellFileStream(0), -1);
}

TEST(StreamTable, PlainFilesOnlyInstallsThePlainSet)
{
    kvatest::WriteFile("plain_only.KVA", kvatest::BuildArchive(kvatest::Folder("", {kvatest::File("a.txt", kvatest::Bytes("packed"))}), 5, KvaPacking::Stored));
    kvatest::MakeFolder("plain_only");
    kvatest::WriteFile("plain_only/a.txt", kvatest::Bytes("on disk"));
    SetPlainFilesOnly(1);
    InstallStreamFunctionTable(nullptr);
    StreamHandle s = OpenFileStream("plain_only/a.txt", 0, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_NE(GetActiveStreamTable()->Open, &OpenStreamArchiveFirst);
    char buffer[16] = {};
    EXPECT_EQ(ReadFileStream(buffer, 1, sizeof buffer, s), 7u);
    EXPECT_STREQ(buffer, "on disk");
    EXPECT_EQ(CloseFileStream(s), 0);
    SetPlainFilesOnly(0);
    InstallStreamFunctionTable(nullptr);
    s = OpenFileStream("plain_only/a.txt", 0, 0, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(ReadFileStream(buffer, 1, sizeof buffer, s), 6u);
    CloseFileStream(s);
}
