#pragma once
// Progress of an export on stderr: on a terminal one line kept up to date
// (frames done, speed as a multiple of real time, time left); otherwise a
// plain line every tenth of the way.
#include <chrono>
#include <cstdint>

class ExportProgress {
public:
    ExportProgress(int64_t total_frames, int fps);
    // `done` frames are in the file; cheap to call after every frame.
    void update(int64_t done);
    // Ends the terminal line.
    void finish(int64_t done);

    double elapsed_seconds() const;

private:
    void print(int64_t done, bool final);

    int64_t total_;
    int fps_;
    bool terminal_;
    int last_tenth_ = 0;
    std::chrono::steady_clock::time_point start_, last_print_;
};
