// Songs in the formats people have, decoded through FFmpeg to the show's
// 44.1 kHz stereo and encoded to Ogg Vorbis with the fade at the show's end.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include "kit/image/image_file.h"
#include "kit/make/song.h"
#include "test_media.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

class Songs : public ::testing::Test {
protected:
    void SetUp() override { directory_ = make_temp_directory("velkit_songs"); }
    void TearDown() override { fs::remove_all(directory_); }
    std::string path(const std::string& name) const { return directory_ + "/" + name; }
    std::string directory_;
};

double rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(std::max<size_t>(1, to - from)));
}

}  // namespace

TEST_F(Songs, EveryCommonFormatDecodesTo44100Stereo) {
    const struct {
        const char *file, *encoder;
        int rate, channels;
    } formats[] = {
        {"song.mp3", "libmp3lame", 44100, 2}, {"song.flac", "flac", 48000, 2},     {"song.wav", "pcm_s16le", 22050, 1},
        {"song.opus", "libopus", 48000, 2},   {"song.ogg", "libvorbis", 32000, 2}, {"song.m4a", "aac", 44100, 2},
    };
    int tested = 0;
    for (const auto& format : formats) {
        SCOPED_TRACE(format.file);
        if (!hasAudioEncoder(format.encoder)) {
            std::printf("no %s encoder in this FFmpeg: %s not tested\n", format.encoder, format.file);
            continue;
        }
        std::string error;
        ASSERT_TRUE(writeSong(path(format.file), format.encoder, 3.0, format.rate, format.channels, &error)) << error;
        const DecodedAudio audio = decodeAudioFile(path(format.file));
        EXPECT_EQ(audio.sourceRate, format.rate);
        EXPECT_EQ(audio.sourceChannels, format.channels);
        EXPECT_NEAR(audio.seconds(), 3.0, 0.12);  // give or take the encoders' padding
        EXPECT_EQ(audio.keptFrames(), audio.frames);
        // The chord is there, at about its level (0.3 + 0.2 peak).
        const double level = rms(audio.samples, 44100, 2 * 44100);
        EXPECT_GT(level, 0.15 * 32768);
        EXPECT_LT(level, 0.5 * 32768);
        ++tested;
    }
    EXPECT_GE(tested, 3);
}

// Only the show's part of the song is kept, but the whole is measured; the
// music fades out over the show's last 3 s and is cut at its end.
TEST_F(Songs, ShowMusicFadesOutOverTheLastThreeSecondsAndIsCut) {
    std::string error;
    ASSERT_TRUE(writeSong(path("song.flac"), "flac", 12.0, 44100, 2, &error)) << error;
    const uint64_t show = 44100 * 8;
    const DecodedAudio song = decodeAudioFile(path("song.flac"), show);
    EXPECT_EQ(song.keptFrames(), show);
    EXPECT_EQ(song.frames, 44100u * 12);
    const std::vector<uint8_t> ogg = encodeShowMusic(song, show, 44100 * 3, 0.4f, &error);
    ASSERT_FALSE(ogg.empty()) << error;
    writeFileBytes(path("show.ogg"), ogg);
    OggVorbis_File file;
    ASSERT_EQ(ov_fopen(path("show.ogg").c_str(), &file), 0);
    EXPECT_EQ(ov_info(&file, -1)->rate, 44100);
    EXPECT_EQ(ov_info(&file, -1)->channels, 2);
    EXPECT_EQ(ov_pcm_total(&file, -1), ogg_int64_t(show));
    ov_clear(&file);
    const DecodedAudio back = decodeAudioFile(path("show.ogg"));
    const double before = rms(back.samples, 2 * 44100 * 3, 2 * 44100 * 4);         // 3..4 s: full level
    const double fading = rms(back.samples, 2 * 44100 * 6, 2 * 44100 * 6 + 8820);  // 6 s: a third in
    const double end = rms(back.samples, 2 * (show - 2205), 2 * show);              // the last 50 ms
    EXPECT_GT(before, 0.15 * 32768);
    EXPECT_LT(fading, before * 0.9);
    EXPECT_GT(fading, before * 0.3);
    EXPECT_LT(end, before * 0.01);
}
