// Image-file loading: every format from a file, from a KVA archive member and
// from memory, the "_a" alpha image, mirroring and DIB output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/streams/archive_table.h"
#include "core/memory/tracked_alloc.h"
#include "image/image_file_load.h"
#include "image_samples.h"
#include "tests/core/kva_test_archives.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

struct Image {
    RasterImage r;
    Image() { std::memset(&r, 0, sizeof(r)); }
    ~Image() { FreeImageRecord(&r); }
};

bool SamePixels(const RasterImage &a, const RasterImage &b)
{
    if (a.width != b.width || a.height != b.height || a.pitch != b.pitch ||
        std::memcmp(&a.format, &b.format, sizeof(a.format)) != 0)
        return false;
    int bytes = CalcImagePixelDataBytes(&a);
    return bytes == CalcImagePixelDataBytes(&b) && std::memcmp(a.pixels, b.pixels, (size_t)bytes) == 0;
}

class ImageFileLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallStreamFunctionTable(nullptr);
        folder_ = std::string("load_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        kvatest::MakeFolder(folder_);
    }
    void TearDown() override { ReleaseUnusedArchives(); }
    std::string Path(const std::string &rest) const { return folder_ + "/" + rest; }
    std::string folder_;
};

TEST_F(ImageFileLoadTest, EveryFormatFromFileArchiveAndMemory)
{
    auto samples = SampleFilesOfEveryFormat();
    std::vector<KvaPackItem> members;
    for (const auto &s : samples) {
        kvatest::WriteFile(Path(s.first + ".img"), s.second);
        members.push_back(kvatest::File(s.first + ".img", s.second));
    }
    kvatest::MakeFolder(Path("arc"));
    kvatest::WriteFile(Path("arc/pics.KVA"), kvatest::BuildArchive(kvatest::Folder("", members), 5, KvaPacking::Packed));
    for (const auto &s : samples) {
        SCOPED_TRACE(s.first);
        Image fromMemory, fromFile, fromArchive;
        ASSERT_EQ(0, LoadImageRecord(nullptr, s.second.data(), (int)s.second.size(), 1, &fromMemory.r, 0));
        ASSERT_EQ(0, LoadImageRecord(Path(s.first + ".img").c_str(), nullptr, 0, 0, &fromFile.r, 0));
        ASSERT_EQ(0, LoadImageRecord(Path("arc/pics/" + s.first + ".img").c_str(), nullptr, 0, 0, &fromArchive.r, 0));
        EXPECT_TRUE(SamePixels(fromMemory.r, fromFile.r));
        EXPECT_TRUE(SamePixels(fromMemory.r, fromArchive.r));
        // The memory road decodes exactly what the decoder walk gives.
        MemorySource source(s.second);
        Image direct;
        ASSERT_EQ(0, RunImageLoadersWith(nullptr, source.get(), &direct.r));
        EXPECT_TRUE(SamePixels(direct.r, fromMemory.r));
    }
}

TEST_F(ImageFileLoadTest, MissingFilesAndUnknownDataFail)
{
    Image image;
    EXPECT_EQ(-1, LoadImageRecord(Path("none.png").c_str(), nullptr, 0, 0, &image.r, 0));
    Bytes junk(100, 0x11);
    // The memory stream is freed on this road too (the leak checker would report it).
    EXPECT_EQ(-1, LoadImageRecord(nullptr, junk.data(), (int)junk.size(), 1, &image.r, 0));
    EXPECT_EQ(nullptr, image.r.pixels);
}

TEST_F(ImageFileLoadTest, AlphaImageBesideTheColourImage)
{
    PngRecipe colour;
    colour.colorType = 2;
    PngRecipe alpha;
    kvatest::WriteFile(Path("pic.png"), MakePng(colour));
    kvatest::WriteFile(Path("pic_a.png"), MakePng(alpha));
    kvatest::WriteFile(Path("lone.png"), MakePng(colour));
    Image c, a;
    EXPECT_EQ(0, LoadImageAndAlpha(Path("pic.png").c_str(), nullptr, 0, 0, nullptr, 0, 0, &c.r, &a.r, 0));
    EXPECT_EQ(3, c.r.format.bytesPerPixel);
    EXPECT_EQ(1, a.r.format.bytesPerPixel);
    Image c2, a2;
    EXPECT_EQ(1, LoadImageAndAlpha(Path("lone.png").c_str(), nullptr, 0, 0, nullptr, 0, 0, &c2.r, &a2.r, 0));
    EXPECT_NE(nullptr, c2.r.pixels);
    EXPECT_EQ(nullptr, a2.r.pixels);

    Bytes bytes = MakePng(colour), alphaBytes = MakePng(alpha);
    Image c3, a3;
    a3.r.width = 1234;
    EXPECT_EQ(1, LoadImageAndAlpha(nullptr, bytes.data(), (int)bytes.size(), 1, nullptr, 0, 2, &c3.r, &a3.r, 0));
    EXPECT_EQ(1234, a3.r.width);  // alpha mode 2 leaves the alpha record alone
    a3.r.width = 0;
    Image c4, a4;
    // Alpha mode 0 with a memory image and no name: no alpha file to look for.
    EXPECT_EQ(1, LoadImageAndAlpha(nullptr, bytes.data(), (int)bytes.size(), 1, nullptr, 0, 0, &c4.r, &a4.r, 0));
    Image c5, a5;
    EXPECT_EQ(0, LoadImageAndAlpha(nullptr, bytes.data(), (int)bytes.size(), 1, alphaBytes.data(),
                                   (int)alphaBytes.size(), 1, &c5.r, &a5.r, 0));
    Image c6, a6;
    EXPECT_EQ(-1, LoadImageAndAlpha(Path("none.png").c_str(), nullptr, 0, 0, nullptr, 0, 0, &c6.r, &a6.r, 0));

    // Both images as members of an archive.
    kvatest::MakeFolder(Path("arc"));
    kvatest::WriteFile(Path("arc/pics.KVA"),
                       kvatest::BuildArchive(kvatest::Folder("", {kvatest::File("pic.png", bytes),
                                                                  kvatest::File("pic_a.png", alphaBytes)}),
                                             5, KvaPacking::Stored));
    Image c7, a7;
    EXPECT_EQ(0, LoadImageAndAlpha(Path("arc/pics/pic.png").c_str(), nullptr, 0, 0, nullptr, 0, 0, &c7.r, &a7.r, 0));
    EXPECT_EQ(1, a7.r.format.bytesPerPixel);
}

TEST_F(ImageFileLoadTest, MirroringOnlyForFlagOneAndDxtComesBackPlain)
{
    Bytes rgb(12 * 2);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (uint8_t)i;
    Bytes bmp = MakeBmp(4, -2, 24, 0, Bytes(), rgb);
    Image plain, two, mirrored;
    LoadImageRecord(nullptr, bmp.data(), (int)bmp.size(), 1, &plain.r, 0);
    LoadImageRecord(nullptr, bmp.data(), (int)bmp.size(), 1, &two.r, 2);
    LoadImageRecord(nullptr, bmp.data(), (int)bmp.size(), 1, &mirrored.r, 1);
    EXPECT_TRUE(SamePixels(plain.r, two.r));
    EXPECT_EQ(0, std::memcmp((uint8_t *)plain.r.pixels, (uint8_t *)mirrored.r.pixels + 9, 3));

    Bytes block = {0x00, 0xf8, 0x1f, 0x00, 0x00, 0x00, 0x00, 0x55};  // red, blue endpoints
    Bytes dds = MakeDds(4, 4, 0x1007, 0, 0, 4, "DXT1", 0, nullptr, 0x1000, block);
    Image dxt;
    ASSERT_EQ(0, LoadImageRecord(nullptr, dds.data(), (int)dds.size(), 1, &dxt.r, 1));
    EXPECT_EQ(kBlockPlain, dxt.r.format.blockFormat);
    EXPECT_EQ(32, dxt.r.format.bitsPerPixel);
    const uint32_t *row = (const uint32_t *)dxt.r.pixels;
    EXPECT_EQ(0xffff0000u, row[3]);  // index 0 (red) now at the right end
    EXPECT_EQ(0xff0000ffu, row[15]);  // last row: index 1 (blue) mirrored to the right
}

TEST_F(ImageFileLoadTest, DibOutputUsesOrCopiesThePixels)
{
    Bytes rgb(12 * 2, 0x42);
    Bytes bmp = MakeBmp(4, -2, 24, 0, Bytes(), rgb);
    K_BITMAPINFO *info = nullptr;
    void *bits = nullptr;
    ASSERT_EQ(0, LoadImageOrDib(nullptr, bmp.data(), (int)bmp.size(), 1, 1, 0, nullptr, &info, &bits));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(24, info->bmiHeader.biBitCount);
    EXPECT_EQ(-2, info->bmiHeader.biHeight);
    EXPECT_EQ(0x42, ((uint8_t *)bits)[23]);
    TrackedFree(bits);
    TrackedFree(info);

    Bytes grey(8, 7);
    Bytes bmp8 = MakeBmp(3, 2, 8, 0, Bytes(1024, 0), grey);
    ASSERT_EQ(0, LoadImageOrDib(nullptr, bmp8.data(), (int)bmp8.size(), 1, 1, 0, nullptr, &info, &bits));
    EXPECT_EQ(8, info->bmiHeader.biBitCount);
    TrackedFree(bits);
    TrackedFree(info);
}

} // namespace
