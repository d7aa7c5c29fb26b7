// velkit make and velkit check as a person runs them: real photos (a large
// camera photo from a Debian wallpaper package, a portrait phone photo with
// its EXIF orientation), a song made here, UTF-8 captions; the show is
// played through the real player to its end, and check is run on damaged
// copies of it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "kit/archive/archive_reader.h"
#include "kit/demo/audio_buffer.h"
#include "kit/encoder/picture_decoding.h"
#include "kit/image/image_file.h"
#include "kit/image/picture_metrics.h"
#include "kit/image/scale.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"
#include "lib/stream.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result run(const std::string& command, const std::string& scratch) {
    const std::string out = scratch + "/stdout.txt", err = scratch + "/stderr.txt";
    const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

std::string velkit() { return VELKIT_PATH; }

// The bytes of one member of an archive, opened by the player's own code.
std::vector<uint8_t> member(const std::string& archive, const std::string& name) {
    std::string error;
    std::unique_ptr<ArchiveFileSystem> files = openArchiveFile(archive, &error);
    if (!files) return {};
    files->finishMount();
    for (EntryRecord* entry : files->entries()) {
        if (name != entry->name || !files->openEntry(entry)) continue;
        std::unique_ptr<Stream> stream(files->takeCurrent());
        std::vector<uint8_t> bytes(size_t(stream->size()));
        if (!bytes.empty()) stream->read(bytes.data(), int32_t(bytes.size()));
        return bytes;
    }
    return {};
}

// The inputs of a show: three photos (IMG_9, IMG_10, IMG_100: in natural
// order, not in the order of their names' characters), a song, captions.
// Runs velkit check on `show`: its exit status, and every message in its report.
void expectCheck(const std::string& show, const std::string& scratch, int status,
                 std::initializer_list<const char*> messages) {
    const Result checked = run(velkit() + " check " + show, scratch);
    EXPECT_EQ(checked.status, status) << checked.out;
    for (const char* message : messages)
        EXPECT_NE(checked.out.find(message), std::string::npos) << message << "\n" << checked.out;
}

class MakeShow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        char pattern[] = "/tmp/velkit_make_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        coffee = testPhoto("coffee.png");
        const RgbImage rocket = testPhoto("rocket.jpg");
        if (coffee.rgb.empty() || rocket.rgb.empty()) return;
        fs::create_directories(root + "/photos");
        fs::copy_file(testDataDirectory() + "/photos/rocket.jpg", root + "/photos/IMG_9.jpg");
        // A phone's portrait photo: landscape pixels tagged "turn right".
        writeExifJpeg(root + "/photos/IMG_10.jpg", coffee, 6, "2021:06:01 12:00:00");
        const std::string wallpaper = wallpaperPath();
        if (!wallpaper.empty())
            fs::copy_file(wallpaper, root + "/photos/IMG_100.jpg");
        else
            fs::copy_file(testDataDirectory() + "/photos/hubble_deep_field.jpg", root + "/photos/IMG_100.jpg");
        // The song: an MP3 when this FFmpeg can write one, else FLAC; longer
        // than the 20.5 s show, so it fades out.
        std::string error;
        song = root + "/song.mp3";
        if (!hasAudioEncoder("libmp3lame") || !writeSong(song, "libmp3lame", 24.0, 44100, 2, &error)) {
            song = root + "/song.flac";
            ASSERT_TRUE(writeSong(song, "flac", 24.0, 44100, 2, &error)) << error;
        }
        // UTF-8 with a byte-order mark, accents, typographic quotes, LF ends.
        writeFileBytes(root + "/captions.txt",
                       bytesOf("\xEF\xBB\xBF" "D\xC3\xA9part \xC3\xA0 l\xE2\x80\x99" "aube\n"
                               "\xE2\x80\x9C" "Caf\xC3\xA9 cr\xC3\xA8me\xE2\x80\x9D \xE2\x80\x94 Gr\xC3\xBC\xC3\x9F" "e\n"
                               "Fin\xE2\x80\xA6\n"));
        ready = true;
    }
    static void TearDownTestSuite() { fs::remove_all(root); }

    void SetUp() override {
        if (!ready) GTEST_SKIP() << "test photographs not found in " << testDataDirectory();
    }

    static std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

    // A new, empty folder under the test's root.
    static std::string folder(const std::string& name) {
        const std::string path = root + "/" + name;
        fs::remove_all(path);
        fs::create_directories(path);
        return path;
    }

    // Makes the show into `name`/show.lcc once; later calls reuse it.
    static Result makeGoodShow() {
        static Result result{-1, "", ""};
        if (result.status == -1) {
            const std::string out = folder("show");
            result = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + song + " --captions " +
                             root + "/captions.txt",
                         root);
        }
        return result;
    }

    // An unpacked copy of the good show, loose files only.
    static std::string looseCopy(const std::string& name) {
        const std::string path = folder(name);
        run(velkit() + " unpack " + root + "/show/show.lcc " + path, root);
        return path;
    }

    static std::string root;
    static std::string song;
    static RgbImage coffee;
    static bool ready;
};

std::string MakeShow::root;
std::string MakeShow::song;
RgbImage MakeShow::coffee;
bool MakeShow::ready = false;

}  // namespace

TEST_F(MakeShow, PrintsThePlanAndWritesOneArchive) {
    const Result made = makeGoodShow();
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    // The plan, in natural order, before the work.
    const size_t plan = made.out.find("pictures  3, in name order");
    ASSERT_NE(plan, std::string::npos) << made.out;
    const size_t nine = made.out.find("IMG_9.jpg"), ten = made.out.find("IMG_10.jpg"),
                 hundred = made.out.find("IMG_100.jpg");
    EXPECT_LT(nine, ten);
    EXPECT_LT(ten, hundred);
    EXPECT_NE(made.out.find("400x600"), std::string::npos) << "the portrait photo, upright";
    EXPECT_NE(made.out.find("turned upright"), std::string::npos);
    EXPECT_NE(made.out.find("20.5 s"), std::string::npos);
    EXPECT_NE(made.out.find("fades out over the show's last 3 s"), std::string::npos);
    EXPECT_NE(made.out.find("U+201C"), std::string::npos) << "a note on the mapped quote";
    EXPECT_LT(plan, made.out.find("picture 1/3 done"));
    EXPECT_NE(made.out.find("the show will play as authored"), std::string::npos) << made.out;
    // Nothing but the archive was written.
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(root + "/show")) files.push_back(entry.path().filename());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], "show.lcc");

    // Packed as the demo is.
    const Result listing = run(velkit() + " ls " + root + "/show/show.lcc", root);
    ASSERT_EQ(listing.status, 0);
    for (const char* line : {"stored", "data/images/0100.wmj", "data/images/0300.wmj", "data/text/velandora.txt",
                             "data/audio/velandora.ogg", "data/audio/loop_idle.wav", "data/audio/loop_active.wav",
                             "data/fonts/batang.def", "data/fonts/batang_0.raw"})
        EXPECT_NE(listing.out.find(line), std::string::npos) << line;
    EXPECT_EQ(listing.out.find("0400.wmj"), std::string::npos);

    // The captions as the player reads them: Latin-1, CR LF.
    const std::vector<uint8_t> captions = member(root + "/show/show.lcc", "data/text/velandora.txt");
    EXPECT_EQ(std::string(captions.begin(), captions.end()),
              "D\xE9part \xE0 l'aube\r\n\"Caf\xE9 cr\xE8me\" - Gr\xFC\xDF" "e\r\nFin...\r\n");
}

TEST_F(MakeShow, ThePortraitPhotoIsShownUpright) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const DecodedPicture picture = decodePictureBytes(member(root + "/show/show.lcc", "data/images/0200.wmj"));
    ASSERT_TRUE(picture.ok) << picture.error;
    const RgbImage shown = toRgbImage(picture);
    const double upright = rgbPsnr(scaleAndCrop(orientImage(coffee, 6), 1024, 512), shown);
    const double sideways = rgbPsnr(scaleAndCrop(coffee, 1024, 512), shown);
    EXPECT_GT(upright, 28.0);
    EXPECT_GT(upright, sideways + 5.0);
}

TEST_F(MakeShow, PlaysThroughThePlayerToItsEnd) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const auto start = std::chrono::steady_clock::now();
    const Result played = run("cd " + root + "/show && " + VELANDORA_PATH, root);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(played.status, 0) << played.err;
    // The show ends when the fourth slot begins, 20.5 s into the music.
    EXPECT_GE(seconds, 20.0);
    EXPECT_EQ(played.err.find("shown black"), std::string::npos) << played.err;
    EXPECT_EQ(played.err.find("load_loop"), std::string::npos) << played.err;
}

TEST_F(MakeShow, CheckPassesOnTheShowItMade) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const Result checked = run(velkit() + " check " + root + "/show", root);
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(checked.out.find("3 pictures, show 20.5 s, song 20.5 s"), std::string::npos) << checked.out;
    EXPECT_EQ(checked.out.find("problem"), std::string::npos) << checked.out;
    // In the working directory by default.
    const Result here = run("cd " + root + "/show && " + velkit() + " check", root);
    EXPECT_EQ(here.status, 0) << here.out;
}

TEST_F(MakeShow, BlurFitShowsThePortraitWhole) {
    const std::string out = folder("blur");
    const Result made = run(velkit() + " make " + out + "/blur.lcc " + root + "/photos/IMG_10.jpg --music " + song +
                             " --fit blur",
                         root);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    const DecodedPicture picture = decodePictureBytes(member(out + "/blur.lcc", "data/images/0100.wmj"));
    ASSERT_TRUE(picture.ok) << picture.error;
    EXPECT_GT(rgbPsnr(fitPicture(orientImage(coffee, 6), PictureFit::blur), toRgbImage(picture)), 28.0);
}

TEST_F(MakeShow, DateOrderFollowsWhenThePhotosWereTaken) {
    const std::string photos = folder("dated");
    const RgbImage small = scaleAndCrop(coffee, 256, 128);
    writeExifJpeg(photos + "/a.jpg", small, 1, "2023:05:03 09:00:00");
    writeExifJpeg(photos + "/b.jpg", small, 1, "2023:05:01 09:00:00");
    writeExifJpeg(photos + "/c.jpg", small, 1, "2023:05:02 09:00:00");
    const std::string out = folder("dated_show");
    const Result made =
        run(velkit() + " make " + out + "/dated.lcc " + photos + " --music " + song + " --order date", root);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    EXPECT_LT(made.out.find("b.jpg"), made.out.find("c.jpg"));
    EXPECT_LT(made.out.find("c.jpg"), made.out.find("a.jpg"));
    // The song is longer than this show too: no warning about silence.
    EXPECT_EQ(made.out.find("shorter than the show"), std::string::npos);
}

TEST_F(MakeShow, CaptionOutsideLatin1StopsWithLineAndColumnAndWritesNothing) {
    writeFileBytes(root + "/greek.txt", bytesOf("Caf\xC3\xA9\n\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1\n"));
    const std::string out = folder("greek");
    const Result made = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + song +
                             " --captions " + root + "/greek.txt",
                         root);
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("greek.txt:2:1:"), std::string::npos) << made.err;
    EXPECT_NE(made.err.find("U+0391"), std::string::npos) << made.err;
    EXPECT_TRUE(fs::is_empty(out)) << "nothing is written";
}

TEST_F(MakeShow, BadInputIsAClearErrorAndNoArchive) {
    // An undecodable picture among good ones.
    const std::string photos = folder("bad_photos");
    fs::copy_file(root + "/photos/IMG_9.jpg", photos + "/a.jpg");
    std::vector<uint8_t> cut = readFileBytes(root + "/photos/IMG_9.jpg");
    cut.resize(cut.size() / 3);
    writeFileBytes(photos + "/b.jpg", cut);
    const std::string out = folder("bad_out");
    Result made = run(velkit() + " make " + out + "/show.lcc " + photos + " --music " + song, root);
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("b.jpg: "), std::string::npos) << made.err;
    EXPECT_TRUE(fs::is_empty(out));
    // A song that is not one.
    writeFileBytes(root + "/notes.mp3", bytesOf(std::string(5000, 'n')));
    made = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + root + "/notes.mp3", root);
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("notes.mp3: "), std::string::npos) << made.err;
    EXPECT_TRUE(fs::is_empty(out));
    // A font that is not one.
    made = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + song + " --font " + song, root);
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("font"), std::string::npos) << made.err;
    EXPECT_TRUE(fs::is_empty(out));
    // No such picture.
    made = run(velkit() + " make " + out + "/show.lcc " + root + "/nothing.jpg --music " + song, root);
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("nothing.jpg"), std::string::npos) << made.err;
    EXPECT_TRUE(fs::is_empty(out));
}

// --quality and --max-bytes reach every picture of the archive: a lower
// quality gives a smaller file for each photo, a budget is kept by each.
TEST_F(MakeShow, PictureQualityAndBudgetReachTheArchive) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string archive = root + "/show/show.lcc";
    const int64_t budget = 15000;
    struct Case {
        std::string options, folderName, plan;
    } cases[] = {{"--quality 40", "low_quality", "at picture quality 40"},
                 {"--max-bytes " + std::to_string(budget), "budget", "within 15000 bytes"}};
    for (const Case& c : cases) {
        const std::string out = folder(c.folderName);
        const Result made = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + song +
                                    " --no-check " + c.options,
                                root);
        ASSERT_EQ(made.status, 0) << c.options << "\n" << made.err;
        EXPECT_NE(made.out.find(c.plan), std::string::npos) << made.out;
        for (const char* name : {"data/images/0100.wmj", "data/images/0200.wmj", "data/images/0300.wmj"}) {
            const std::vector<uint8_t> normal = member(archive, name), smaller = member(out + "/show.lcc", name);
            ASSERT_FALSE(smaller.empty()) << c.options << " " << name;
            EXPECT_LT(smaller.size(), normal.size()) << c.options << " " << name;
            if (c.folderName == "budget") {
                EXPECT_LE(int64_t(smaller.size()), budget) << name;
            }
            EXPECT_TRUE(decodePictureBytes(smaller).ok) << c.options << " " << name;
        }
    }
    // Options the encoder cannot meet are refused before any work.
    for (const std::string options : {"--max-bytes 100", "--quality 0", "--quality 50 --max-bytes 20000"}) {
        const std::string out = folder("refused");
        const Result made = run(velkit() + " make " + out + "/show.lcc " + root + "/photos --music " + song + " " +
                                    options,
                                root);
        EXPECT_EQ(made.status, 1) << options;
        EXPECT_NE(made.err.find(options.substr(0, options.find(' '))), std::string::npos) << made.err;
        EXPECT_TRUE(fs::is_empty(out)) << options;
    }
}

TEST_F(MakeShow, OwnLoopsFromAnyWave) {
    // 48 kHz mono WAVE files become the mixer's 16-bit stereo 44.1 kHz.
    std::string error;
    ASSERT_TRUE(writeSong(root + "/idle.wav", "pcm_s16le", 1.0, 48000, 1, &error)) << error;
    ASSERT_TRUE(writeSong(root + "/active.wav", "pcm_f32le", 0.5, 22050, 2, &error)) << error;
    const std::string out = folder("loops");
    const Result made = run(velkit() + " make " + out + "/loops.lcc " + root + "/photos/IMG_9.jpg --music " + song +
                             " --loops " + root + "/idle.wav " + root + "/active.wav",
                         root);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    EXPECT_NE(made.out.find("the show will play as authored"), std::string::npos) << made.out;
    const std::vector<uint8_t> wav = member(out + "/loops.lcc", "data/audio/loop_idle.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav[22], 2);                                // channels
    EXPECT_EQ(wav[24] | wav[25] << 8, 44100);             // rate
    EXPECT_EQ(wav[34], 16);                               // bits
    EXPECT_NEAR(double(wav.size() - 44) / 4, 44100, 50);  // one second
}

// ---------------------------------------------------------------- check

TEST_F(MakeShow, CheckFindsAGapInTheNumbering) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("gap");
    fs::remove(show + "/data/images/0200.wmj");
    expectCheck(show, root, 1, {"data/images/0200.wmj is missing", "ends after 1 picture", "1 picture, show 8.5 s"});

    // The same gap inside an archive.
    const std::string packed = folder("gap_packed");
    ASSERT_EQ(run("cd " + show + " && " + velkit() + " pack " + packed + "/gap.lcc data", root).status, 0);
    expectCheck(packed, root, 1, {"data/images/0200.wmj is missing"});
}

TEST_F(MakeShow, CheckFindsABadPicture) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("bad_picture");
    std::vector<uint8_t> bytes = readFileBytes(show + "/data/images/0300.wmj");
    bytes.resize(bytes.size() / 4);
    writeFileBytes(show + "/data/images/0300.wmj", bytes);
    expectCheck(show, root, 1, {"data/images/0300.wmj: truncated picture", "3 pictures"});
}

TEST_F(MakeShow, CheckFindsAPictureOfTheWrongSize) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("small_picture");
    writeImageFile(root + "/small.png", scaleAndCrop(coffee, 512, 256));
    ASSERT_EQ(run(velkit() + " encode " + root + "/small.png " + show + "/data/images/0200.wmj", root).status, 0);
    expectCheck(show, root, 1, {"0200.wmj is 512x256, not 1024x512"});
}

TEST_F(MakeShow, CheckFindsLfCaptions) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("lf_captions");
    writeFileBytes(show + "/data/text/velandora.txt", bytesOf("one\ntwo\nthree\n"));
    expectCheck(show, root, 1, {"data/text/velandora.txt:1: 3 lines end with LF alone"});
    // UTF-8 captions are found too.
    writeFileBytes(show + "/data/text/velandora.txt", bytesOf("Caf\xC3\xA9\r\n"));
    expectCheck(show, root, 1, {"look like UTF-8"});
    // A long caption is a warning only.
    writeFileBytes(show + "/data/text/velandora.txt", bytesOf(std::string(70, 'x') + "\r\n"));
    expectCheck(show, root, 0, {"warning: data/text/velandora.txt:1: the caption has 70 characters"});
}

TEST_F(MakeShow, CheckFindsA48kHzSong) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("song_48k");
    std::string error;
    const size_t frames = 48000 * 21;
    const std::vector<uint8_t> ogg = encode_ogg_vorbis(
        2, 48000, frames, [](int, size_t n) { return float(0.2 * std::sin(n * 0.05)); }, 0.3f, &error);
    ASSERT_FALSE(ogg.empty()) << error;
    writeFileBytes(show + "/data/audio/velandora.ogg", ogg);
    expectCheck(show, root, 1, {"data/audio/velandora.ogg is 48000 Hz with 2 channels"});
    // No music at all.
    fs::remove(show + "/data/audio/velandora.ogg");
    expectCheck(show, root, 1, {"no music"});
}

TEST_F(MakeShow, CheckFindsLoopsTheMixerRefusesAndAMissingFont) {
    ASSERT_EQ(makeGoodShow().status, 0);
    const std::string show = looseCopy("bad_loops");
    std::string error;
    ASSERT_TRUE(writeSong(show + "/data/audio/loop_active.wav", "pcm_s16le", 1.0, 44100, 1, &error)) << error;
    fs::remove(show + "/data/fonts/batang.def");
    expectCheck(show, root, 1, {"loop_active.wav: the loop mixer refuses it", "no font"});
}
