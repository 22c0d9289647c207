// Camera frames as Motion JPEG, decoded into the frame callback's layout.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "EffectManager.h"
#include "MjpegDecoder.h"

using namespace zavreo;

namespace {

// A 160 x 96 JPEG as a camera would send it: red over the top half as seen, blue below.
std::vector<uint8_t> RedOverBlue() {
    EM::EffectImage* image = EM::Helper::NewImage(160, 96);
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 160; ++x) {
            uint8_t* p = image->Row(y) + x * 3;  // top row first, as files are
            p[0] = y < 48 ? 0 : 255;
            p[2] = y < 48 ? 255 : 0;
        }
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("zavreo-mjpg-" + std::to_string(getpid()) + ".jpg"))
                                 .string();
    EXPECT_TRUE(EM::Helper::Save(image, path));
    EM::Helper::FreeImage(image);
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

// The same picture without its Huffman tables (DHT segments), as many cameras send frames.
std::vector<uint8_t> WithoutHuffmanTables(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const size_t length = jpeg[at + 2] << 8 | jpeg[at + 3];
        if (jpeg[at + 1] != 0xC4) {
            out.insert(out.end(), jpeg.begin() + at, jpeg.begin() + at + 2 + length);
        }
        at += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + at, jpeg.end());
    return out;
}

}  // namespace

TEST(MjpegDecoder, DecodesStraightIntoBottomUpBgr) {
    const auto jpeg = RedOverBlue();
    MjpegDecoder decoder;
    std::vector<uint8_t> frame;
    int width = 0, height = 0;
    ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size(), &frame, &width, &height));
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 96);
    ASSERT_EQ(frame.size(), 160u * 96 * 3);
    // The first row in memory is the bottom one as seen: blue; the last is red.
    const uint8_t* bottom = frame.data() + 5 * 160 * 3 + 80 * 3;
    const uint8_t* top = frame.data() + 90 * 160 * 3 + 80 * 3;
    EXPECT_GT(bottom[0], 230);
    EXPECT_LT(bottom[2], 25);
    EXPECT_LT(top[0], 25);
    EXPECT_GT(top[2], 230);

    const auto bare = WithoutHuffmanTables(jpeg);
    ASSERT_LT(bare.size(), jpeg.size());
    std::vector<uint8_t> again;
    ASSERT_TRUE(decoder.Decode(bare.data(), bare.size(), &again, &width, &height));
    EXPECT_EQ(again, frame);
}

TEST(MjpegDecoder, RefusesWhatIsNotAPicture) {
    MjpegDecoder decoder;
    std::vector<uint8_t> frame(12, 7);
    int width = -1, height = -1;
    const uint8_t garbage[64] = {0xFF, 0xD8, 0x00, 0x11};
    EXPECT_FALSE(decoder.Decode(garbage, sizeof garbage, &frame, &width, &height));
    EXPECT_FALSE(decoder.Decode(garbage, 0, &frame, &width, &height));
    const auto jpeg = RedOverBlue();
    EXPECT_FALSE(decoder.Decode(jpeg.data(), 40, &frame, &width, &height));
    EXPECT_EQ(frame, std::vector<uint8_t>(12, 7));
    EXPECT_EQ(width, -1);
    // Cut short in its data, a frame decodes as far as it goes, whole in size.
    ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size() - 200, &frame, &width, &height));
    EXPECT_EQ(frame.size(), 160u * 96 * 3);
}
