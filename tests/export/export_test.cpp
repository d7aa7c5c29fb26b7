// velkit export writes the show as the player plays it: the file read back
// has the player's length, frames that match velkit render, the music in
// step with the pictures, and the typing loop where the captions are typed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/show.h"
#include "kit/image/image_file.h"
#include "tests/export/video_reader.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> files_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename());
    return names;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.size());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
}

// BT.709 luma of every pixel, the plane a video codec keeps at full size.
std::vector<uint8_t> luma(const RgbImage& image) {
    std::vector<uint8_t> plane(image.rgb.size() / 3);
    for (size_t i = 0; i < plane.size(); ++i) {
        const uint8_t* p = &image.rgb[3 * i];
        plane[i] = uint8_t(0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2] + 0.5);
    }
    return plane;
}

// The picture as it comes back from 4:2:0 (BT.709, limited range) without
// any encoding: what an encoder that lost nothing would give.
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
    int stride[1] = {image.width * 3};
    sws_scale(down, in, stride, 0, image.height, frame->data, frame->linesize);
    frame->colorspace = AVCOL_SPC_BT709;
    frame->color_range = AVCOL_RANGE_MPEG;
    RgbImage back = yuv_to_rgb(frame);
    sws_freeContext(down);
    av_frame_free(&frame);
    return back;
}

// The show's music decoded straight from its Ogg Vorbis file.
std::vector<float> decode_music(const std::string& path) {
    OggVorbis_File file;
    std::vector<float> music;
    if (ov_fopen(path.c_str(), &file) != 0) return music;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long got = ov_read_float(&file, &pcm, 4096, &section);
        if (got <= 0) break;
        for (long i = 0; i < got; ++i) {
            music.push_back(pcm[0][i]);
            music.push_back(pcm[1][i]);
        }
    }
    ov_clear(&file);
    return music;
}

// One demo show (three pictures, 20.5 s) for every test, made by the test
// fixture or here; everything else goes into a scratch directory.
class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        show = VEL_EXPORT_DEMO_DIR;
        char pattern[] = "/tmp/vel_export_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        made = fs::exists(show + "/velandora.lcc") ||
               run(std::string(VELKIT_PATH) + " demo " + show + " --pictures 3 > /dev/null") == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(scratch); }

    static int velkit_in(const std::string& directory, const std::string& arguments) {
        return run("cd " + directory + " && " + VELKIT_PATH + " " + arguments + " > " + scratch + "/out.txt 2> " +
                   scratch + "/err.txt");
    }
    static std::string error_text() {
        std::vector<uint8_t> bytes = readFileBytes(scratch + "/err.txt");
        return std::string(bytes.begin(), bytes.end());
    }
    // Writes what velkit prints for `arguments` (in the show) into `file`.
    static int velkit_output(const std::string& arguments, const std::string& file) {
        return run("cd " + show + " && " + VELKIT_PATH + " " + arguments + " > " + file + " 2> " + scratch +
                   "/err.txt");
    }
    static RgbImage render(double seconds) {
        const std::string png = scratch + "/frame.png";
        fs::remove(png);
        if (velkit_in(show, "render --time " + std::to_string(seconds) + " " + png) != 0) return RgbImage();
        return readImageFile(png);
    }

    static std::string show, scratch;
    static bool made;
};

std::string Export::show, Export::scratch;
bool Export::made = false;

// The state of the loops at each sound sample, from the show's own rules:
// the captions typed frame by frame, heard one ring (4096 samples) later.
enum class Cue { silent, idle, typing };

std::vector<Cue> loop_cues(const std::vector<std::string>& captions, size_t samples, int fps) {
    std::vector<Cue> cues(samples, Cue::silent);
    for (size_t n = 4096; n < samples; ++n) {
        const int64_t frame = int64_t(n - 4096) * fps / 44100;
        const int32_t ms = show_milliseconds(float(double(frame) / fps));
        if (ms < 0) continue;
        const size_t slot = size_t(ms / kSlotMilliseconds);
        const int32_t typed = typed_characters(fade_alpha(ms));
        std::u16string shown;
        const std::string caption = slot < captions.size() ? captions[slot] : std::string();
        for (size_t i = 0; i < caption.size() && int32_t(i) < typed; ++i) shown += char16_t(uint8_t(caption[i]));
        cues[n] = caption_is_typing(shown.c_str(), typed) ? Cue::typing : Cue::idle;
    }
    return cues;
}

}  // namespace

TEST_F(Export, DefaultsGiveThePlayersFramesAndSound) {
    ASSERT_TRUE(made);
    const std::string directory = scratch + "/defaults";
    fs::create_directory(directory);
    const std::string file = directory + "/show.mp4";
    ASSERT_EQ(velkit_in(show, "export " + file), 0) << error_text();
    // Nothing left beside the file.
    EXPECT_EQ(files_in(directory), std::vector<std::string>{"show.mp4"});

    // 2.5 s + 6 s x 3 pictures at 30 frames per second; sampled frames kept.
    const std::vector<int64_t> checked = {30, 165, 261, 360, 510, 612};
    const ReadVideo video = read_video(file, {checked.begin(), checked.end()});
    EXPECT_EQ(video.container.find("mp4") != std::string::npos, true) << video.container;
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

    // The frames are velkit render's at the same music times.
    ASSERT_EQ(video.kept.size(), checked.size());
    for (size_t i = 0; i < checked.size(); ++i) {
        const double seconds = double(checked[i]) / 30;
        const RgbImage rendered = render(seconds);
        ASSERT_EQ(rendered.width, 1024) << seconds;
        // Luma as rendered; colour as it is after the 4:2:0 sampling that every
        // widely playable H.264 file has (fine, saturated detail such as the
        // fractal's loses more than 10 dB to it before any encoding).
        const double luma_psnr = psnr(luma(video.kept[i]), luma(rendered));
        const double colour_psnr = psnr(video.kept[i].rgb, through_420(rendered).rgb);
        EXPECT_GT(luma_psnr, 35.0) << "at " << seconds << " s";
        EXPECT_GT(colour_psnr, 35.0) << "at " << seconds << " s";
        std::printf("at %.1f s: luma %.1f dB, colour %.1f dB\n", seconds, luma_psnr, colour_psnr);
    }

    // The music, in step with the pictures: before the first picture no loop
    // plays, so the sound is the track itself; its best alignment is at 0.
    ASSERT_EQ(velkit_output("cat data/audio/velandora.ogg", scratch + "/music.ogg"), 0);
    std::vector<float> music = decode_music(scratch + "/music.ogg");
    ASSERT_GT(music.size(), video.sound.size());
    const std::vector<float>& sound = video.sound;
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

    // What is left when the music is taken away is the loops: nothing before
    // the first slot, the quiet ambience while no character is typed, the
    // bright typing clicks while one is. Blocks near a change of cue are left out.
    ASSERT_EQ(velkit_output("cat data/text/velandora.txt", scratch + "/captions.txt"), 0);
    std::vector<uint8_t> text = readFileBytes(scratch + "/captions.txt");
    std::vector<std::string> captions(1);
    for (uint8_t c : text) {
        if (c == '\n') captions.emplace_back();
        else if (c != '\r') captions.back() += char(c);
    }
    const size_t samples = sound.size() / 2;
    const std::vector<Cue> cues = loop_cues(captions, samples, 30);
    struct Sum {
        double energy = 0, slope = 0;
        size_t count = 0;
    } sums[3];
    const size_t block = 1024, margin = 2048;
    for (size_t start = margin; start + block + margin < samples; start += block) {
        const Cue cue = cues[start - margin];
        bool steady = true;
        for (size_t n = start - margin; n < start + block + margin && steady; ++n) steady = cues[n] == cue;
        if (!steady) continue;
        Sum& sum = sums[int(cue)];
        for (size_t n = start; n < start + block; ++n)
            for (int c = 0; c < 2; ++c) {
                const double r = sound[2 * n + c] - music[2 * n + c];
                const double before = sound[2 * (n - 1) + c] - music[2 * (n - 1) + c];
                sum.energy += r * r;
                sum.slope += (r - before) * (r - before);
            }
        sum.count += block;
    }
    const Sum &silent = sums[0], &idle = sums[1], &typing = sums[2];
    ASSERT_GT(silent.count, 44100u);
    ASSERT_GT(idle.count, 44100u);
    ASSERT_GT(typing.count, 44100u);
    const double silent_level = silent.energy / silent.count, idle_level = idle.energy / idle.count,
                 typing_level = typing.energy / typing.count;
    EXPECT_GT(idle_level, 20 * silent_level);
    EXPECT_GT(typing_level, 20 * silent_level);
    // Brightness: the typing clicks sit near 2 kHz, the ambience below 500 Hz.
    EXPECT_GT(typing.slope / typing.energy, 4 * (idle.slope / idle.energy));
    std::printf("levels: silent %.3g idle %.3g typing %.3g; brightness idle %.3g typing %.3g\n", silent_level,
                idle_level, typing_level, idle.slope / idle.energy, typing.slope / typing.energy);
}

TEST_F(Export, WebmAtAnotherSizeFollowsThePlayersSizeRules) {
    ASSERT_TRUE(made);
    const std::string file = scratch + "/wide.webm";
    ASSERT_EQ(velkit_in(show, "export " + file + " --fps 10 --size 640x360 --crf 30"), 0) << error_text();
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
    ASSERT_TRUE(made);
    const std::string empty = scratch + "/empty", out = scratch + "/failures";
    fs::create_directory(empty);
    fs::create_directory(out);
    struct Case {
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
    for (const Case& c : cases) {
        EXPECT_EQ(velkit_in(c.directory, c.arguments), 1) << c.arguments;
        const std::string error = error_text();
        EXPECT_EQ(error.rfind("velkit: export: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_TRUE(files_in(empty).empty()) << c.arguments;
        EXPECT_TRUE(files_in(out).empty()) << c.arguments;
    }
}

TEST_F(Export, AnInterruptedExportLeavesNoFile) {
    ASSERT_TRUE(made);
    const std::string directory = scratch + "/interrupted";
    fs::create_directory(directory);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(show.c_str()) != 0) _exit(127);
        const std::string out = directory + "/show.mp4";
        execl(VELKIT_PATH, VELKIT_PATH, "export", out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the export is writing (its temporary file is there), then stop it.
    for (int i = 0; i < 200 && files_in(directory).empty(); ++i) usleep(50000);
    EXPECT_FALSE(files_in(directory).empty());
    usleep(300000);
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(files_in(directory).empty());
}
