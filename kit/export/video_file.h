#pragma once
// A video file written through FFmpeg's libraries: one video stream (H.264
// in MP4, VP9 in WebM) and one sound stream (AAC, Opus) muxed together.
// Colour conversion is separate from encoding so that the two run on
// different threads; everything else is for one thread.
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;
struct SwrContext;

enum class VideoContainer { mp4, webm };

struct VideoSettings {
    VideoContainer container = VideoContainer::mp4;
    int width = 1024, height = 768;
    int fps = 30;
    int crf = 18;
    int threads = 2;  // encoder threads
};

// The container that a file name's extension asks for; false when it is
// neither .mp4 nor .webm (letter case does not matter).
bool container_for_name(const std::string& name, VideoContainer* container);

// Turns frame-buffer pixels (rows from the bottom, blue, green, red, 255)
// into the encoder's 4:2:0 pictures, BT.709, limited range. One per thread.
class FrameConverter {
public:
    FrameConverter(int width, int height) : width_(width), height_(height) {}
    // A new frame that the caller owns (av_frame_free).
    AVFrame* convert(const uint8_t* bgra_bottom_up) const;

private:
    int width_, height_;
};

class VideoFile {
public:
    VideoFile() = default;
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // Opens the encoders and writes the header to `path`. Throws
    // std::runtime_error with a clear message (an encoder missing, ...).
    void open(const std::string& path, const VideoSettings& settings);
    // The next video frame (its number is its time stamp); takes ownership.
    void write_video(AVFrame* frame);
    // The next sound: interleaved 16-bit stereo at 44100 Hz.
    void write_sound(const int16_t* samples, int frames);
    // Flushes both encoders and writes the trailer.
    void finish();

private:
    void encode_sound(bool flush);
    void send(AVCodecContext* codec, AVStream* stream, AVFrame* frame);

    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* sound_ = nullptr;
    AVStream* video_stream_ = nullptr;
    AVStream* sound_stream_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    int64_t video_frames_ = 0;
    int64_t sound_pts_ = 0;
    bool finished_ = false;
};
