#include "kit/export/export_progress.h"

#include <unistd.h>

#include <cstdio>

ExportProgress::ExportProgress(int64_t total_frames, int fps)
    : total_(total_frames > 0 ? total_frames : 1), fps_(fps), terminal_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), last_print_(start_) {}

double ExportProgress::elapsed_seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ExportProgress::update(int64_t done) {
    if (terminal_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_print_ < std::chrono::milliseconds(200)) return;
        last_print_ = now;
        print(done, false);
    } else {
        const int tenth = int(done * 10 / total_);
        if (tenth <= last_tenth_ || tenth >= 10) return;
        last_tenth_ = tenth;
        print(done, false);
    }
}

void ExportProgress::finish(int64_t done) {
    print(done, true);
    if (terminal_) std::fputc('\n', stderr);
}

void ExportProgress::print(int64_t done, bool final) {
    const double elapsed = elapsed_seconds();
    const double speed = elapsed > 0 ? double(done) / fps_ / elapsed : 0.0;
    const double left = speed > 0 ? double(total_ - done) / fps_ / speed : 0.0;
    char line[160];
    if (final)
        std::snprintf(line, sizeof line, "export: %lld frames in %.1f s, %.1fx real time", (long long)done, elapsed,
                      speed);
    else
        std::snprintf(line, sizeof line, "export: %lld/%lld frames, %.1fx real time, %d:%02d left", (long long)done,
                      (long long)total_, speed, int(left) / 60, int(left) % 60);
    if (terminal_)
        std::fprintf(stderr, "\r%-64s", line);
    else
        std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
}
