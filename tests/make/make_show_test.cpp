// velkit make and velkit check as a person runs them: real photos (a large
// camera photo, a portrait phone photo with its EXIF orientation), a song
// made here, faded out at the show's end, UTF-8 captions; a show is played
// through the real player to its end, and check is run on damaged copies.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "kit/demo/audio_buffer.h"
#include "kit/encoder/picture_decoding.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"
#include "kit/make/song.h"
#include "test_media.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

const std::string velkit = VELKIT_PATH;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// The bytes of `name` as the player opens it in the show folder `show`.
std::vector<uint8_t> member(const std::string& show, const std::string& name) {
    return bytesOf(run_command("cd " + show + " && " + velkit + " cat " + name).out);
}

class MakeShow : public ::testing::Test {
protected:
    // The inputs: photos IMG_9, IMG_10, IMG_100 (natural order, not the order
    // of their names' characters), a song, captions; the show made from them once.
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        root = make_temp_directory("velkit_make");
        coffee = testPhoto("coffee.png");
        if (root.empty() || coffee.rgb.empty() || testPhoto("rocket.jpg").rgb.empty()) return;
        fs::create_directories(root + "/photos");
        fs::copy_file(testDataDirectory() + "/photos/rocket.jpg", root + "/photos/IMG_9.jpg");
        // A phone's portrait photo: landscape pixels tagged "turn right".
        writeExifJpeg(root + "/photos/IMG_10.jpg", coffee, 6, "2021:06:01 12:00:00");
        const std::string wallpaper = wallpaperPath();
        fs::copy_file(wallpaper.empty() ? testDataDirectory() + "/photos/hubble_deep_field.jpg" : wallpaper,
                      root + "/photos/IMG_100.jpg");
        // An MP3 when this FFmpeg can write one, else FLAC; longer than the 20.5 s show, so it fades out.
        const bool mp3 = hasAudioEncoder("libmp3lame");
        song = root + (mp3 ? "/song.mp3" : "/song.flac");
        writeSong(song, mp3 ? "libmp3lame" : "flac", 24.0, 44100, 2);
        // UTF-8 with a byte-order mark, accents, typographic quotes, LF ends.
        writeFileBytes(root + "/captions.txt",
                       bytesOf("\xEF\xBB\xBF" "D\xC3\xA9part \xC3\xA0 l\xE2\x80\x99" "aube\n"
                               "\xE2\x80\x9C" "Caf\xC3\xA9 cr\xC3\xA8me\xE2\x80\x9D "
                               "\xE2\x80\x94 Gr\xC3\xBC\xC3\x9F" "e\n"
                               "Fin\xE2\x80\xA6\n"));
        fs::create_directories(show());
        made = run_command(velkit + " make " + show() + "/show.lcc " + root + "/photos --music " + song +
                           " --captions " + root + "/captions.txt");
    }
    static void TearDownTestSuite() {
        if (!root.empty()) fs::remove_all(root);
    }
    void SetUp() override {
        if (coffee.rgb.empty()) GTEST_SKIP() << "test photographs not found in " << testDataDirectory();
    }

    static std::string show() { return root + "/show"; }
    // A new, empty folder under the test's root.
    static std::string folder(const std::string& name) {
        const std::string path = root + "/" + name;
        fs::remove_all(path);
        fs::create_directories(path);
        return path;
    }
    // velkit make into `out`/show.lcc from `inputs` (photos and options).
    static CommandResult make(const std::string& out, const std::string& inputs) {
        return run_command(velkit + " make " + out + "/show.lcc " + inputs);
    }

    static inline std::string root, song;
    static inline RgbImage coffee;
    static inline CommandResult made;
};

}  // namespace

TEST_F(MakeShow, PrintsThePlanAndWritesOneArchive) {
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    // The plan, in natural order, before the work.
    const size_t plan = made.out.find("pictures  3, in name order");
    ASSERT_NE(plan, std::string::npos) << made.out;
    EXPECT_LT(made.out.find("IMG_9.jpg"), made.out.find("IMG_10.jpg"));
    EXPECT_LT(made.out.find("IMG_10.jpg"), made.out.find("IMG_100.jpg"));
    // The song is measured whole (24 s), but only the show's 20.5 s of it are kept.
    for (const char* line : {"400x600", "turned upright", "20.5 s", ": 24.0 s (", "fades out over the show's last 3 s",
                             "U+201C", "the show will play as authored"})
        EXPECT_NE(made.out.find(line), std::string::npos) << line << "\n" << made.out;
    EXPECT_LT(plan, made.out.find("picture 1/3 done"));
    EXPECT_EQ(file_names(show()), std::vector<std::string>{"show.lcc"}) << "nothing but the archive is written";

    // Every file the player needs is there (velkit check below); packed as the demo is, the
    // pictures and the music, compressed already, are stored.
    const std::string listing = run_command(velkit + " ls " + show() + "/show.lcc").out;
    for (const char* name : {"data/images/0100.wmj", "data/audio/velandora.ogg"}) {
        const size_t at = listing.find(name);
        ASSERT_NE(at, std::string::npos) << name << "\n" << listing;
        EXPECT_EQ(listing.rfind("stored", at), listing.rfind('\n', at) + 1) << name << "\n" << listing;
    }
    // The music at full level, then faded out over the show's last 3 s.
    writeFileBytes(root + "/music.ogg", member(show(), "data/audio/velandora.ogg"));
    const std::vector<int16_t> music = decodeAudioFile(root + "/music.ogg").samples;
    const double full = rms(music, 2 * 44100 * 10, 2 * 44100 * 11);
    const double fading = rms(music, size_t(2 * 44100 * 18.5), size_t(2 * 44100 * 18.6));  // a third in
    EXPECT_GT(full, 0.15 * 32768);
    EXPECT_LT(fading, full * 0.9);
    EXPECT_GT(fading, full * 0.3);
    EXPECT_LT(rms(music, music.size() - 2 * 2205, music.size()), full * 0.01);  // the last 50 ms
    // The captions as the player reads them: Latin-1, CR LF.
    EXPECT_EQ(member(show(), "data/text/velandora.txt"),
              bytesOf("D\xE9part \xE0 l'aube\r\n\"Caf\xE9 cr\xE8me\" - Gr\xFC\xDF" "e\r\nFin...\r\n"));

    // Portrait photo shown upright.
    const DecodedPicture picture = decodePictureBytes(member(show(), "data/images/0200.wmj"));
    ASSERT_TRUE(picture.ok) << picture.error;
    const double upright = rgbPsnr(scaleAndCrop(orientImage(coffee, 6), 1024, 512), toRgbImage(picture));
    EXPECT_GT(upright, 28.0);
    EXPECT_GT(upright, rgbPsnr(scaleAndCrop(coffee, 1024, 512), toRgbImage(picture)) + 5.0);

    // velkit check passes, on the folder named and on the working directory.
    const CommandResult checked = run_command(velkit + " check " + show());
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(checked.out.find("3 pictures, show 20.5 s, song 20.5 s"), std::string::npos) << checked.out;
    EXPECT_EQ(checked.out.find("problem"), std::string::npos) << checked.out;
    EXPECT_EQ(run_command("cd " + show() + " && " + velkit + " check").status, 0);
}

// --fit blur shows the portrait whole; 48 kHz mono and float WAVE loops become
// the mixer's 16-bit stereo 44.1 kHz; the show plays through the real player
// to its end, its own loops loaded.
TEST_F(MakeShow, BlurFitAndOwnLoopsPlayToTheEnd) {
    writeSong(root + "/idle.wav", "pcm_s16le", 1.0, 48000, 1);
    writeSong(root + "/active.wav", "pcm_f32le", 0.5, 22050, 2);
    const std::string out = folder("blur");
    const CommandResult result = make(out, root + "/photos/IMG_10.jpg --music " + song + " --fit blur --loops " +
                                               root + "/idle.wav " + root + "/active.wav");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("the show will play as authored"), std::string::npos) << result.out;
    const DecodedPicture picture = decodePictureBytes(member(out, "data/images/0100.wmj"));
    ASSERT_TRUE(picture.ok) << picture.error;
    EXPECT_GT(rgbPsnr(fitPicture(orientImage(coffee, 6), PictureFit::blur), toRgbImage(picture)), 28.0);
    const std::vector<uint8_t> wav = member(out, "data/audio/loop_idle.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav[22], 2);                                // channels
    EXPECT_EQ(wav[24] | wav[25] << 8, 44100);             // rate
    EXPECT_EQ(wav[34], 16);                               // bits
    EXPECT_NEAR(double(wav.size() - 44) / 4, 44100, 50);  // one second

    const PlayerRun player = run_player(VELANDORA_PATH, out, {}, 60.0);
    EXPECT_EQ(player.exit_status, 0);
    EXPECT_FALSE(player.showed_message_box());
    // The show ends when the second slot begins, 8.5 s into the music. SDL's
    // dummy driver takes each 11.61 ms chunk of sound in 11 ms, so its music
    // runs a little faster than the wall clock.
    EXPECT_GE(player.seconds(), 8.5 * 11.0 / 11.61 - 0.2);
    EXPECT_LE(player.seconds(), 14.0);
    EXPECT_LT(player.seconds_after("shown black"), 0.0);
    EXPECT_LT(player.seconds_after("load_loop"), 0.0);
}

// The folder's pictures in the order they were taken, not that of their
// names; what is not a picture is named and left out, hidden files unnamed.
TEST_F(MakeShow, DateOrderFollowsWhenThePhotosWereTaken) {
    const std::string photos = folder("dated");
    const RgbImage small = scaleAndCrop(coffee, 256, 128);
    writeExifJpeg(photos + "/IMG_2.jpg", small, 1, "2023:05:03 09:00:00");
    writeExifJpeg(photos + "/IMG_10.jpg", small, 1, "2023:05:02 09:00:00");
    writeExifJpeg(photos + "/IMG_100.JPG", small, 1, "2023:05:01 09:00:00");
    writeFileBytes(photos + "/notes.txt", {'x'});
    writeFileBytes(photos + "/.hidden.jpg", {'x'});
    const CommandResult result = make(folder("dated_show"), photos + " --music " + song + " --order date");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("pictures  3"), std::string::npos) << result.out;
    EXPECT_LT(result.out.find("IMG_100.JPG"), result.out.find("IMG_10.jpg"));
    EXPECT_LT(result.out.find("IMG_10.jpg"), result.out.find("IMG_2.jpg"));
    EXPECT_NE(result.out.find("(not a picture, left out: " + photos + "/notes.txt)"), std::string::npos);
    EXPECT_EQ(result.out.find("hidden"), std::string::npos);
    EXPECT_EQ(result.out.find("shorter than the show"), std::string::npos) << "the song is long enough";
}

// --quality and --max-bytes reach the encoder: the picture is smaller than the
// same photo's in the show made with the defaults, and within the budget.
TEST_F(MakeShow, PictureQualityAndBudgetReachTheArchive) {
    ASSERT_EQ(made.status, 0);
    const struct {
        const char *photo, *options, *plan, *member;  // the photo's member in the default show
        int64_t budget;
    } cases[] = {{"IMG_9.jpg", "--quality 40", "at picture quality 40", "data/images/0100.wmj", 1 << 30},
                 {"IMG_10.jpg", "--max-bytes 15000", "within 15000 bytes", "data/images/0200.wmj", 15000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string out = folder("smaller");
        const CommandResult result =
            make(out, root + "/photos/" + c.photo + " --music " + song + " --no-check " + c.options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find(c.plan), std::string::npos) << result.out;
        const std::vector<uint8_t> smaller = member(out, "data/images/0100.wmj");
        EXPECT_LT(smaller.size(), member(show(), c.member).size());
        EXPECT_LE(int64_t(smaller.size()), c.budget);
        EXPECT_TRUE(decodePictureBytes(smaller).ok);
    }
}

// Bad input stops velkit make with a message naming it, before any file is written.
TEST_F(MakeShow, BadInputIsAClearErrorAndNoArchive) {
    const std::string photos = folder("bad_photos");
    fs::copy_file(root + "/photos/IMG_9.jpg", photos + "/a.jpg");
    std::vector<uint8_t> cut = readFileBytes(root + "/photos/IMG_9.jpg");
    cut.resize(cut.size() / 3);
    writeFileBytes(photos + "/b.jpg", cut);
    writeFileBytes(root + "/notes.mp3", bytesOf(std::string(5000, 'n')));
    writeFileBytes(root + "/notes.jpg", bytesOf("hello"));
    writeFileBytes(root + "/greek.txt", bytesOf("Caf\xC3\xA9\n\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1\n"));
    const std::string all = root + "/photos --music " + song;
    const struct {
        std::string inputs;
        std::vector<const char*> messages;
    } cases[] = {
        {photos + " --music " + song, {"b.jpg: ", "truncated"}},  // a cut picture among good ones
        {root + "/notes.jpg --music " + song, {"notes.jpg: not a JPEG, PNG, WebP or HEIC"}},
        {root + "/photos --music " + root + "/notes.mp3", {"notes.mp3: "}},
        {root + "/photos --music " + root + "/missing.mp3", {"missing.mp3: "}},
        {all + " --font " + song, {"font"}},
        {root + "/nothing.jpg --music " + song, {"nothing.jpg"}},
        {all + " --captions " + root + "/greek.txt", {"greek.txt:2:1:", "U+0391"}},
        // Options the encoder cannot meet.
        {all + " --max-bytes 100", {"--max-bytes"}},
        {all + " --quality 0", {"--quality"}},
        {all + " --quality 50 --max-bytes 20000", {"--quality"}},
    };
    const std::string out = folder("bad_out");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inputs);
        const CommandResult result = make(out, c.inputs);
        EXPECT_EQ(result.status, 1);
        for (const char* message : c.messages) EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_TRUE(fs::is_empty(out));
    }
}

// velkit check on damaged copies of the show: each problem is found and named.
TEST_F(MakeShow, CheckFindsWhatThePlayerCannotShow) {
    ASSERT_EQ(made.status, 0);
    const std::string unpacked = folder("unpacked"), loose = root + "/loose";
    ASSERT_EQ(run_command(velkit + " unpack " + show() + "/show.lcc " + unpacked).status, 0);
    std::vector<uint8_t> cut = readFileBytes(unpacked + "/data/images/0300.wmj");
    cut.resize(cut.size() / 4);
    writeImageFile(root + "/small.png", scaleAndCrop(coffee, 512, 256));
    run_command(velkit + " encode " + root + "/small.png " + root + "/small.wmj");
    writeSong(root + "/mono.wav", "pcm_s16le", 1.0, 44100, 1);
    std::string error;
    const std::vector<uint8_t> song48k = encode_ogg_vorbis(
        2, 48000, 48000 * 21, [](int, size_t n) { return float(0.2 * std::sin(n * 0.05)); }, 0.3f, &error);
    const std::string captions = "data/text/velandora.txt", gap = "data/images/0200.wmj";
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> damage;  // files written; without bytes, removed
        bool packed;                                                        // checked as an archive
        int status;
        std::vector<const char*> messages;
    } cases[] = {
        {"gap", {{gap, {}}}, false, 1,
         {"data/images/0200.wmj is missing", "ends after 1 picture", "1 picture, show 8.5 s"}},
        {"gap in an archive", {{gap, {}}}, true, 1, {"data/images/0200.wmj is missing"}},
        {"truncated picture", {{"data/images/0300.wmj", cut}}, false, 1,
         {"data/images/0300.wmj: truncated picture", "3 pictures"}},
        {"small picture", {{gap, readFileBytes(root + "/small.wmj")}}, false, 1, {"0200.wmj is 512x256, not 1024x512"}},
        {"LF captions", {{captions, bytesOf("one\ntwo\nthree\n")}}, false, 1,
         {"data/text/velandora.txt:1: 3 lines end with LF alone"}},
        {"UTF-8 captions", {{captions, bytesOf("Caf\xC3\xA9\r\n")}}, false, 1, {"look like UTF-8"}},
        {"long caption", {{captions, bytesOf(std::string(70, 'x') + "\r\n")}}, false, 0,
         {"warning: data/text/velandora.txt:1: the caption has 70 characters"}},
        {"48 kHz song", {{"data/audio/velandora.ogg", song48k}}, false, 1,
         {"data/audio/velandora.ogg is 48000 Hz with 2 channels"}},
        {"no music", {{"data/audio/velandora.ogg", {}}}, false, 1, {"no music"}},
        {"mono loop, no font",
         {{"data/audio/loop_active.wav", readFileBytes(root + "/mono.wav")}, {"data/fonts/batang.def", {}}}, false, 1,
         {"loop_active.wav: the loop mixer refuses it", "no font"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(loose);
        fs::copy(unpacked, loose, fs::copy_options::recursive);
        for (const auto& [name, bytes] : c.damage) {
            if (bytes.empty()) fs::remove(loose + "/" + name);
            else writeFileBytes(loose + "/" + name, bytes);
        }
        const std::string checked_folder = c.packed ? folder("packed") : loose;
        if (c.packed) run_command("cd " + loose + " && " + velkit + " pack " + checked_folder + "/gap.lcc data");
        const CommandResult checked = run_command(velkit + " check " + checked_folder);
        EXPECT_EQ(checked.status, c.status) << checked.out;
        for (const char* message : c.messages)
            EXPECT_NE(checked.out.find(message), std::string::npos) << message << "\n" << checked.out;
    }
}
