// Windows plain files: direct and threaded records, the read-ahead cache,
// asynchronous reads and scratch files.
#include <windows.h>

#include "core/streams/plain_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

std::vector<unsigned char> WriteSample(const char *path, size_t size)
{
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; i++) bytes[i] = (unsigned char)(i * 31 + i / 977);
    FILE *f = std::fopen(path, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return bytes;
}

struct Mode {
    int useCache;
    int useAsync;
};

}  // namespace

TEST(PlainFileWin32, EveryModeReadsWholeElementsAndClampsSeeks)
{
    const std::vector<unsigned char> bytes = WriteSample("plain_modes.bin", 300000);
    const Mode modes[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (const Mode &m : modes) {
        SCOPED_TRACE("cache " + std::to_string(m.useCache) + " async " + std::to_string(m.useAsync));
        Win32FileRecord *r = OpenPlainFileRecord("plain_modes.bin", m.useCache, 0, m.useAsync);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(GetPlainFileSize(r), 300000);
        std::vector<unsigned char> got(bytes.size());
        size_t at = 0;
        // Reads in uneven pieces, with a pause long enough for read-ahead to run.
        while (at < got.size()) {
            size_t piece = std::min<size_t>(got.size() - at, 70001);
            size_t n = ReadPlainFile(got.data() + at, 1, piece, r);
            ASSERT_EQ(n, piece);
            while (!IsPlainFileIdle(r)) Sleep(1);
            at += n;
            if (at == 140002) Sleep(150);
        }
        EXPECT_EQ(got, bytes);

        // 10 elements of 4 bytes, 6 bytes before the end: one element, then the end.
        ASSERT_EQ(SeekPlainFile(r, -6, 2), 0);
        unsigned char four[40];
        EXPECT_EQ(ReadPlainFile(four, 4, 10, r), 1u);
        while (!IsPlainFileIdle(r)) Sleep(1);
        EXPECT_EQ(0, std::memcmp(four, bytes.data() + 299994, 4));
        EXPECT_EQ(TellPlainFile(r), 299998);
        EXPECT_EQ(ReadPlainFile(four, 4, 10, r), 0u);
        EXPECT_EQ(IsPlainFileAtEnd(r), -1);
        EXPECT_EQ(SeekPlainFile(r, 0, 2), 0);
        EXPECT_EQ(IsPlainFileAtEnd(r), 0);
        EXPECT_EQ(ReadPlainFile(four, 1, 1, r), 0u);
        EXPECT_EQ(IsPlainFileAtEnd(r), -1);

        // Seeks stay inside the file.
        EXPECT_EQ(SeekPlainFile(r, -100, 0), 0);
        EXPECT_EQ(TellPlainFile(r), 0);
        EXPECT_EQ(SeekPlainFile(r, 1000, 2), 0);
        EXPECT_EQ(TellPlainFile(r), 300000);
        EXPECT_EQ(SeekPlainFile(r, 5, 9), 0);
        EXPECT_EQ(TellPlainFile(r), 0);
        EXPECT_EQ(ClosePlainFileRecord(r), 0);
    }
}

TEST(PlainFileWin32, MissingFilesOpenNothing)
{
    EXPECT_EQ(OpenPlainFileRecord("no_such_file.bin", 1, 0, 0), nullptr);
    EXPECT_EQ(OpenPlainFileRecord("no_such_file.bin", 0, 0, 1), nullptr);
    EXPECT_EQ(OpenPlainFileRecord("no_such_file.bin", 0, 0, 0), nullptr);
    std::string tooLong(400, 'x');
    EXPECT_EQ(OpenPlainFileRecord(tooLong.c_str(), 1, 0, 0), nullptr);
}

TEST(PlainFileWin32, FindsAndScratchFiles)
{
    WriteSample("find_me_1.dat", 10);
    WriteSample("find_me_2.dat", 20);
    FileFindInfo info;
    uintptr_t find = FindFirstPlainFile("find_me_*.dat", &info);
    ASSERT_NE(find, kNoFindHandle);
    int found = 1;
    while (FindNextPlainFile(find, &info) == 0) found++;
    EXPECT_EQ(found, 2);
    EXPECT_EQ(FindClosePlainFile(find), 0);
    EXPECT_EQ(FindFirstPlainFile("nothing_like_this_*.zz", &info), kNoFindHandle);

    char path[260] = {};
    HANDLE scratch = CreateScratchFile(path);
    ASSERT_NE(scratch, nullptr);
    ASSERT_NE(scratch, INVALID_HANDLE_VALUE);
    EXPECT_EQ(path[1], ':');
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(scratch, "abc", 3, &written, nullptr));
    CloseHandle(scratch);
    EXPECT_NE(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(path);
}
