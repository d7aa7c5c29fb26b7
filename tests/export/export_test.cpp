// velkit export writes the show as the player plays it: the file read back
// has the player's length, frames that match velkit render, the music in
// step with the pictures, and the typing loop where the captions are typed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "app/show.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/make/song.h"
#include "tests/export/video_reader.h"
#include "tests/support/process.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace fs = std::filesystem;

namespace {

// BT.709 luma of every pixel (the plane a video codec keeps at full size), as a grey picture.
RgbImage luma(const RgbImage& image) {
    RgbImage grey(image.width, image.height);
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        const uint8_t* p = &image.rgb[i];
        std::fill_n(&grey.rgb[i], 3, uint8_t(0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2] + 0.5));
    }
    return grey;
}

// The picture back from 4:2:0 (BT.709, limited range) through libswscale: what a lossless encoder would give.
RgbImage through_420(const RgbImage& image) {
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = image.width;
    frame->height = image.height;
    av_frame_get_buffer(frame, 0);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    SwsContext* down = sws_getContext(image.width, image.height, AV_PIX_FMT_RGB24, image.width, image.height,
                                      AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(down, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    const uint8_t* in[1] = {image.rgb.data()};
    const int stride[1] = {image.width * 3};
    sws_scale(down, in, stride, 0, image.height, frame->data, frame->linesize);
    frame->colorspace = AVCOL_SPC_BT709;
    frame->color_range = AVCOL_RANGE_MPEG;
    RgbImage back = yuv_to_rgb(frame);
    sws_freeContext(down);
    av_frame_free(&frame);
    return back;
}

// The state of the loops at each sound sample, by the show's own rules: the
// captions typed frame by frame, heard one ring (4096 samples) later.
enum class Cue { silent, idle, typing };

std::vector<Cue> loop_cues(const std::vector<std::string>& captions, size_t samples, int fps) {
    std::vector<Cue> cues(samples, Cue::silent);
    for (size_t n = 4096; n < samples; ++n) {
        const int64_t frame = int64_t(n - 4096) * fps / 44100;
        const int32_t ms = show_milliseconds(float(double(frame) / fps));
        if (ms < 0) continue;
        const size_t slot = size_t(ms / kSlotMilliseconds);
        const int32_t typed = typed_characters(fade_alpha(ms));
        const std::string caption = slot < captions.size() ? captions[slot] : std::string();
        std::u16string shown;
        for (size_t i = 0; i < caption.size() && int32_t(i) < typed; ++i) shown += char16_t(uint8_t(caption[i]));
        cues[n] = caption_is_typing(shown.c_str(), typed) ? Cue::typing : Cue::idle;
    }
    return cues;
}

// One demo show (three pictures, 20.5 s) for every test, made by the ctest fixture or here.
class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        scratch = make_temp_directory("vel_export");
        made = fs::exists(show + "/velandora.lcc") ||
               run_command(std::string(VELKIT_PATH) + " demo " + show + " --pictures 3").status == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(scratch); }
    void SetUp() override { ASSERT_TRUE(made); }

    static CommandResult velkit_in(const std::string& directory, const std::string& arguments) {
        return run_command("cd " + directory + " && " + VELKIT_PATH + " " + arguments);
    }
    static RgbImage render(double seconds) {
        const std::string png = scratch + "/frame.png";
        fs::remove(png);
        if (velkit_in(show, "render --time " + std::to_string(seconds) + " " + png).status != 0) return RgbImage();
        return readImageFile(png);
    }

    static inline const std::string show = VEL_EXPORT_DEMO_DIR;
    static inline std::string scratch;
    static inline bool made = false;
};

}  // namespace

TEST_F(Export, DefaultsGiveThePlayersFramesAndSound) {
    const std::string directory = scratch + "/defaults", file = directory + "/show.mp4";
    fs::create_directory(directory);
    const CommandResult exported = velkit_in(show, "export " + file);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(file_names(directory), std::vector<std::string>{"show.mp4"}) << "nothing left beside the file";

    // 2.5 s + 6 s x 3 pictures at 30 frames per second.
    const std::vector<int64_t> checked = {30, 165, 261, 360, 510, 612};
    const ReadVideo video = read_video(file, {checked.begin(), checked.end()});
    EXPECT_NE(video.container.find("mp4"), std::string::npos) << video.container;
    EXPECT_EQ(video.video_codec, "h264");
    EXPECT_EQ(video.sound_codec, "aac");
    EXPECT_EQ(video.width, 1024);
    EXPECT_EQ(video.height, 768);
    EXPECT_DOUBLE_EQ(video.frame_rate, 30.0);
    EXPECT_EQ(video.frames, 615);
    EXPECT_NEAR(video.duration, 20.5, 1.0 / 30);
    EXPECT_NEAR(video.video_start, 0.0, 1e-6);
    EXPECT_NEAR(video.sound_start, 0.0, 1.0 / 30);
    ASSERT_EQ(video.sound_rate, 44100);
    EXPECT_NEAR(double(video.sound.size() / 2) / 44100, 20.5, 1.0 / 30);

    // The frames are velkit render's at the same music times: luma as rendered, colour as after
    // the 4:2:0 sampling of every widely playable H.264 file (fine saturated detail loses 10 dB to it).
    ASSERT_EQ(video.kept.size(), checked.size());
    for (size_t i = 0; i < checked.size(); ++i) {
        const double seconds = double(checked[i]) / 30;
        const RgbImage rendered = render(seconds);
        ASSERT_EQ(rendered.width, 1024) << seconds;
        EXPECT_GT(rgbPsnr(luma(video.kept[i]), luma(rendered)), 35.0) << "at " << seconds << " s";
        EXPECT_GT(rgbPsnr(video.kept[i], through_420(rendered)), 35.0) << "at " << seconds << " s";
    }

    // The music, in step with the pictures: before the first picture no loop
    // plays, so the sound is the track itself; its best alignment is at 0.
    writeFileBytes(scratch + "/music.ogg", [] {
        const std::string bytes = velkit_in(show, "cat data/audio/velandora.ogg").out;
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }());
    std::vector<float> music;
    for (int16_t sample : decodeAudioFile(scratch + "/music.ogg").samples) music.push_back(sample / 32768.0f);
    const std::vector<float>& sound = video.sound;
    ASSERT_GT(music.size(), sound.size());
    const size_t first = 13230, last = 44100 * 2;  // 0.3 s .. 2 s
    int best_lag = 0;
    double best = -1;
    for (int lag = -1470; lag <= 1470; lag += 1) {
        double dot = 0;
        for (size_t n = first; n < last; n += 4) dot += sound[2 * n] * music[2 * (n + lag)];
        if (dot > best) best = dot, best_lag = lag;
    }
    EXPECT_EQ(best_lag, 0);
    double signal = 0, noise = 0;
    for (size_t n = first; n < last; ++n) {
        signal += music[2 * n] * music[2 * n];
        noise += (sound[2 * n] - music[2 * n]) * (sound[2 * n] - music[2 * n]);
    }
    EXPECT_GT(10 * std::log10(signal / noise), 20.0);

    // Without the music, the loops are left: nothing before the first slot, the quiet ambience
    // while no character is typed, the bright typing clicks while one is. Blocks near a change are left out.
    std::vector<std::string> captions(1);
    for (char c : velkit_in(show, "cat data/text/velandora.txt").out) {
        if (c == '\n') captions.emplace_back();
        else if (c != '\r') captions.back() += c;
    }
    const size_t samples = sound.size() / 2, block = 1024, margin = 2048;
    const std::vector<Cue> cues = loop_cues(captions, samples, 30);
    double energy[3] = {}, slope[3] = {};
    size_t count[3] = {};
    for (size_t start = margin; start + block + margin < samples; start += block) {
        const Cue cue = cues[start - margin];
        bool steady = true;
        for (size_t n = start - margin; n < start + block + margin && steady; ++n) steady = cues[n] == cue;
        if (!steady) continue;
        for (size_t n = start; n < start + block; ++n)
            for (int c = 0; c < 2; ++c) {
                const double r = sound[2 * n + c] - music[2 * n + c];
                const double before = sound[2 * (n - 1) + c] - music[2 * (n - 1) + c];
                energy[int(cue)] += r * r;
                slope[int(cue)] += (r - before) * (r - before);
            }
        count[int(cue)] += block;
    }
    for (size_t n : count) ASSERT_GT(n, 44100u);
    const double silent = energy[0] / count[0], idle = energy[1] / count[1], typing = energy[2] / count[2];
    EXPECT_GT(idle, 20 * silent);
    EXPECT_GT(typing, 20 * silent);
    // Brightness: the typing clicks sit near 2 kHz, the ambience below 500 Hz.
    EXPECT_GT(slope[2] / energy[2], 4 * (slope[1] / energy[1]));
}

TEST_F(Export, WebmAtAnotherSizeFollowsThePlayersSizeRules) {
    const std::string file = scratch + "/wide.webm";
    const CommandResult exported = velkit_in(show, "export " + file + " --fps 10 --size 640x360 --crf 30");
    ASSERT_EQ(exported.status, 0) << exported.err;
    const ReadVideo video = read_video(file, {90});
    EXPECT_NE(video.container.find("webm"), std::string::npos) << video.container;
    EXPECT_EQ(video.video_codec, "vp9");
    EXPECT_EQ(video.sound_codec, "opus");
    EXPECT_EQ(video.width, 640);
    EXPECT_EQ(video.height, 360);
    EXPECT_EQ(video.frames, 205);
    EXPECT_NEAR(video.duration, 20.5, 0.1);
    EXPECT_NEAR(double(video.sound.size() / 2) / video.sound_rate, 20.5, 0.1);
    // 9 s: the first picture under the second. At 640 x 360 the player draws
    // the 2:1 picture over the full width, rows 20 to 339, black around it.
    ASSERT_EQ(video.kept.size(), 1u);
    const RgbImage& frame = video.kept[0];
    auto row_level = [&](int y) {
        double sum = 0;
        for (int x = 0; x < frame.width; ++x) sum += frame.pixel(x, y)[0] + frame.pixel(x, y)[1] + frame.pixel(x, y)[2];
        return sum / frame.width / 3;
    };
    for (int y : {0, 8, 14, 345, 352, 359}) EXPECT_LT(row_level(y), 6) << "row " << y;
    for (int y : {26, 100, 180, 260, 330}) EXPECT_GT(row_level(y), 12) << "row " << y;
}

TEST_F(Export, FailuresLeaveNoFile) {
    const std::string empty = scratch + "/empty", out = scratch + "/failures";
    fs::create_directory(empty);
    fs::create_directory(out);
    const struct {
        std::string directory, arguments, message;
    } cases[] = {
        {show, "export " + out + "/show.avi", "unknown kind of video file"},
        {show, "export " + out + "/show", "unknown kind of video file"},
        {empty, "export " + empty + "/show.mp4", "no show here"},
        {show, "export " + out + "/show.mp4 --size 641x480", "--size"},
        {show, "export " + out + "/show.mp4 --fps 0", "--fps"},
        {show, "export " + out + "/show.mp4 --crf 99", "--crf"},
        {show, "export " + out + "/no/such/directory/show.mp4", "cannot write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandResult result = velkit_in(c.directory, c.arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("velkit: export: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(file_names(empty).empty());
        EXPECT_TRUE(file_names(out).empty());
    }
}

TEST_F(Export, AnInterruptedExportLeavesNoFile) {
    const std::string directory = scratch + "/interrupted", out = directory + "/show.mp4";
    fs::create_directory(directory);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(show.c_str()) != 0) _exit(127);
        execl(VELKIT_PATH, VELKIT_PATH, "export", out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Once the export is writing (its temporary file is there), stop it.
    for (int i = 0; i < 200 && file_names(directory).empty(); ++i) usleep(50000);
    EXPECT_FALSE(file_names(directory).empty());
    usleep(300000);
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(file_names(directory).empty());
}
