// The export's colour conversion: BT.709 limited range, chroma averaged over
// each 2x2 block, rows read bottom up from the frame buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "kit/export/bgra_to_i420.h"
#include "kit/export/video_file.h"

namespace {

struct Yuv {
    double y, u, v;
};

// The defining equations in floating point.
Yuv bt709_limited(double r, double g, double b) {
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    return {16 + 219 * luma / 255, 128 + 224 * (b - luma) / 1.8556 / 255, 128 + 224 * (r - luma) / 1.5748 / 255};
}

struct Converted {
    std::vector<uint8_t> y, u, v;
};

Converted convert(const std::vector<uint8_t>& bgra, int width, int height) {
    Converted out{std::vector<uint8_t>(size_t(width) * height), std::vector<uint8_t>(size_t(width) * height / 4),
                  std::vector<uint8_t>(size_t(width) * height / 4)};
    const I420Planes planes = {out.y.data(), out.u.data(), out.v.data(), width, width / 2, width / 2};
    bgra_to_i420(bgra.data(), width * 4, width, height, planes);
    return out;
}

std::vector<uint8_t> filled(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> bgra;
    for (int i = 0; i < width * height; ++i) bgra.insert(bgra.end(), {b, g, r, 255});
    return bgra;
}

TEST(BgraToI420, PrimariesGetTheirStandardValues) {
    // Y, Cb, Cr of the primaries in 8-bit BT.709 studio range.
    const struct {
        uint8_t r, g, b;
        int y, u, v;
    } cases[] = {
        {0, 0, 0, 16, 128, 128},       {255, 255, 255, 235, 128, 128}, {128, 128, 128, 126, 128, 128},
        {255, 0, 0, 63, 102, 240},     {0, 255, 0, 173, 42, 26},       {0, 0, 255, 32, 240, 118},
        {255, 255, 0, 219, 16, 138},   {0, 255, 255, 188, 154, 16},    {255, 0, 255, 78, 214, 230},
    };
    for (const auto& c : cases) {
        const Converted out = convert(filled(32, 4, c.r, c.g, c.b), 32, 4);
        for (uint8_t y : out.y) ASSERT_EQ(y, c.y) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        for (size_t i = 0; i < out.u.size(); ++i) {
            ASSERT_EQ(out.u[i], c.u) << int(c.r) << "," << int(c.g) << "," << int(c.b);
            ASSERT_EQ(out.v[i], c.v) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
    }
}

TEST(BgraToI420, NoisyPixelsWithinRoundingOfTheEquations) {
    const int width = 70, height = 6;  // not a multiple of any vector width
    std::vector<uint8_t> bgra(size_t(width) * height * 4);
    srand(7);
    for (size_t i = 0; i < bgra.size(); ++i) bgra[i] = i % 4 == 3 ? 255 : uint8_t(rand() & 255);
    const Converted out = convert(bgra, width, height);
    auto pixel = [&](int x, int y, int channel) { return double(bgra[(size_t(y) * width + x) * 4 + channel]); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Yuv want = bt709_limited(pixel(x, y, 2), pixel(x, y, 1), pixel(x, y, 0));
            ASSERT_NEAR(out.y[size_t(y) * width + x], want.y, 0.51) << x << "," << y;
        }
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width / 2; ++x) {
            double r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    r += pixel(2 * x + dx, 2 * y + dy, 2) / 4;
                    g += pixel(2 * x + dx, 2 * y + dy, 1) / 4;
                    b += pixel(2 * x + dx, 2 * y + dy, 0) / 4;
                }
            const Yuv want = bt709_limited(r, g, b);
            ASSERT_NEAR(out.u[size_t(y) * width / 2 + x], want.u, 0.51) << x << "," << y;
            ASSERT_NEAR(out.v[size_t(y) * width / 2 + x], want.v, 0.51) << x << "," << y;
        }
}

// The frame buffer's first row is the picture's bottom: the video's first
// row must be the buffer's last.
TEST(BgraToI420, FrameConverterTurnsTheFrameBufferUpright) {
    const int width = 16, height = 8;
    std::vector<uint8_t> bottom_up = filled(width, height, 0, 0, 0);
    for (int x = 0; x < width; ++x) {  // the last two rows in memory: white
        for (int row = height - 2; row < height; ++row)
            for (int c = 0; c < 3; ++c) bottom_up[(size_t(row) * width + x) * 4 + c] = 255;
    }
    FrameConverter converter(width, height);
    AVFrame* frame = converter.convert(bottom_up.data());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->format, AV_PIX_FMT_YUV420P);
    for (int row = 0; row < height; ++row)
        EXPECT_EQ(frame->data[0][row * frame->linesize[0] + 3], row < 2 ? 235 : 16) << row;
    av_frame_free(&frame);
}

}  // namespace
