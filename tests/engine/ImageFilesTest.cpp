#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "EffectManager.h"
#include "ImageCodec.h"

namespace fs = std::filesystem;
using EM::EffectImage;
namespace Helper = EM::Helper;

namespace {

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("zavreo-images-" + std::to_string(getpid()));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

using ImagePtr = std::unique_ptr<EffectImage, void (*)(EffectImage*)>;
ImagePtr Own(EffectImage* image) {
    return ImagePtr(image, &Helper::FreeImage);
}

// A picture with a distinct colour in every quadrant, top row first.
ImagePtr Quadrants(int width, int height) {
    ImagePtr image = Own(Helper::NewImage(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image->Row(y) + x * 3;
            const bool right = x >= width / 2, bottom = y >= height / 2;
            p[0] = right ? 200 : 20;
            p[1] = bottom ? 180 : 40;
            p[2] = right && bottom ? 250 : 60;
        }
    }
    return image;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A minimal BMP: 24 bits bottom-up, or 8 bits with a palette and a negative (top-down) height.
std::vector<uint8_t> MakeBmp(int width, int height, int bits) {
    const size_t row = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t palette = bits == 8 ? 256 * 4 : 0;
    const size_t offset = 54 + palette;
    std::vector<uint8_t> b(offset + row * height);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(width));
    Put32(b, 22, static_cast<uint32_t>(bits == 8 ? -height : height));
    b[26] = 1;
    b[28] = static_cast<uint8_t>(bits);
    for (int i = 0; i < 256 && bits == 8; ++i) {
        b[54 + i * 4] = static_cast<uint8_t>(i);
        b[54 + i * 4 + 1] = static_cast<uint8_t>(255 - i);
        b[54 + i * 4 + 2] = 3;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b[offset + row * y];
            if (bits == 8) {
                p[x] = static_cast<uint8_t>(y * width + x);
            } else {
                p[x * 3] = static_cast<uint8_t>(x);
                p[x * 3 + 1] = static_cast<uint8_t>(y);  // stored row y is row height-1-y as seen
                p[x * 3 + 2] = 77;
            }
        }
    }
    return b;
}

}  // namespace

TEST(ImageFiles, PngRoundTripIsExact) {
    TempDir dir;
    auto picture = Quadrants(33, 21);
    ASSERT_TRUE(Helper::Save(picture.get(), dir.File("a.png")));
    auto back = Own(Helper::ReadImage(dir.File("a.png")));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->width, 33);
    ASSERT_EQ(back->height, 21);
    EXPECT_EQ(0, std::memcmp(back->pixels, picture->pixels, picture->Bytes()));
}

TEST(ImageFiles, JpegRoundTripKeepsColoursAndOrientation) {
    TempDir dir;
    auto picture = Quadrants(64, 48);
    ASSERT_TRUE(Helper::Save(picture.get(), dir.File("a.JPG")));
    auto back = Own(Helper::ReadImage(dir.File("a.JPG")));
    ASSERT_TRUE(back);
    for (auto [x, y] : {std::pair{8, 8}, {56, 8}, {8, 40}, {56, 40}}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(back->Row(y)[x * 3 + c], picture->Row(y)[x * 3 + c], 6) << x << "," << y;
        }
    }
}

TEST(ImageFiles, ReadsBmpInBothRowOrdersAndWithPalette) {
    TempDir dir;
    WriteBytes(dir.File("24.bmp"), MakeBmp(3, 2, 24));
    auto rgb = Own(Helper::ReadImage(dir.File("24.bmp")));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->Row(0)[2 * 3 + 0], 2);  // top row is the last stored row
    EXPECT_EQ(rgb->Row(0)[2 * 3 + 1], 1);
    EXPECT_EQ(rgb->Row(1)[0 * 3 + 1], 0);
    EXPECT_EQ(rgb->Row(1)[0 * 3 + 2], 77);

    WriteBytes(dir.File("8.bmp"), MakeBmp(4, 2, 8));
    auto indexed = Own(Helper::ReadImage(dir.File("8.bmp")));
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->Row(1)[3 * 3 + 0], 7);  // index 7: blue 7, green 248
    EXPECT_EQ(indexed->Row(1)[3 * 3 + 1], 248);
}

TEST(ImageFiles, BrokenFilesGiveNoImage) {
    TempDir dir;
    auto picture = Quadrants(40, 30);
    Helper::Save(picture.get(), dir.File("good.png"));
    Helper::Save(picture.get(), dir.File("good.jpg"));
    WriteBytes(dir.File("good.bmp"), MakeBmp(40, 30, 24));

    EXPECT_EQ(Helper::ReadImage(dir.File("missing.png")), nullptr);
    EXPECT_EQ(Helper::ReadImage(dir.File("")), nullptr);
    WriteBytes(dir.File("empty.png"), {});
    EXPECT_EQ(Helper::ReadImage(dir.File("empty.png")), nullptr);
    WriteBytes(dir.File("text.png"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(Helper::ReadImage(dir.File("text.png")), nullptr);

    // Every truncation of every format, and random corruption of the bodies: never a crash.
    std::mt19937 random(42);
    for (const char* name : {"good.png", "good.jpg", "good.bmp"}) {
        const auto bytes = ReadBytes(dir.File(name));
        // Over the caller's pixel limit: refused.
        EXPECT_FALSE(EM::DecodeImageBytes(bytes.data(), bytes.size(), 3, 40 * 30 - 1)) << name;
        EXPECT_TRUE(EM::DecodeImageBytes(bytes.data(), bytes.size(), 3, 40 * 30)) << name;
        for (size_t length = 0; length < bytes.size(); length += 7) {
            auto part = EM::DecodeImageBytes(bytes.data(), length, 3);
            if (part) {
                EXPECT_EQ(part->pixels.size(), size_t(part->width) * part->height * 3);
            }
        }
        for (int round = 0; round < 200; ++round) {
            auto damaged = bytes;
            for (int i = 0; i < 8; ++i) {
                damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            }
            auto result = EM::DecodeImageBytes(damaged.data(), damaged.size(), 4);
            if (result) {
                EXPECT_EQ(result->pixels.size(), size_t(result->width) * result->height * 4);
            }
        }
    }
    // A BMP that claims a huge size but carries no pixels.
    auto huge = MakeBmp(2, 2, 24);
    Put32(huge, 18, 100000);
    EXPECT_FALSE(EM::DecodeImageBytes(huge.data(), huge.size(), 3));
}

TEST(ImageFiles, FailedSaveLeavesNoFile) {
    TempDir dir;
    auto picture = Quadrants(8, 8);
    EXPECT_FALSE(Helper::Save(picture.get(), dir.File("a.gif")));
    EXPECT_FALSE(fs::exists(dir.File("a.gif")));
    EXPECT_FALSE(Helper::Save(picture.get(), dir.File("no/such/folder/a.png")));
    EXPECT_FALSE(fs::exists(dir.File("no/such/folder/a.png.part")));
}

TEST(ImageHelpers, ResizeStretchesAndKeepRatioLetterboxes) {
    auto picture = Quadrants(200, 100);
    auto stretched = Own(Helper::NewImage(64, 64));
    ASSERT_TRUE(Helper::Resize(picture.get(), stretched.get()));
    EXPECT_EQ(stretched->Row(5)[5 * 3], 20);         // top-left quadrant
    EXPECT_EQ(stretched->Row(60)[60 * 3 + 2], 250);  // bottom-right quadrant

    auto boxed = Own(Helper::NewImage(100, 100));
    ASSERT_TRUE(Helper::ResizeKeepRatio(picture.get(), boxed.get()));
    // 200 x 100 into 100 x 100: 100 x 50 in the middle, black bands of 25 rows above and below.
    EXPECT_EQ(boxed->Row(10)[50 * 3 + 1], 0);
    EXPECT_EQ(boxed->Row(90)[50 * 3 + 1], 0);
    EXPECT_EQ(boxed->Row(30)[10 * 3 + 1], 40);
    EXPECT_EQ(boxed->Row(70)[90 * 3 + 2], 250);
}

TEST(ImageHelpers, HflipReversesTheRowOrder) {
    auto picture = Quadrants(10, 7);
    auto copy = Quadrants(10, 7);
    ASSERT_TRUE(Helper::Hflip(copy.get()));
    for (int y = 0; y < 7; ++y) {
        EXPECT_EQ(0, std::memcmp(copy->Row(y), picture->Row(6 - y), 30));
    }
}
