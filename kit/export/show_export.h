#pragma once
// velkit export: the show of the working directory, as the player plays it,
// into a video file.
#include <cstdint>
#include <string>

struct ExportOptions {
    std::string output;  // .mp4 (H.264 + AAC) or .webm (VP9 + Opus)
    int fps = 30;
    int width = 1024, height = 768;  // the player's client size
    int crf = 18;
};

struct ExportSummary {
    int64_t frames = 0;
    double show_seconds = 0;    // length of the video
    double elapsed_seconds = 0; // time it took
};

// Renders every frame from music time 0 to the end of the show (the first
// missing picture) and the sound that goes with it, and writes the file. The
// file appears only when it is complete: it is written under a temporary name
// in the same directory and renamed at the end. Throws std::runtime_error
// with a clear message on any failure.
ExportSummary export_show(const ExportOptions& options);

// Checks the options themselves (extension, ranges); throws as above.
void check_export_options(const ExportOptions& options);
