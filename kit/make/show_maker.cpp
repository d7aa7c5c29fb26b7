#include "kit/make/show_maker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "kit/archive/lcc_writer.h"
#include "kit/demo/music.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/font_baker/font_baker.h"
#include "kit/image/image_file.h"
#include "kit/make/caption_text.h"
#include "kit/make/show_check.h"
#include "kit/make/song.h"

namespace {

const int kMethodStored = 0, kMethodLz = 1, kMethodZlib = 2;

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string seconds1(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

int workerCount(int threads) {
    if (threads > 0) return threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores ? int(cores) : 2;
}

// Runs task(0) .. task(count - 1) on `threads` workers, each taking the next
// task when it is free, so that at most `threads` tasks are in flight. After
// a failure no new task starts; the failure of the lowest task index is
// thrown again.
void runParallel(size_t count, int threads, const std::function<void(size_t)>& task) {
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    size_t failedIndex = SIZE_MAX;
    std::string failure;
    auto work = [&] {
        for (;;) {
            const size_t index = next.fetch_add(1);
            if (index >= count || failed.load()) return;
            try {
                task(index);
            } catch (const std::exception& error) {
                std::lock_guard<std::mutex> hold(lock);
                if (index < failedIndex) {
                    failedIndex = index;
                    failure = error.what();
                }
                failed = true;
            }
        }
    };
    const int workers = int(std::min<size_t>(size_t(std::max(1, threads)), std::max<size_t>(count, 1)));
    std::vector<std::thread> pool;
    for (int i = 1; i < workers; ++i) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    if (failed) throw std::runtime_error(failure);
}

// ------------------------------------------------------------- progress

// A bar with the picture being encoded on a terminal; one line per picture
// otherwise (a log, a pipe).
class Progress {
public:
    Progress(FILE* out, size_t total) : out_(out), total_(total) {
        terminal_ = isatty(fileno(out)) != 0;
        if (terminal_) {
            winsize size;
            if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) columns_ = size.ws_col;
        }
    }

    void started(const std::string& name) {
        std::lock_guard<std::mutex> hold(lock_);
        current_ = name;
        if (terminal_) draw();
    }

    void finished(const std::string& name) {
        std::lock_guard<std::mutex> hold(lock_);
        ++done_;
        if (terminal_) {
            draw();
        } else {
            std::fprintf(out_, "  picture %zu/%zu done: %s\n", done_, total_, name.c_str());
            std::fflush(out_);
        }
    }

    void note(const std::string& line) {
        std::lock_guard<std::mutex> hold(lock_);
        if (terminal_) std::fprintf(out_, "\r\033[K");
        std::fprintf(out_, "  %s\n", line.c_str());
        if (terminal_) draw();
        std::fflush(out_);
    }

    void end() {
        std::lock_guard<std::mutex> hold(lock_);
        if (terminal_) {
            std::fprintf(out_, "\r\033[K  %zu pictures encoded\n", done_);
            std::fflush(out_);
        }
    }

private:
    void draw() {
        const int width = std::max(10, std::min(40, columns_ - 40));
        const int filled = total_ ? int(double(done_) / double(total_) * width) : width;
        std::string bar(size_t(filled), '#');
        bar.resize(size_t(width), '.');
        std::string name = baseName(current_);
        const size_t room = size_t(std::max(8, columns_ - width - 24));
        if (name.size() > room) name = "..." + name.substr(name.size() - room + 3);
        std::fprintf(out_, "\r\033[K  [%s] %zu/%zu %s", bar.c_str(), done_, total_, name.c_str());
        std::fflush(out_);
    }

    FILE* out_;
    size_t total_;
    size_t done_ = 0;
    bool terminal_ = false;
    int columns_ = 80;
    std::string current_;
    std::mutex lock_;
};

// ------------------------------------------------------------- writing

// The temporary file while it exists, for the signal handler.
char pendingTemporary[PATH_MAX];

void removeTemporaryAndDie(int signal) {
    if (pendingTemporary[0]) unlink(pendingTemporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Writes `bytes` to `path` atomically: a temporary file beside it (whose
// name the player never mounts), flushed to disk, then renamed over it. An
// interrupted or failed write leaves no file behind.
void writeAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = directoryOf(path) + "/." + baseName(path) + ".part-XXXXXX";
    if (temporary.size() >= sizeof pendingTemporary) throw std::runtime_error("output path too long: " + path);
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back(0);
    struct sigaction action = {}, oldInt = {}, oldTerm = {}, oldHup = {};
    action.sa_handler = removeTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    // Signals wait while the file is made and its name recorded.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    const int file = mkstemp(name.data());
    if (file < 0) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        throw std::runtime_error("cannot create a file in " + directoryOf(path) + ": " + std::strerror(errno));
    }
    std::strcpy(pendingTemporary, name.data());
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    sigaction(SIGHUP, &action, &oldHup);
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    auto cleanUp = [&](const std::string& why) {
        close(file);
        unlink(name.data());
        pendingTemporary[0] = 0;
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        sigaction(SIGHUP, &oldHup, nullptr);
        throw std::runtime_error(why);
    };
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(file, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) cleanUp("cannot write " + path + ": " + std::strerror(errno));
        written += size_t(n);
    }
    // The mode a plain new file gets (mkstemp makes it private).
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(file, 0666 & ~mask) != 0 || fsync(file) != 0)
        cleanUp("cannot write " + path + ": " + std::strerror(errno));
    if (close(file) != 0) {
        unlink(name.data());
        pendingTemporary[0] = 0;
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
    if (rename(name.data(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        unlink(name.data());
        pendingTemporary[0] = 0;
        throw std::runtime_error("cannot write " + path + ": " + why);
    }
    pendingTemporary[0] = 0;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGHUP, &oldHup, nullptr);
}


std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

// ------------------------------------------------------------- pictures

namespace {

// Natural comparison: -1, 0 or 1.
int naturalCompare(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char ca = a[i], cb = b[j];
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit((unsigned char)a[ei])) ++ei;
            while (ej < b.size() && std::isdigit((unsigned char)b[ej])) ++ej;
            size_t si = i, sj = j;  // past leading zeros
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0) return order < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb) return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

// The path without the extension of its file name.
std::string withoutExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    // Names first without their extensions: "photo" before "photo 2".
    int order = naturalCompare(withoutExtension(a), withoutExtension(b));
    if (order == 0) order = naturalCompare(a, b);
    if (order != 0) return order < 0;
    return a < b;  // equal as people read them: a fixed order all the same
}

std::vector<std::string> listPictureFiles(const std::vector<std::string>& inputs, std::vector<std::string>* skipped) {
    std::vector<std::string> files;
    for (const std::string& input : inputs) {
        struct stat status;
        if (stat(input.c_str(), &status) != 0)
            throw std::runtime_error(input + ": " + std::strerror(errno));
        if (!S_ISDIR(status.st_mode)) {
            files.push_back(input);
            continue;
        }
        DIR* directory = opendir(input.c_str());
        if (!directory) throw std::runtime_error(input + ": cannot read the folder: " + std::strerror(errno));
        std::vector<std::string> found;
        while (dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name.empty() || name[0] == '.') continue;
            const std::string path = (input.back() == '/' ? input : input + "/") + name;
            struct stat info;
            if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
            if (hasPhotoExtension(name))
                found.push_back(path);
            else if (skipped)
                skipped->push_back(path);
        }
        closedir(directory);
        std::sort(found.begin(), found.end(), naturalLess);
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

void sortPictures(std::vector<PhotoInfo>& pictures, PictureOrder order) {
    std::stable_sort(pictures.begin(), pictures.end(), [order](const PhotoInfo& a, const PhotoInfo& b) {
        if (order == PictureOrder::date && a.sortTime() != b.sortTime()) return a.sortTime() < b.sortTime();
        return naturalLess(a.path, b.path);
    });
}

std::vector<uint8_t> encodeShowPicture(const RgbImage& picture, const PictureEncodeOptions& options) {
    return encodePicture(picture, options);
}

std::vector<uint8_t> makeShowPicture(const PhotoInfo& photo, PictureFit fit, const PictureEncodeOptions& options) {
    const RgbImage source = decodePhoto(photo, fitSourceScale(fit, photo.width, photo.height));
    try {
        return encodeShowPicture(fitPicture(source, fit), options);
    } catch (const PictureBudgetError& error) {
        throw std::runtime_error(photo.path + ": " + error.what());
    }
}

std::vector<std::vector<uint8_t>> makeShowPictures(const std::vector<PhotoInfo>& photos, PictureFit fit, int threads,
                                                   const std::function<void(size_t)>& done,
                                                   const PictureEncodeOptions& options) {
    std::vector<std::vector<uint8_t>> pictures(photos.size());
    runParallel(photos.size(), workerCount(threads), [&](size_t index) {
        pictures[index] = makeShowPicture(photos[index], fit, options);
        if (done) done(index);
    });
    return pictures;
}

// ------------------------------------------------------------- the command

int makeShow(const MakeOptions& options, FILE* out, FILE* err) {
    auto fail = [&](const std::string& message) {
        std::fprintf(err, "velkit: make: %s\n", message.c_str());
        return 1;
    };
    // The output: an archive the player mounts, in a folder that exists.
    if (fileExtension(options.output) != ".lcc")
        return fail(options.output + ": the show's file must end in .lcc (the player mounts only *.lcc archives)");
    {
        struct stat status;
        const std::string folder = directoryOf(options.output);
        if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
            return fail(options.output + ": the folder " + folder + " does not exist");
        if (stat(options.output.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            return fail(options.output + " is a folder");
    }
    if (options.music.empty()) return fail("no song: give one with --music SONG");

    try {
        // The song is decoded while the pictures are looked at.
        std::vector<std::string> skipped;
        const std::vector<std::string> files = listPictureFiles(options.inputs, &skipped);
        if (files.empty()) return fail("no pictures (JPEG, PNG, WebP or HEIC) in " + options.inputs.front());
        const int pictureCount = int(files.size());
        const double showLength = showSeconds(pictureCount);
        const uint64_t showFrames = uint64_t(std::llround(showLength * kShowAudioRate));
        DecodedAudio song;
        std::string songError;
        std::thread songThread([&] {
            try {
                song = decodeAudioFile(options.music, showFrames);
            } catch (const std::exception& error) {
                songError = error.what();
            }
        });
        struct JoinSong {
            std::thread& thread;
            ~JoinSong() {
                if (thread.joinable()) thread.join();
            }
        } joinSong{songThread};

        std::vector<PhotoInfo> photos(files.size());
        runParallel(files.size(), workerCount(options.threads),
                    [&](size_t i) { photos[i] = probePhoto(files[i]); });
        sortPictures(photos, options.order);

        // The font, then the captions in it.
        const std::string fontFile = options.font.empty() ? kDefaultFontFile : options.font;
        if (options.font.empty() && access(fontFile.c_str(), R_OK) != 0)
            return fail("the default font " + fontFile +
                        " is missing: install Debian's fonts-unfonts-core, or give --font FONTFILE");
        BakedFont font;
        std::string fontError;
        if (!bake_font(fontFile, kDefaultFontPixelSize, &font, &fontError)) return fail(fontError);
        bool glyphs[256] = {};
        for (const BakedGlyph& glyph : font.glyphs)
            if (glyph.code < 256) glyphs[glyph.code] = true;

        CaptionText captions;
        if (!options.captions.empty()) {
            captions = convertCaptions(readFileBytes(options.captions), options.captions, pictureCount,
                                       [&](uint8_t byte) { return glyphs[byte]; });
            if (!captions.error.empty()) {
                std::fprintf(err, "velkit: make: %s\n", captions.error.c_str());
                return 1;
            }
        }

        DecodedAudio idle, active;
        if (!options.idleLoop.empty()) {
            idle = decodeAudioFile(options.idleLoop);
            active = decodeAudioFile(options.activeLoop);
        }
        songThread.join();
        if (!songError.empty()) return fail(songError);

        // ----- the plan
        std::vector<std::string> warnings;
        std::fprintf(out, "velkit make: %s\n", options.output.c_str());
        std::fprintf(out, "  pictures  %d, in %s order, fitted by %s:\n", pictureCount,
                     options.order == PictureOrder::date ? "date" : "name",
                     options.fit == PictureFit::crop ? "cropping" : "showing them whole over a blur");
        for (size_t i = 0; i < photos.size(); ++i) {
            const PhotoInfo& photo = photos[i];
            std::fprintf(out, "    %4zu  %-40s %5dx%-5d %s%s\n", i + 1, photo.path.c_str(), photo.width, photo.height,
                         photoFormatName(photo.format), photo.orientation > 1 ? " (turned upright)" : "");
            const double scale = fitSourceScale(options.fit, photo.width, photo.height);
            if (scale > 1.5) {
                char text[64];
                std::snprintf(text, sizeof text, "%.1f", scale);
                warnings.push_back(photo.path + " is only " + std::to_string(photo.width) + "x" +
                                   std::to_string(photo.height) + ": it is enlarged " + text +
                                   " times and will look soft");
            }
            if (options.fit == PictureFit::crop) {
                const double kept = std::min(double(photo.width) / 2.0 / photo.height,
                                             2.0 * photo.height / photo.width);
                if (kept < 0.5)
                    warnings.push_back(photo.path + " (" + std::to_string(photo.width) + "x" +
                                       std::to_string(photo.height) + ") loses " +
                                       std::to_string(int(std::lround((1 - kept) * 100))) +
                                       "% of itself to the crop; --fit blur shows it whole");
            }
        }
        for (const std::string& path : skipped) std::fprintf(out, "          (not a picture, left out: %s)\n", path.c_str());
        if (options.picture.maxBytes > 0)
            std::fprintf(out, "  encoded   each picture the best within %lld bytes\n", (long long)options.picture.maxBytes);
        else
            std::fprintf(out, "  encoded   at picture quality %d (of 1 .. 100)\n", options.picture.quality);
        std::fprintf(out, "  show      %s: 2.5 s, then 6 s for each of the %d pictures\n",
                     formatDuration(showLength).c_str(), pictureCount);
        std::fprintf(out, "  song      %s: %s (%s, %d Hz, %d channel%s)\n", options.music.c_str(),
                     formatDuration(song.seconds()).c_str(), song.codec.c_str(), song.sourceRate,
                     song.sourceChannels, song.sourceChannels == 1 ? "" : "s");
        if (song.seconds() > showLength) {
            std::fprintf(out, "            fades out over the show's last 3 s and is cut at %s\n",
                         formatDuration(showLength).c_str());
        } else if (song.seconds() < showLength) {
            const double silence = showLength - song.seconds();
            const int fit = std::max(0, int(std::floor((song.seconds() - kShowLeadSeconds) / kSlotSeconds)));
            warnings.push_back("the song (" + formatDuration(song.seconds()) + ") is shorter than the show (" +
                               formatDuration(showLength) + "): the last " + seconds1(silence) +
                               " play in silence; the song fits " + std::to_string(fit) +
                               (fit == 1 ? " picture" : " pictures"));
        }
        if (options.captions.empty())
            std::fprintf(out, "  captions  none\n");
        else
            std::fprintf(out, "  captions  %s: %zu line%s\n", options.captions.c_str(), captions.lines.size(),
                         captions.lines.size() == 1 ? "" : "s");
        if (options.idleLoop.empty())
            std::fprintf(out, "  loops     the demo's (quiet ambience, soft typing)\n");
        else
            std::fprintf(out, "  loops     %s (%s), %s (%s)\n", options.idleLoop.c_str(),
                         seconds1(idle.seconds()).c_str(), options.activeLoop.c_str(),
                         seconds1(active.seconds()).c_str());
        std::fprintf(out, "  font      %s, %d px\n", fontFile.c_str(), kDefaultFontPixelSize);
        for (const std::string& note : captions.notes) std::fprintf(out, "  note: %s\n", note.c_str());
        warnings.insert(warnings.end(), captions.warnings.begin(), captions.warnings.end());
        for (const std::string& warning : warnings) std::fprintf(out, "  warning: %s\n", warning.c_str());
        std::fflush(out);

        // ----- the work: the music on one worker, the pictures on all of them
        Progress progress(out, photos.size());
        std::vector<std::vector<uint8_t>> pictures(photos.size());
        std::vector<uint8_t> music;
        const uint64_t fadeFrames = uint64_t(kFadeSeconds * kShowAudioRate);
        runParallel(photos.size() + 1, workerCount(options.threads), [&](size_t task) {
            if (task == 0) {
                std::string error;
                music = encodeShowMusic(song, showFrames, fadeFrames, kMusicQuality, &error);
                if (music.empty()) throw std::runtime_error(options.music + ": cannot encode the music: " + error);
                song.samples = std::vector<int16_t>();
                progress.note("music encoded (Ogg Vorbis, " + std::to_string(music.size() / 1024) + " KiB)");
                return;
            }
            const PhotoInfo& photo = photos[task - 1];
            progress.started(photo.path);
            pictures[task - 1] = makeShowPicture(photo, options.fit, options.picture);
            progress.finished(photo.path);
        });
        progress.end();

        // ----- the archive, packed as the demo is
        std::vector<LccMember> members;
        for (size_t i = 0; i < pictures.size(); ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "data/images/%04d.wmj", int((i + 1) * 100));
            members.push_back(LccMember{name, std::move(pictures[i]), kMethodStored});
        }
        if (!options.captions.empty())
            members.push_back(LccMember{"data/text/velandora.txt", bytesOf(captionFileBytes(captions.lines)), kMethodLz});
        members.push_back(LccMember{"data/audio/velandora.ogg", std::move(music), kMethodStored});
        members.push_back(LccMember{"data/audio/loop_idle.wav",
                                 options.idleLoop.empty() ? encode_wav16(make_idle_loop()) : encodeLoopWav(idle),
                                 kMethodZlib});
        members.push_back(LccMember{"data/audio/loop_active.wav",
                                 options.idleLoop.empty() ? encode_wav16(make_active_loop()) : encodeLoopWav(active),
                                 kMethodZlib});
        members.push_back(LccMember{"data/fonts/batang.def", encode_font_definition(font), kMethodLz});
        for (size_t page = 0; page < font.pages.size(); ++page)
            members.push_back(LccMember{"data/fonts/batang_" + std::to_string(page) + ".raw", font.pages[page], kMethodZlib});
        LccArchiveLayout layout;
        std::string stem = baseName(options.output);
        layout.name = stem.substr(0, stem.size() - 4);
        layout.note = "Velandora show, made by velkit make";
        layout.directoryMethod = kMethodZlib;
        std::vector<uint8_t> archive = buildLccArchive(layout, members);
        members.clear();
        writeAtomically(options.output, archive);
        std::fprintf(out, "wrote %s (%.1f MB)\n", options.output.c_str(), archive.size() / 1e6);
        archive = std::vector<uint8_t>();

        if (!options.check) return 0;
        // ----- what the player will find there
        const std::string folder = directoryOf(options.output);
        std::fprintf(out, "velkit check %s:\n", folder.c_str());
        const CheckReport report = checkShowIn(folder);
        printCheckReport(report, out);
        std::fflush(out);
        if (!report.playsAsAuthored())
            return fail(options.output + " was written, but the show in " + folder +
                        " will not play as authored (see above)");
        return 0;
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
