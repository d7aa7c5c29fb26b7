#pragma once
// Reads a video file back with libavformat and libavcodec: its streams, every
// video frame counted and chosen ones kept as RGB, and the whole sound.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

struct ReadVideo {
    std::string container;                    // libavformat's name for it
    std::string video_codec, sound_codec;     // "h264", "aac", ...
    int width = 0, height = 0, sound_rate = 0;
    double frame_rate = 0, duration = 0;      // duration of the file, in seconds
    double video_start = 0, sound_start = 0;  // first time stamps, in seconds
    int64_t frames = 0;                       // video frames decoded
    std::vector<RgbImage> kept;               // the frames asked for, in order
    std::vector<float> sound;                 // interleaved stereo
};

struct AVFrame;
// A decoded picture as RGB, by the colour space and range it says it has.
RgbImage yuv_to_rgb(const AVFrame* frame);
// Throws std::runtime_error when the file cannot be read.
ReadVideo read_video(const std::string& path, const std::set<int64_t>& keep_frames);
