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

std::vector<uint8_t> header(uint32_t width, uint32_t height, TestBitWriter* rest = nullptr) {
    TestBitWriter writer;
    writer.put(width, 15);
    writer.put(height, 15);
    if (rest) {
        for (size_t i = 0; i < rest->bitCount(); ++i) writer.putBit((rest->bytes[i / 8] >> (7 - i % 8)) & 1);
    }
    return writer.bytes;
}

// A picture whose 768 groups all have a bit-plane count of 0.
std::vector<uint8_t> emptyPicture(uint32_t width, uint32_t height) {
    TestBitWriter groups;
    for (int g = 0; g < 768; ++g) groups.put(0, 4);
    return header(width, height, &groups);
}

// A header followed by random bits: every such file decodes to something.
std::vector<uint8_t> randomPicture(uint32_t width, uint32_t height, size_t bytes, uint32_t seed) {
    std::vector<uint8_t> file = header(width, height);
    std::mt19937 random(seed);
    file.resize(bytes);
    for (size_t i = 4; i < bytes; ++i) file[i] = uint8_t(random());
    // The last 2 bits of byte 3 belong to the data as well.
    file[3] = uint8_t((file[3] & 0xFC) | (random() & 3));
    return file;
}

// The same with each bit 1 at a given rate: few ones give long strings of
// zero codes, many give short runs and many refinement bits.
std::vector<uint8_t> biasedPicture(uint32_t width, uint32_t height, size_t bytes, uint32_t seed, int onesPercent) {
    std::vector<uint8_t> file = randomPicture(width, height, bytes, seed);
    std::mt19937 random(seed * 7919);
    for (size_t i = 4; i < bytes; ++i) {
        uint8_t byte = 0;
        for (int b = 0; b < 8; ++b) byte = uint8_t(byte * 2 + (int(random() % 100) < onesPercent));
        file[i] = byte;
    }
    return file;
}

}  // namespace

// Every stream, however its bits fall, gives the reference decoder's pixels:
// passes that end inside a string of zero codes or inside a run, first codes
// of every kind, and streams that end early.
TEST(PictureDecoder, BiasedRandomStreamsMatchTheReference) {
    const int sizes[][2] = {{64, 64}, {128, 64}, {192, 128}};
    uint32_t seed = 100;
    int compared = 0;
    for (auto& size : sizes)
        for (int onesPercent : {3, 15, 35, 50, 65, 85, 97})
            for (size_t bytes : {600, 6000}) {
                std::vector<uint8_t> file =
                    biasedPicture(uint32_t(size[0]), uint32_t(size[1]), bytes, seed++, onesPercent);
                Decoded out = decodeBytes(file);
                if (out.result == DecodeResult::corrupt) continue;  // a run code beyond 24 bits
                ASSERT_TRUE(out.result == DecodeResult::decoded || out.result == DecodeResult::truncated);
                EXPECT_EQ(out.bgr, referenceDecode(file).bgr)
                    << size[0] << "x" << size[1] << ", " << onesPercent << "% ones, " << bytes << " bytes";
                ++compared;
            }
    EXPECT_GE(compared, 30);
}

TEST(PictureDecoder, HeaderOfA1024By512File) {
    std::vector<uint8_t> file = emptyPicture(1024, 512);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[0], 0x08);
    EXPECT_EQ(file[1], 0x00);
    EXPECT_EQ(file[2], 0x08);
    EXPECT_EQ(file[3] & 0xFC, 0x00);
}

TEST(PictureDecoder, AllZeroGroupsGiveMiddleGrey) {
    Decoded out = decodeBytes(emptyPicture(1024, 512));
    EXPECT_EQ(out.result, DecodeResult::decoded);
    ASSERT_EQ(out.width, 1024);
    ASSERT_EQ(out.height, 512);
    ASSERT_EQ(out.bgr.size(), size_t(1024) * 512 * 3);
    for (size_t i = 0; i < out.bgr.size(); ++i) ASSERT_EQ(out.bgr[i], 128) << "byte " << i;
}

TEST(PictureDecoder, SeveralSizes) {
    // 1024 x 1024 has groups of 4096 coefficients, more than one search covers at once.
    const int sizes[][2] = {{64, 64}, {128, 64}, {128, 128}, {192, 128}, {320, 64}, {256, 192}, {1024, 1024}};
    uint32_t seed = 1;
    for (auto& size : sizes) {
        std::vector<uint8_t> file = randomPicture(uint32_t(size[0]), uint32_t(size[1]), 3000, seed++);
        Decoded out = decodeBytes(file);
        ReferencePicture expected = referenceDecode(file);
        ASSERT_TRUE(out.result == DecodeResult::decoded || out.result == DecodeResult::truncated);
        EXPECT_EQ(out.width, size[0]);
        EXPECT_EQ(out.height, size[1]);
        EXPECT_EQ(out.bgr, expected.bgr) << size[0] << "x" << size[1];
    }
}

TEST(PictureDecoder, ShortReadsGiveTheSamePicture) {
    std::vector<uint8_t> file = randomPicture(128, 64, 9000, 99);
    Decoded whole = decodeBytes(file);
    Decoded trickled = decodeBytes(file, 3);
    EXPECT_EQ(whole.result, trickled.result);
    EXPECT_EQ(whole.bgr, trickled.bgr);
}

TEST(PictureDecoder, ChromaPlaneStartsMidByte) {
    // Plane 0 empty (1024 bits after the 30-bit header): plane 1 starts at bit
    // 1054. Its first group has four bit planes and places +8 on its first
    // coefficient; every later bit is 0. Chroma step 70: 8 x 70 + 35 = 595.
    TestBitWriter data;
    for (int g = 0; g < 256; ++g) data.put(0, 4);
    data.putString("0100 100");
    for (int i = 0; i < 3000; ++i) data.putBit(0);
    std::vector<uint8_t> file = header(64, 64, &data);
    Decoded out = decodeBytes(file);
    EXPECT_EQ(out.result, DecodeResult::decoded);
    ReferencePicture expected = referenceDecode(file);
    EXPECT_EQ(expected.codedPlanes[1][0], 8);
    EXPECT_EQ(expected.blockPlanes[1][0], 595);
    EXPECT_EQ(out.bgr, expected.bgr);
    bool coloured = false;
    for (size_t i = 0; i < out.bgr.size(); i += 3) coloured |= out.bgr[i] != out.bgr[i + 2];
    EXPECT_TRUE(coloured) << "orange chroma must separate blue from red";
}

TEST(PictureDecoder, RefusesSizesOutsideTheLimits) {
    const uint32_t sizes[][2] = {{0, 0},    {1000, 512}, {1024, 500}, {1024, 32}, {32, 32},
                                 {512, 1024}, {64, 128},  {32704, 32704}, {32767, 64}};
    for (auto& size : sizes) {
        std::vector<uint8_t> file = emptyPicture(size[0], size[1]);
        Decoded out = decodeBytes(file);
        EXPECT_EQ(out.result, DecodeResult::refused) << size[0] << "x" << size[1];
        EXPECT_TRUE(out.pixelsNull);
        EXPECT_EQ(out.width, 0);
        EXPECT_EQ(out.height, 0);
    }
    EXPECT_TRUE(PictureDecoder::sizeSupported(1024, 512));
    EXPECT_TRUE(PictureDecoder::sizeSupported(8192, 8192));
    EXPECT_FALSE(PictureDecoder::sizeSupported(16384, 8192));
}

TEST(PictureDecoder, EmptyOrMissingStream) {
    EXPECT_EQ(decodeBytes({}).result, DecodeResult::refused);
    // Three bytes do not hold the 30 header bits.
    EXPECT_EQ(decodeBytes({0x08, 0x00, 0x08}).result, DecodeResult::refused);
    PictureBuffer picture;
    PictureDecoder decoder;
    EXPECT_EQ(decoder.decode(static_cast<Stream*>(nullptr), picture), DecodeResult::refused);
    EXPECT_EQ(picture.pixels, nullptr);
}

TEST(PictureDecoder, HeaderOnlyIsTruncatedGrey) {
    Decoded out = decodeBytes({0x08, 0x00, 0x08, 0x00});
    EXPECT_EQ(out.result, DecodeResult::truncated);
    ASSERT_EQ(out.bgr.size(), size_t(1024) * 512 * 3);
    for (uint8_t b : out.bgr) ASSERT_EQ(b, 128);
}

TEST(PictureDecoder, TruncationReadsZerosAndIsReported) {
    std::vector<uint8_t> file = randomPicture(192, 128, 6000, 5);
    Decoded whole = decodeBytes(file);
    // The file ends early: what is missing reads as zero bits, exactly as the
    // reference decoder (zeros past the end) gives it.
    for (size_t cut : {size_t(5), size_t(100), size_t(1000), size_t(2500)}) {
        std::vector<uint8_t> shortFile(file.begin(), file.begin() + long(cut));
        Decoded out = decodeBytes(shortFile);
        if (out.result == DecodeResult::decoded) continue;  // the data happened to end in time
        EXPECT_EQ(out.result, DecodeResult::truncated) << "cut at " << cut;
        EXPECT_EQ(out.bgr, referenceDecode(shortFile).bgr) << "cut at " << cut;
        EXPECT_NE(out.bgr, whole.bgr);
    }
}

TEST(PictureDecoder, ExactFileIsNotTruncatedButOneByteLessIs) {
    std::vector<uint8_t> file = emptyPicture(1024, 512);  // 3102 bits in 388 bytes
    EXPECT_EQ(decodeBytes(file).result, DecodeResult::decoded);
    file.pop_back();
    EXPECT_EQ(decodeBytes(file).result, DecodeResult::truncated);
}

TEST(PictureDecoder, DecoderAndBufferCanBeReused) {
    std::vector<uint8_t> first = randomPicture(128, 64, 4000, 21);
    std::vector<uint8_t> second = emptyPicture(64, 64);
    PictureDecoder decoder;
    PictureBuffer picture;
    MemoryStream a(first.data(), int32_t(first.size()), 0);
    decoder.decode(a, picture);
    EXPECT_EQ(picture.width, 128);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + 128 * 64 * 3), referenceDecode(first).bgr);
    MemoryStream b(second.data(), int32_t(second.size()), 0);
    EXPECT_EQ(decoder.decode(b, picture), DecodeResult::decoded);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 64);
    for (int i = 0; i < 64 * 64 * 3; ++i) ASSERT_EQ(picture.pixels[i], 128);
    // A refused file empties the buffer.
    std::vector<uint8_t> bad = emptyPicture(100, 64);
    MemoryStream c(bad.data(), int32_t(bad.size()), 0);
    EXPECT_EQ(decoder.decode(c, picture), DecodeResult::refused);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, 0);
}

TEST(PictureBuffer, ResizeAndRelease) {
    PictureBuffer picture;
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.resize(64, 32), 1);
    ASSERT_NE(picture.pixels, nullptr);
    picture.pixels[64 * 32 * 3 - 1] = 7;
    EXPECT_EQ(picture.resize(128, 64), 1);
    EXPECT_EQ(picture.width, 128);
    // The same number of bytes in another shape keeps the block.
    uint8_t* block = picture.pixels;
    EXPECT_EQ(picture.resize(64, 128), 1);
    EXPECT_EQ(picture.pixels, block);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 128);
    EXPECT_EQ(picture.resize(0, 64), 0);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, 0);
}
