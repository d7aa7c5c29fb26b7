// The picture decoder: its bit reader and coefficient decoder on bit strings
// made by hand, the builds of its bit-plane passes (portable, with the
// processor's bit instructions, 512-bit) against each other, and whole
// pictures, read whole or a few bytes at a time, against the reference decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "codec/bit_reader.h"
#include "codec/picture_decoder.h"
#include "codec/significance_pass.h"
#include "lib/stream.h"
#include "reference_decoder.h"

namespace {

// Appends bits most significant first, as the picture format stores them:
// the low bits of a value, or a string of '0' and '1' (anything else ignored).
struct TestBitWriter {
    std::vector<uint8_t> bytes;
    size_t used = 0;

    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i, ++used) {
            if (used % 8 == 0) bytes.push_back(0);
            if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> (used % 8));
        }
    }
    void put(const std::string& text) {
        for (char c : text)
            if (c == '0' || c == '1') put(c == '1', 1);
    }
};

// A memory stream that hands out at most a few bytes per read, as a slow device might.
class TrickleStream : public MemoryStream {
public:
    TrickleStream(void* block, int32_t size, int32_t most) : MemoryStream(block, size, 0), most(most) {}
    int32_t read(void* destination, int32_t count) override {
        return MemoryStream::read(destination, std::min(count, most));
    }

private:
    int32_t most;
};

// The result and the picture buffer's size and pixels (none when it is empty).
struct Decoded {
    DecodeResult result;
    int32_t width, height;
    std::vector<uint8_t> bgr;
};

Decoded decodeBytes(std::vector<uint8_t> bytes, int32_t most = 1 << 30) {
    TrickleStream stream(bytes.empty() ? nullptr : bytes.data(), int32_t(bytes.size()), most);
    PictureBuffer picture;
    PictureDecoder decoder;
    Decoded out;
    out.result = decoder.decode(&stream, picture);
    out.width = picture.width;
    out.height = picture.height;
    if (picture.pixels) out.bgr.assign(picture.pixels, picture.pixels + size_t(picture.width) * picture.height * 3);
    return out;
}

// The 30-bit header, then groups of no bit planes (4 zero bits each).
std::vector<uint8_t> emptyPicture(uint32_t width, uint32_t height, int groups = 768) {
    TestBitWriter writer;
    writer.put(width, 15);
    writer.put(height, 15);
    for (int g = 0; g < groups; ++g) writer.put(0, 4);
    return writer.bytes;
}

// A header, then random bits, each 1 at the given rate: few ones give long
// strings of zero codes, many give short runs and many refinement bits.
std::vector<uint8_t> randomPicture(uint32_t width, uint32_t height, size_t bytes, uint32_t seed, int onesPercent = 50) {
    std::vector<uint8_t> file = emptyPicture(width, height, 0);
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
                const std::vector<uint8_t> file = randomPicture(size[0], size[1], bytes, seed, onesPercent);
                Decoded out = decodeBytes(file, seed++ % 2 ? 3 : 1 << 30);
                if (out.result == DecodeResult::corrupt) continue;  // a run code beyond 24 bits
                ASSERT_TRUE(out.result == DecodeResult::decoded || out.result == DecodeResult::truncated);
                truncated += out.result == DecodeResult::truncated;
                EXPECT_EQ(out.width, size[0]);
                EXPECT_EQ(out.height, size[1]);
                EXPECT_EQ(out.bgr, referenceDecode(file));
                ++compared;
            }
    EXPECT_GE(compared, 30);
    EXPECT_GE(truncated, 10);
}

// Headers outside the limits, or not held in full, are refused with an empty
// buffer; a picture of empty groups is middle grey, and it is truncated as
// soon as one of its bits is missing. The results by the names the player
// reports them with.
TEST(PictureDecoder, HeaderLimitsAndTheExactEnd) {
    const std::vector<uint8_t> exact = emptyPicture(1024, 512);
    const struct {
        std::vector<uint8_t> file;
        const char* result;
    } cases[] = {
        {exact, "decoded"},
        {std::vector<uint8_t>(exact.begin(), exact.end() - 1), "truncated"},
        {{0x08, 0x00, 0x08, 0x00}, "truncated"},  // 1024 x 512, nothing after the header
        {{0x08, 0x00, 0x08}, "refused"},          // two header bits missing
        {{}, "refused"},
        {emptyPicture(0, 0), "refused"},
        {emptyPicture(1000, 512), "refused"},
        {emptyPicture(1024, 500), "refused"},
        {emptyPicture(1024, 32), "refused"},
        {emptyPicture(64, 128), "refused"},    // taller than wide
        {emptyPicture(8256, 8192), "refused"},  // just beyond the most pixels
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const Decoded out = decodeBytes(c.file);
        EXPECT_STREQ(decodeResultName(out.result), c.result);
        const bool refused = out.result == DecodeResult::refused;
        EXPECT_EQ(out.width, refused ? 0 : 1024);
        EXPECT_EQ(out.height, refused ? 0 : 512);
        EXPECT_EQ(out.bgr, std::vector<uint8_t>(refused ? 0 : size_t(1024) * 512 * 3, 128));
    }
    EXPECT_TRUE(PictureDecoder::sizeSupported(8192, 8192));
    PictureBuffer picture;
    PictureDecoder decoder;
    EXPECT_EQ(decoder.decode(static_cast<Stream*>(nullptr), picture), DecodeResult::refused);
}

// One decoder and one buffer for several pictures: a picture of the same
// number of pixels in another shape keeps the buffer's block, a refused one
// empties the buffer.
TEST(PictureDecoder, DecoderAndBufferCanBeReused) {
    std::vector<uint8_t> first = randomPicture(256, 64, 4000, 21);
    std::vector<uint8_t> second = emptyPicture(128, 128);
    std::vector<uint8_t> bad = emptyPicture(100, 64);
    PictureDecoder decoder;
    PictureBuffer picture;
    auto decode = [&](std::vector<uint8_t>& file) {
        MemoryStream stream(file.data(), int32_t(file.size()), 0);
        return decoder.decode(stream, picture);
    };
    decode(first);
    EXPECT_EQ(picture.width, 256);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + 256 * 64 * 3), referenceDecode(first));
    const uint8_t* block = picture.pixels;
    EXPECT_EQ(decode(second), DecodeResult::decoded);
    EXPECT_EQ(picture.pixels, block);
    EXPECT_EQ(picture.width, 128);
    EXPECT_EQ(picture.height, 128);
    EXPECT_EQ(std::vector<uint8_t>(picture.pixels, picture.pixels + 128 * 128 * 3),
              std::vector<uint8_t>(128 * 128 * 3, 128));
    EXPECT_EQ(decode(bad), DecodeResult::refused);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, 0);
    EXPECT_EQ(picture.resize(64, 64), 1);
    EXPECT_EQ(picture.resize(0, 64), 0);
    EXPECT_EQ(picture.pixels, nullptr);
}

// The end is passed at the first missing bit; what follows reads as zero.
TEST(BitReader, TheEnd) {
    uint8_t bytes[] = {0xA5, 0x5A, 0xC3};
    MemoryStream stream(bytes, 3, 0);
    BitReader reader;
    reader.attach(&stream);
    EXPECT_EQ(reader.readBits(23), 0xA55AC3u >> 1);
    EXPECT_EQ(reader.readBit(), 1u);
    EXPECT_FALSE(reader.pastEnd());
    EXPECT_EQ(reader.readBit(), 0u);
    EXPECT_TRUE(reader.pastEnd());
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(reader.readBits(24), 0u);
    EXPECT_EQ(reader.bytesDelivered(), 3);
}

// The first group of a plane decoded from hand-made bits: where the values
// land and how many bits the group took (-1: not checked).
TEST(CoefficientDecoder, FirstGroupFromHandMadeBits) {
    const std::string zeros11(11, '0'), zeros12(12, '0');
    struct Placed {
        int row, column, value;
    };
    const struct {
        const char* name;
        std::string bits;
        int width, height;
        int64_t consumed;
        std::vector<Placed> placed;
    } cases[] = {
        {"empty group costs four bits", "0000", 1024, 512, 4, {}},
        {"one plane, nothing placed", "0001" + zeros11, 1024, 512, 15, {}},
        // k = 1: 1 00 is run 0, +d; 1 01 run 0, -d; 1 10 run 1, +d.
        {"minus", "0001 101" + zeros11, 1024, 512, -1, {{0, 0, -1}}},
        {"skip one", "0001 110" + zeros11, 1024, 512, -1, {{0, 1, 1}}},
        // After a placement k is 0; a 0 bit keeps one coefficient at zero and raises k to 1.
        {"zero bit after k = 0", "0001 100 0 100" + zeros11, 1024, 512, -1, {{0, 0, 1}, {0, 2, 1}}},
        // A 1024 x 512 cell is 16 x 8. Six 0 codes (k = 1 .. 6) cover 126
        // coefficients; with k = 7 run 2 places on index 128, the first of the
        // second cell (plane column 16), run 1 on index 127, the first cell's last.
        {"second cell", "0001 000000 1 00000100" + zeros12, 1024, 512, -1, {{0, 16, 1}}},
        {"end of first cell", "0001 000000 1 00000010" + zeros12, 1024, 512, -1, {{7, 15, 1}}},
        // d = 2: -2, then twelve 0 codes; d = 1: eleven 0 codes and the refinement bit 1 (a
        // coefficient takes none in the plane that makes it significant).
        {"refined negative", "0010 101" + zeros12 + zeros11 + "1", 1024, 512, 4 + 3 + 12 + 11 + 1, {{0, 0, -3}}},
        // 64 x 64: cells of one coefficient; scan positions 1 and 2 are (0,1) and (1,0).
        {"smallest plane", "0001 110 100" + std::string(8, '0'), 64, 64, -1, {{0, 1, 1}, {1, 0, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestBitWriter writer;
        writer.put(c.bits);
        for (int i = 0; i < 64; ++i) writer.put(0, 24);
        MemoryStream stream(writer.bytes.data(), int32_t(writer.bytes.size()), 0);
        PictureDecoder decoder;
        std::vector<int16_t> plane(size_t(c.width) * c.height, 0);
        ASSERT_TRUE(decoder.prepareCoefficientDecoding(c.width, c.height));
        decoder.reader.attach(&stream);
        EXPECT_TRUE(decoder.decodeGroup(plane.data(), 0, 16));
        if (c.consumed >= 0) {
            EXPECT_EQ(decoder.reader.bitsConsumed(), c.consumed);
        }
        for (const Placed& p : c.placed) EXPECT_EQ(plane[size_t(p.row) * c.width + p.column], p.value);
        EXPECT_EQ(plane.size() - size_t(std::count(plane.begin(), plane.end(), 0)), c.placed.size());
    }
}

TEST(CoefficientDecoder, RiceParameterAbove23IsCorrupt) {
    TestBitWriter writer;
    writer.put(0xFFFFFF, 24);
    writer.put(0xFFFFFF, 24);
    MemoryStream stream(writer.bytes.data(), int32_t(writer.bytes.size()), 0);
    PictureDecoder decoder;
    decoder.reader.attach(&stream);
    decoder.riceParameter = 23;
    EXPECT_TRUE(decoder.decodeRun(4));
    EXPECT_EQ(decoder.zeroRun, (1 << 23) - 1);
    EXPECT_EQ(decoder.pendingValue, -4);
    decoder.riceParameter = 24;
    EXPECT_FALSE(decoder.decodeRun(4));
}

namespace {

using SignificancePass = bool (*)(BitReader&, RunState&, int16_t*, uint64_t*, WordZeros*, int32_t, int32_t);
using RefinementPass = void (*)(BitReader&, int16_t*, const uint64_t*, int32_t, int32_t);

// A first run code, the significance pass and the refinement pass of one
// bit plane of a group, as the decoder runs them, with one build of the passes.
struct PassResult {
    bool ok;
    RunState state;
    std::vector<int16_t> values;
    std::vector<uint64_t> significant;
    int64_t consumed;

    PassResult(SignificancePass significance, RefinementPass refinement, std::vector<uint8_t> bits,
               const std::vector<int16_t>& start, int32_t groupSize, int32_t d)
        : state{0, 1, 0}, values(start) {
        const int32_t words = (groupSize + 63) / 64;
        values.resize(size_t(words) * 64, 0);
        significant.assign(size_t(words), 0);
        for (int32_t i = 0; i < words * 64; ++i)
            if (i >= groupSize || values[size_t(i)] != 0) significant[size_t(i / 64)] |= uint64_t(1) << (i % 64);
        std::vector<uint64_t> refinable = significant;
        if (groupSize % 64 != 0) refinable.back() &= ~(~uint64_t(0) << (groupSize % 64));
        std::vector<WordZeros> zeros(static_cast<size_t>(words));
        MemoryStream stream(bits.data(), int32_t(bits.size()), 0);
        BitReader reader;
        reader.attach(&stream);
        ok = readRunCode(reader, state, d) &&
             significance(reader, state, values.data(), significant.data(), zeros.data(), words, d);
        if (ok) refinement(reader, values.data(), refinable.data(), words, d);
        consumed = reader.bitsConsumed();
    }
};

}  // namespace

// Groups of one word, of an odd number of words, of the 32 words of the
// show's pictures and of more than 64 words (searched word by word).
TEST(BitPlanePasses, AllBuildsAgree) {
    if (!significancePassFastAvailable()) GTEST_SKIP() << "the processor has no fast bit instructions";
    std::vector<std::pair<SignificancePass, RefinementPass>> builds = {{significancePassFast, refinementPassFast}};
    if (significancePassAvx512Available() && refinementAvx512Available())
        builds.push_back({significancePassAvx512, refinementPassAvx512});
    std::mt19937 random(17);
    const int32_t groupSizes[] = {16, 528, 2048, 4160};
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const int32_t groupSize = groupSizes[trial % 4];
        // Some coefficients already significant, at a density that varies.
        std::vector<int16_t> values(size_t(groupSize), 0);
        const uint32_t density = random() % 101;
        for (auto& v : values)
            if (random() % 100 < density) v = int16_t(random() % 2 ? 16 + random() % 100 : -16 - int(random() % 100));
        // Mostly zero bits give long runs, mostly one bits short ones.
        std::vector<uint8_t> bits(4096);
        const uint32_t ones = random() % 100;
        for (auto& b : bits)
            for (int i = 0; i < 8; ++i) b = uint8_t(b * 2 + (random() % 100 < ones));
        const PassResult portable(significancePassPortable, refinementPassPortable, bits, values, groupSize, 8);
        for (const auto& build : builds) {
            const PassResult fast(build.first, build.second, bits, values, groupSize, 8);
            ASSERT_EQ(portable.ok, fast.ok);
            EXPECT_EQ(portable.values, fast.values);
            EXPECT_EQ(portable.significant, fast.significant);
            EXPECT_EQ(portable.consumed, fast.consumed);
            EXPECT_EQ(portable.state.zeroRun, fast.state.zeroRun);
            EXPECT_EQ(portable.state.riceParameter, fast.state.riceParameter);
            EXPECT_EQ(portable.state.pendingValue, fast.state.pendingValue);
        }
    }
}
