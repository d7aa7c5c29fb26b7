// velkit export writes the show as the player plays it: the file read back
// has the player's length, frames that match velkit render, the music in
// step with the pictures, and the typing loop where the captions are typed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include "app/show.h"
#include "kit/demo/captions.h"
#include "kit/export/bgra_to_i420.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/make/song.h"
#include "tests/support/process.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;

namespace {

// A video file read back with libavformat and libavcodec: its video stream, every frame counted and
// the 4:2:0 planes of the frames asked for kept. The sound is read by the kit's song decoder.
struct ReadVideo {
    std::string container, video_codec;       // libavformat's and libavcodec's names
    int width = 0, height = 0;
    double frame_rate = 0, duration = 0;      // the duration of the file, in seconds
    double video_start = 0, sound_start = 0;  // the first time stamps, in seconds
    int64_t frames = 0;
    bool bt709_limited = true;                // each kept frame is 4:2:0, BT.709 in the limited range
    std::vector<std::vector<uint8_t>> kept;   // Y, U and V of each frame asked for, one after the other
    DecodedAudio sound;
};

ReadVideo read_video(const std::string& path, const std::set<int64_t>& keep) {
    ReadVideo video;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) throw std::runtime_error("open " + path);
    avformat_find_stream_info(format, nullptr);
    video.container = format->iformat->name;
    video.duration = double(format->duration) / AV_TIME_BASE;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) throw std::runtime_error("no video in " + path);
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    if (avcodec_open2(decoder, codec, nullptr) < 0) throw std::runtime_error("no decoder for " + path);
    video.video_codec = codec->name;
    video.width = decoder->width;
    video.height = decoder->height;
    video.frame_rate = av_q2d(stream->avg_frame_rate);
    const int audio = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0) video.sound_start = format->streams[audio]->start_time * av_q2d(format->streams[audio]->time_base);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            if (video.frames == 0) video.video_start = frame->best_effort_timestamp * av_q2d(stream->time_base);
            if (keep.count(video.frames++)) {
                video.bt709_limited = video.bt709_limited && frame->format == AV_PIX_FMT_YUV420P &&
                                      frame->colorspace == AVCOL_SPC_BT709 && frame->color_range == AVCOL_RANGE_MPEG;
                for (int plane = 0; plane < 3; ++plane) {
                    const int width = plane ? frame->width / 2 : frame->width;
                    const int rows = plane ? frame->height / 2 : frame->height;
                    std::vector<uint8_t> bytes;
                    for (int y = 0; y < rows; ++y) {
                        const uint8_t* row = frame->data[plane] + ptrdiff_t(y) * frame->linesize[plane];
                        bytes.insert(bytes.end(), row, row + width);
                    }
                    video.kept.push_back(std::move(bytes));
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) drain();
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    video.sound = decodeAudioFile(path);
    return video;
}

// The 4:2:0 planes of a picture by the export's own conversion (BgraToI420 checks it against the standard).
std::vector<std::vector<uint8_t>> planes_of(const RgbImage& image) {
    std::vector<uint8_t> bgra;
    for (size_t i = 0; i < image.rgb.size(); i += 3)
        bgra.insert(bgra.end(), {image.rgb[i + 2], image.rgb[i + 1], image.rgb[i], 255});
    const size_t size = size_t(image.width) * image.height;
    std::vector<std::vector<uint8_t>> planes = {std::vector<uint8_t>(size), std::vector<uint8_t>(size / 4),
                                                std::vector<uint8_t>(size / 4)};
    bgra_to_i420(bgra.data(), image.width * 4, image.width, image.height,
                 {planes[0].data(), planes[1].data(), planes[2].data(), image.width, image.width / 2, image.width / 2});
    return planes;
}

double plane_psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size() && a.size() == b.size(); ++i) sum += double(a[i] - b[i]) * double(a[i] - b[i]);
    return a.size() == b.size() ? psnrFromMse(sum / double(a.size())) : 0.0;
}

// The mean luma of row y of a kept frame's Y plane.
double row_level(const std::vector<uint8_t>& luma, int width, int y) {
    double sum = 0;
    for (int x = 0; x < width; ++x) sum += luma[size_t(y) * width + x];
    return sum / width;
}

// Pixels of rows top .. bottom - 1 that are not black.
int lit_pixels(const RgbImage& image, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width; ++x) count += image.pixel(x, y)[0] + image.pixel(x, y)[1] > 40;
    return count;
}

// The state of the loops at each sound sample, by the show's own rules: the
// demo's captions typed frame by frame, heard one ring (4096 samples) later.
enum class Cue { silent, idle, typing };

std::vector<Cue> loop_cues(size_t samples, int fps) {
    std::vector<Cue> cues(samples, Cue::silent);
    for (size_t n = 4096; n < samples; ++n) {
        const int64_t frame = int64_t(n - 4096) * fps / 44100;
        const int32_t ms = show_milliseconds(float(double(frame) / fps));
        if (ms < 0) continue;
        const size_t slot = size_t(ms / kSlotMilliseconds);
        const int32_t typed = typed_characters(fade_alpha(ms));
        const std::string caption = demo_caption(int(slot));
        std::u16string shown;
        for (size_t i = 0; i < caption.size() && int32_t(i) < typed; ++i) shown += char16_t(uint8_t(caption[i]));
        cues[n] = caption_is_typing(shown.c_str(), typed) ? Cue::typing : Cue::idle;
    }
    return cues;
}

// One demo show (two pictures, 14.5 s) for every test, made by the ctest fixture or here.
class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        scratch = make_temp_directory("vel_export");
        made = fs::exists(show + "/velandora.lcc") ||
               run_command(std::string(VELKIT_PATH) + " demo " + show + " --pictures 2").status == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(scratch); }
    void SetUp() override { ASSERT_TRUE(made); }

    static CommandResult velkit_in(const std::string& directory, const std::string& arguments) {
        return run_command("cd " + directory + " && " + VELKIT_PATH + " " + arguments);
    }
    // velkit render's frame at `seconds`; empty when it fails.
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

std::vector<float> floats(const std::vector<int16_t>& samples) {
    std::vector<float> out;
    for (int16_t sample : samples) out.push_back(sample / 32768.0f);
    return out;
}

}  // namespace

TEST_F(Export, DefaultsGiveThePlayersFramesAndSound) {
    const std::string directory = scratch + "/defaults", file = directory + "/show.mp4";
    fs::create_directory(directory);
    const CommandResult exported = velkit_in(show, "export " + file);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(file_names(directory), std::vector<std::string>{"show.mp4"}) << "nothing left beside the file";

    // 2.5 s + 6 s x 2 pictures at 30 frames per second.
    const std::vector<int64_t> checked = {30, 165, 261, 360, 432};
    const ReadVideo video = read_video(file, {checked.begin(), checked.end()});
    EXPECT_NE(video.container.find("mp4"), std::string::npos) << video.container;
    EXPECT_EQ(video.video_codec, "h264");
    EXPECT_EQ(video.sound.codec, "aac");
    EXPECT_EQ(video.width, 1024);
    EXPECT_EQ(video.height, 768);
    EXPECT_DOUBLE_EQ(video.frame_rate, 30.0);
    EXPECT_EQ(video.frames, 435);
    EXPECT_NEAR(video.duration, 14.5, 1.0 / 30);
    EXPECT_NEAR(video.video_start, 0.0, 1e-6);
    EXPECT_NEAR(video.sound_start, 0.0, 1.0 / 30);
    ASSERT_EQ(video.sound.sourceRate, 44100);
    EXPECT_NEAR(video.sound.seconds(), 14.5, 1.0 / 30);

    // The frames are velkit render's at the same music times, in BT.709's limited range: luma
    // as rendered, colour as averaged over each 2x2 block (4:2:0).
    EXPECT_TRUE(video.bt709_limited);
    ASSERT_EQ(video.kept.size(), 3 * checked.size());
    for (size_t i = 0; i < checked.size(); ++i) {
        const double seconds = double(checked[i]) / 30;
        const RgbImage rendered = render(seconds);
        ASSERT_EQ(rendered.width, 1024) << seconds;
        const std::vector<std::vector<uint8_t>> planes = planes_of(rendered);
        for (int plane = 0; plane < 3; ++plane)
            EXPECT_GT(plane_psnr(video.kept[3 * i + plane], planes[plane]), 40.0) << plane << " at " << seconds << " s";
        // Half way into the first fade: the 2:1 picture in rows 128 .. 639, black above, its caption below.
        if (checked[i] == 165) {
            EXPECT_EQ(lit_pixels(rendered, 0, 128), 0);
            EXPECT_GT(lit_pixels(rendered, 128, 630), 100000);
            EXPECT_GT(lit_pixels(rendered, 645, 680), 50);
        }
    }
    EXPECT_TRUE(render(14.5 + 1).rgb.empty()) << "velkit render fails once the show is over";

    // The music, in step with the pictures: before the first picture no loop
    // plays, so the sound is the track itself; its best alignment is at 0.
    const std::string track = velkit_in(show, "cat data/audio/velandora.ogg").out;
    writeFileBytes(scratch + "/music.ogg", std::vector<uint8_t>(track.begin(), track.end()));
    const std::vector<float> music = floats(decodeAudioFile(scratch + "/music.ogg").samples);
    const std::vector<float> sound = floats(video.sound.samples);
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
    const size_t samples = sound.size() / 2, block = 1024, margin = 2048;
    const std::vector<Cue> cues = loop_cues(samples, 30);
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
    EXPECT_EQ(video.sound.codec, "opus");
    EXPECT_EQ(video.width, 640);
    EXPECT_EQ(video.height, 360);
    EXPECT_EQ(video.frames, 145);
    EXPECT_NEAR(video.duration, 14.5, 0.1);
    EXPECT_NEAR(video.sound.seconds(), 14.5, 0.1);
    // 9 s: the first picture under the second. At 640 x 360 the player draws
    // the 2:1 picture over the full width, rows 20 to 339, black (luma 16) around it.
    ASSERT_EQ(video.kept.size(), 3u);
    for (int y : {0, 8, 14, 345, 352, 359}) EXPECT_LT(row_level(video.kept[0], 640, y), 21) << "row " << y;
    for (int y : {26, 100, 180, 260, 330}) EXPECT_GT(row_level(video.kept[0], 640, y), 26) << "row " << y;
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
