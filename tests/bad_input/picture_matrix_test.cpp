// Picture files: the decoder's result for each damage, what it leaves in the
// picture buffer, and what the show makes of it (a missing or empty file ends
// the show; any other unusable picture is shown black).
#include <cstring>
#include <vector>

#include "app/show.h"
#include "bad_input_support.h"
#include "codec/picture_decoder.h"
#include "kit/encoder/picture_encoder.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

// The results a row allows. Garbage after a valid header may be read as
// several things; the row lists them, and never a crash.
using PictureOutcome = std::vector<DecodeResult>;

const Bytes& validPicture() {
    static const Bytes bytes = [] {
        RgbImage image(128, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x) {
                uint8_t* p = image.pixel(x, y);
                p[0] = uint8_t(x * 2);
                p[1] = uint8_t(y * 4);
                p[2] = uint8_t((x ^ y) * 5);
            }
        return encodePicture(image);
    }();
    return bytes;
}

// The 30-bit size header (15 bits width, 15 bits height, most significant
// bit first) put over the start of `bytes`, keeping the two bits after it.
Bytes withHeader(Bytes bytes, uint32_t width, uint32_t height) {
    if (bytes.size() < 4) bytes.resize(4, 0);
    const uint32_t bits = (width & 0x7FFF) << 17 | (height & 0x7FFF) << 2 | (bytes[3] & 3);
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(bits >> (24 - 8 * i));
    return bytes;
}

Bytes headerThen(uint32_t width, uint32_t height, const Bytes& rest) {
    Bytes bytes = withHeader(Bytes(4, 0), width, height);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

using PictureRow = Row<PictureOutcome>;
using D = DecodeResult;

const std::vector<PictureRow> kPictureRows = {
    {"empty", [] { return Bytes(); }, {{D::refused}}},
    {"one_byte", [] { return Bytes(1, 0x08); }, {{D::refused}}},
    {"header_cut_after_three_bytes", [] { return truncated(validPicture(), 3); }, {{D::refused}}},
    {"header_only", [] { return truncated(validPicture(), 4); }, {{D::truncated}}},
    {"truncated_at_a_quarter", [] { return truncated(validPicture(), validPicture().size() / 4); }, {{D::truncated}}},
    {"truncated_at_half", [] { return truncated(validPicture(), validPicture().size() / 2); }, {{D::truncated}}},
    {"truncated_by_one_byte", [] { return truncated(validPicture(), validPicture().size() - 1); }, {{D::truncated}}},
    {"whole", [] { return validPicture(); }, {{D::decoded}}},
    {"zero_size", [] { return withHeader(validPicture(), 0, 0); }, {{D::refused}}},
    {"width_not_a_multiple_of_64", [] { return withHeader(validPicture(), 100, 64); }, {{D::refused}}},
    {"height_above_width", [] { return withHeader(validPicture(), 64, 128); }, {{D::refused}}},
    {"largest_header_value", [] { return withHeader(validPicture(), 0x7FFF, 0x7FFF); }, {{D::refused}}},
    {"more_pixels_than_supported", [] { return withHeader(validPicture(), 8256, 8192); }, {{D::refused}}},
    {"widest_supported_header_only", [] { return headerThen(8192, 64, Bytes()); }, {{D::truncated}}},
    // Ones everywhere: fifteen bit planes of nonzero values, until the data runs out.
    {"all_ones_after_header", [] { return headerThen(64, 64, Bytes(4096, 0xFF)); }, {{D::truncated}}},
    {"garbage_after_header", [] { return headerThen(128, 64, garbage(6000, 1)); },
     {{D::decoded, D::truncated, D::corrupt}}},
    {"garbage", [] { return garbage(6000, 2); }, {{D::decoded, D::truncated, D::corrupt, D::refused}}},
};

class PictureMatrix : public ::testing::TestWithParam<PictureRow> {};

TEST_P(PictureMatrix, DecoderGivesTheRowsResult) {
    const PictureRow& row = GetParam();
    Bytes bytes = row.make();
    MemoryStream stream(bytes.empty() ? nullptr : bytes.data(), int32_t(bytes.size()), 0);
    PictureDecoder decoder;
    PictureBuffer picture;
    const DecodeResult result = decoder.decode(stream, picture);
    bool allowed = false;
    for (DecodeResult expected : row.expected) allowed = allowed || result == expected;
    EXPECT_TRUE(allowed) << "result " << decodeResultName(result);
    if (result == D::decoded || result == D::truncated) {
        ASSERT_NE(picture.pixels, nullptr);
        EXPECT_TRUE(PictureDecoder::sizeSupported(picture.width, picture.height));
        EXPECT_EQ(picture.width, int32_t((uint32_t(bytes[0]) << 7) | bytes[1] >> 1));
    } else {
        EXPECT_EQ(picture.pixels, nullptr);
        EXPECT_EQ(picture.width, 0);
        EXPECT_EQ(picture.height, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, PictureMatrix, ::testing::ValuesIn(kPictureRows), rowName<PictureOutcome>);

// The picture in the show: each unusable file becomes a black slot, an empty
// or missing one ends the show.
class ShowPictureMatrix : public ScratchTest {};

TEST_F(ShowPictureMatrix, UnusablePicturesAreBlackAndEmptyOnesEndTheShow) {
    mountArchives();
    EXPECT_FALSE(load_show_picture(0)) << "missing";
    writeFile("data/images/0100.wmj", Bytes());
    EXPECT_FALSE(load_show_picture(0)) << "empty";
    for (const PictureRow& row : kPictureRows) {
        const Bytes bytes = row.make();
        if (bytes.empty()) continue;
        writeFile("data/images/0100.wmj", bytes);
        std::memset(show_state.picture_pixels, 0x5A, sizeof show_state.picture_pixels);
        EXPECT_TRUE(load_show_picture(0)) << row.name;
        // None of the rows is a 1024 x 512 picture: every slot is opaque black.
        size_t black = 0;
        for (uint32_t pixel : show_state.picture_pixels) black += pixel == 0xFF000000u;
        EXPECT_EQ(black, size_t(kPictureWidth) * kPictureHeight) << row.name;
    }
}

}  // namespace
