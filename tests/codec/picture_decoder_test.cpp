#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/picture_decoder.h"
#include "lib/stream.h"
#include "reference_decoder.h"
#include "test_streams.h"

namespace {

struct Decoded {
    DecodeResult result;
    int32_t width, height;
    std::vector<uint8_t> bgr;
    bool pixelsNull;
};

Decoded decodeBytes(std::vector<uint8_t> bytes, int32_t most = 1 << 30) {
    TrickleStream stream(bytes.empty() ? nullptr : bytes.data(), int32_t(bytes.size()), most);
    PictureBuffer picture;
    PictureDecoder decoder;
    Decoded out;
    out.result = decoder.decode(stream, picture);
    out.width = picture.width;
    out.height = picture.height;
    out.pixelsNull = picture.pixels == nullptr;
    if (picture.pixels) out.bgr.assign(picture.pixels, picture.pixels + size_t(picture.width) * picture.height * 3);
    return out;
}

std::vector<uint8_t> header(uint32_t width, uint32_t height, const TestBitWriter* rest = nullptr) {
    TestBitWriter writer;
    writer.put(width, 15);
    writer.put(height, 15);
    for (size_t i = 0; rest && i < rest->bitCount(); ++i) writer.putBit((rest->bytes[i / 8] >> (7 - i % 8)) & 1);
    return writer.bytes;
}

// A picture whose 768 groups all have a bit-plane count of 0: 3102 bits in 388 bytes.
std::vector<uint8_t> emptyPicture(uint32_t width, uint32_t height) {
    TestBitWriter groups;
    for (int g = 0; g < 768; ++g) groups.put(0, 4);
    return header(width, height, &groups);
}

// A header, then random bits, each 1 at the given rate: few ones give long
// strings of zero codes, many give short runs and many refinement bits.
std::vector<uint8_t> randomPicture(uint32_t width, uint32_t height, size_t bytes, uint32_t seed, int onesPercent = 50) {
    std::vector<uint8_t> file = header(width, height);
    std::mt19937 random(seed);
    file.resize(bytes);
    file[3] = uint8_t(file[3] | (random() & 3));  // the last 2 bits of byte 3 are data
    for (size_t i = 4; i < bytes; ++i)
        for (int b = 0; b < 8; ++b) file[i] = uint8_t(file[i] * 2 + (int(random() % 100) < onesPercent));
    return file;
}

}  // namespace

// Every stream, however its bits fall, gives the reference decoder's pixels,
// read whole or a few bytes at a time: passes that end inside a string of
// zero codes or inside a run, first codes of every kind, streams that end early.
TEST(PictureDecoder, RandomStreamsMatchTheReference) {
    // 1024 x 1024 has groups of 4096 coefficients, more than one search covers at once.
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 128}, {128, 128}, {320, 64}, {256, 192}, {1024, 1024}};
    uint32_t seed = 100;
    int compared = 0, truncated = 0;
    for (auto& size : sizes)
        for (int onesPercent : {3, 15, 35, 50, 65, 85, 97})
            for (size_t bytes : {600, 6000}) {
                if (size[0] * size[1] > 192 * 128 && (onesPercent != 50 || bytes != 6000)) continue;
                SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]) + ", " +
                             std::to_string(onesPercent) + "% ones, " + std::to_string(bytes) + " bytes");
                std::vector<uint8_t> file = randomPicture(uint32_t(size[0]), uint32_t(size[1]), bytes, seed, onesPercent);
                Decoded out = decodeBytes(file, seed++ % 2 ? 3 : 1 << 30);
                if (out.result == DecodeResult::corrupt) continue;  // a run code beyond 24 bits
                ASSERT_TRUE(out.result == DecodeResult::decoded || out.result == DecodeResult::truncated);
                truncated += out.result == DecodeResult::truncated;
                EXPECT_EQ(out.width, size[0]);
                EXPECT_EQ(out.height, size[1]);
                EXPECT_EQ(out.bgr, referenceDecode(file).bgr);
                ++compared;
            }
    EXPECT_GE(compared, 30);
    EXPECT_GE(truncated, 10);
}

TEST(PictureDecoder, RefusesSizesOutsideTheLimits) {
    const uint32_t sizes[][2] = {{0, 0},     {1000, 512}, {1024, 500},    {1024, 32}, {32, 32},
                                 {512, 1024}, {64, 128},  {32704, 32704}, {32767, 64}};
    for (auto& size : sizes) {
        Decoded out = decodeBytes(emptyPicture(size[0], size[1]));
        EXPECT_EQ(out.result, DecodeResult::refused) << size[0] << "x" << size[1];
        EXPECT_TRUE(out.pixelsNull);
        EXPECT_EQ(out.width, 0);
        EXPECT_EQ(out.height, 0);
    }
    EXPECT_TRUE(PictureDecoder::sizeSupported(1024, 512));
    EXPECT_TRUE(PictureDecoder::sizeSupported(8192, 8192));
    EXPECT_FALSE(PictureDecoder::sizeSupported(16384, 8192));
    // No stream, or too few bytes for the 30 header bits.
    EXPECT_EQ(decodeBytes({}).result, DecodeResult::refused);
    EXPECT_EQ(decodeBytes({0x08, 0x00, 0x08}).result, DecodeResult::refused);
    PictureBuffer picture;
    PictureDecoder decoder;
    EXPECT_EQ(decoder.decode(static_cast<Stream*>(nullptr), picture), DecodeResult::refused);
    EXPECT_EQ(picture.pixels, nullptr);
}

TEST(PictureDecoder, EmptyGroupsGiveMiddleGreyAndTheEndIsExact) {
    const std::vector<uint8_t> exact = emptyPicture(1024, 512);
    const struct {
        std::vector<uint8_t> file;
        DecodeResult result;
    } cases[] = {{exact, DecodeResult::decoded},
                 {std::vector<uint8_t>(exact.begin(), exact.end() - 1), DecodeResult::truncated},
                 {{0x08, 0x00, 0x08, 0x00}, DecodeResult::truncated}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.file.size()) + " bytes");
        Decoded out = decodeBytes(c.file);
        EXPECT_EQ(out.result, c.result);
        ASSERT_EQ(out.width, 1024);
        ASSERT_EQ(out.height, 512);
        EXPECT_EQ(out.bgr, std::vector<uint8_t>(size_t(1024) * 512 * 3, 128));
    }
}

TEST(PictureDecoder, DecoderAndBufferCanBeReused) {
    std::vector<uint8_t> first = randomPicture(128, 64, 4000, 21);
    std::vector<uint8_t> second = emptyPicture(64, 64);
    PictureDecoder decoder;
    PictureBuffer picture;
    auto decode = [&](std::vector<uint8_t>& file) {
        MemoryStream stream(file.data(), int32_t(file.size()), 0);
        return decoder.decode(stream, picture);
    };
    decode(first);
    EXPECT_EQ(picture.width, 128);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + 128 * 64 * 3), referenceDecode(first).bgr);
    EXPECT_EQ(decode(second), DecodeResult::decoded);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 64);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + 64 * 64 * 3), std::vector<uint8_t>(64 * 64 * 3, 128));
    // A refused file empties the buffer.
    std::vector<uint8_t> bad = emptyPicture(100, 64);
    EXPECT_EQ(decode(bad), DecodeResult::refused);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, 0);
}

// Growing gives a block for the new size; the same number of bytes in another
// shape keeps the block.
TEST(PictureBuffer, ResizeAndRelease) {
    PictureBuffer picture;
    EXPECT_EQ(picture.resize(64, 32), 1);
    EXPECT_EQ(picture.resize(128, 64), 1);
    picture.pixels[128 * 64 * 3 - 1] = 7;
    uint8_t* block = picture.pixels;
    EXPECT_EQ(picture.resize(64, 128), 1);
    EXPECT_EQ(picture.pixels, block);
    EXPECT_EQ(picture.height, 128);
    EXPECT_EQ(picture.resize(0, 64), 0);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, 0);
}
