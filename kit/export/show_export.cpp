#include "kit/export/show_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "app/shell.h"
#include "app/show.h"
#include "kit/export/export_clock.h"
#include "kit/export/export_progress.h"
#include "kit/export/offline_player.h"
#include "kit/export/video_file.h"
#include "kit/export/work_queue.h"

namespace {

// Frames in flight between the three stages: enough to ride over the frame
// that decodes a new picture, little enough to bound the memory.
const size_t kFramesInFlight = 6;

volatile std::sig_atomic_t interrupted = 0;
void note_signal(int) { interrupted = 1; }

// Ctrl-C or a hang-up ends the export cleanly, without a partial file.
class SignalGuard {
public:
    SignalGuard() {
        struct sigaction action = {};
        action.sa_handler = note_signal;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &saved_[i]);
    }
    ~SignalGuard() {
        for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    }

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction saved_[3];
};
constexpr int SignalGuard::kSignals[3];

// A temporary file beside the output, removed unless it was renamed to it.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& output) {
        const size_t slash = output.find_last_of('/');
        const std::string directory = slash == std::string::npos ? "." : output.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? output : output.substr(slash + 1);
        std::string pattern = directory + (slash == std::string::npos ? "/." : ".") + base + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        const int fd = mkstemp(name.data());
        if (fd < 0) throw std::runtime_error("cannot write in the directory of " + output);
        // mkstemp makes it private; the finished file gets the usual mode.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        close(fd);
        path_ = name.data();
    }
    ~TemporaryFile() {
        if (!path_.empty()) std::remove(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void rename_to(const std::string& output) {
        if (std::rename(path_.c_str(), output.c_str()) != 0) throw std::runtime_error("cannot write " + output);
        path_.clear();
    }

private:
    std::string path_;
};

struct FrameJob {
    std::vector<uint8_t> pixels;  // the frame buffer, rows from the bottom
    std::vector<int16_t> sound;   // the sound heard while the frame is shown
    bool repeat = false;          // the previous frame again: no pixels
    AVFrame* picture = nullptr;   // the converted frame
    ~FrameJob() { av_frame_free(&picture); }
};
using Job = std::unique_ptr<FrameJob>;

// The first failure of any stage stops all of them.
class Failure {
public:
    void set(const std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (message_.empty()) message_ = message;
        failed_ = true;
    }
    bool failed() const { return failed_; }
    std::string message() {
        std::lock_guard<std::mutex> lock(mutex_);
        return message_;
    }

private:
    std::mutex mutex_;
    std::string message_;
    std::atomic<bool> failed_{false};
};

// The first frame at which the player ends the show of `pictures` pictures.
int64_t frames_in_show(int pictures, int fps) {
    const int32_t end = pictures * kSlotMilliseconds;
    int64_t frame = int64_t(kShowStartMilliseconds + int64_t(end)) * fps / 1000;
    if (frame > 0) --frame;
    while (show_milliseconds(music_seconds(frame_clock_bytes(frame, fps))) < end) ++frame;
    return frame;
}

}  // namespace

void check_export_options(const ExportOptions& options) {
    VideoContainer container;
    if (!container_for_name(options.output, &container))
        throw std::runtime_error("unknown kind of video file '" + options.output +
                                 "': the name must end in .mp4 (H.264 + AAC) or .webm (VP9 + Opus)");
    if (options.fps < 1 || options.fps > 120) throw std::runtime_error("--fps must be from 1 to 120");
    if (options.width < 16 || options.height < 16 || options.width > 7680 || options.height > 4320 ||
        options.width % 2 || options.height % 2)
        throw std::runtime_error("--size must be even numbers from 16x16 to 7680x4320");
    if (options.crf < 0 || options.crf > 51) throw std::runtime_error("--crf must be from 0 to 51");
}

ExportSummary export_show(const ExportOptions& options) {
    check_export_options(options);
    VideoSettings settings;
    container_for_name(options.output, &settings.container);
    settings.width = options.width;
    settings.height = options.height;
    settings.fps = options.fps;
    settings.crf = options.crf;
    const unsigned cores = std::thread::hardware_concurrency();
    settings.threads = cores > 0 ? int(cores) : 2;

    interrupted = 0;
    SignalGuard signals;
    OfflinePlayer player;
    player.open(options.width, options.height);
    const int64_t expected = frames_in_show(player.picture_count(), options.fps);

    TemporaryFile temporary(options.output);
    VideoFile file;
    file.open(temporary.path(), settings);
    FrameConverter converter(options.width, options.height);

    WorkQueue<Job> free_jobs(kFramesInFlight), to_convert(kFramesInFlight), to_encode(kFramesInFlight);
    for (size_t i = 0; i < kFramesInFlight; ++i) free_jobs.push(Job(new FrameJob));
    Failure failure;
    std::atomic<int64_t> encoded{0};
    auto stop_all = [&](const std::string& message) {
        failure.set(message);
        free_jobs.close();
        to_convert.close();
        to_encode.close();
    };

    // Colour conversion and encoding each on their own thread; the main
    // thread renders (the GL context is current on it) and makes the sound.
    std::thread convert_thread([&] {
        AVFrame* last = nullptr;  // shares its pixels with the frame sent last
        try {
            Job job;
            while (to_convert.pop(&job)) {
                if (!job->repeat || !last) {
                    job->picture = converter.convert(job->pixels.data());
                    av_frame_free(&last);
                    last = av_frame_clone(job->picture);
                } else {
                    job->picture = av_frame_clone(last);
                }
                if (!job->picture || !last) throw std::runtime_error("out of memory");
                if (!to_encode.push(std::move(job))) break;
            }
        } catch (const std::exception& e) {
            stop_all(e.what());
        }
        av_frame_free(&last);
        to_encode.close();
    });
    std::thread encode_thread([&] {
        try {
            Job job;
            while (to_encode.pop(&job)) {
                AVFrame* picture = job->picture;
                job->picture = nullptr;
                file.write_video(picture);
                file.write_sound(job->sound.data(), int(job->sound.size() / 2));
                encoded.fetch_add(1);
                if (!free_jobs.push(std::move(job))) break;
            }
        } catch (const std::exception& e) {
            stop_all(e.what());
        }
    });

    ExportProgress progress(expected, options.fps);
    std::vector<int16_t> ahead;  // sound made but not yet heard, from sample `ahead_start`
    int64_t ahead_start = 0;
    const size_t frame_bytes = size_t(options.width) * size_t(options.height) * 4;
    int64_t frame = 0;
    try {
        // Before the first frame the ring already holds its first lap of music,
        // mixed with both loop targets at 0.
        player.render_sound_until(rendered_by(frame_sample(0, options.fps)), ahead);
        OfflinePlayer::Look last_look = {};
        for (;; ++frame) {
            if (interrupted) throw std::runtime_error("interrupted");
            if (failure.failed()) break;
            const float time = music_seconds(frame_clock_bytes(frame, options.fps));
            // A frame that looks like the one before is neither drawn nor
            // converted again (it sets the same loop targets, and the show can
            // only end at a new slot); the encoder gets the last picture again.
            const OfflinePlayer::Look look = OfflinePlayer::look_at(time);
            const bool repeat = frame > 0 && look == last_look;
            last_look = look;
            if (!repeat && !player.draw(time)) break;  // the show is over
            Job job;
            if (!free_jobs.pop(&job)) break;
            job->repeat = repeat;
            if (!repeat) {
                job->pixels.resize(frame_bytes);
                player.read_bgra(job->pixels.data());
            }
            // The refills until the next frame, with the targets this one set.
            const int64_t begin = frame_sample(frame, options.fps), end = frame_sample(frame + 1, options.fps);
            player.render_sound_until(rendered_by(end), ahead);
            const size_t from = size_t(begin - ahead_start) * 2, to = size_t(end - ahead_start) * 2;
            job->sound.assign(ahead.begin() + from, ahead.begin() + to);
            ahead.erase(ahead.begin(), ahead.begin() + to);
            ahead_start = end;
            if (!to_convert.push(std::move(job))) break;
            progress.update(encoded.load());
        }
    } catch (const std::exception& e) {
        stop_all(e.what());
    }
    to_convert.close();
    convert_thread.join();
    encode_thread.join();
    if (failure.failed()) throw std::runtime_error(failure.message());
    file.finish();
    temporary.rename_to(options.output);
    progress.finish(encoded.load());

    ExportSummary summary;
    summary.frames = encoded.load();
    summary.show_seconds = double(summary.frames) / options.fps;
    summary.elapsed_seconds = progress.elapsed_seconds();
    return summary;
}
