#include "kit/export/offline_player.h"

#include <GL/gl.h>

#include <cstdlib>
#include <stdexcept>

#include "app/app_state.h"
#include "app/shell.h"
#include "app/show.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "font/strings.h"
#include "kit/export/export_clock.h"
#include "lib/file_system.h"
#include "lib/stream.h"

namespace {

const char* const kMusicName = "data/audio/velandora.ogg";
// The player converts with this scale (a float sample of 1.0 is 32768).
const float kPcmScale = 32768.0f;

bool show_ended = false;
void note_end(int32_t) { show_ended = true; }

// Pictures before the first missing or empty file: where the show ends.
int count_pictures() {
    int count = 0;
    for (;; ++count) {
        String name;
        name.format("data/images/%04d.wmj", int((count + 1) * 100));
        Stream* stream = openFile(name.data);
        const bool present = stream && stream->size() > 0;
        delete stream;
        if (!present) return count;
    }
}

}  // namespace

OfflinePlayer::OfflinePlayer() = default;

OfflinePlayer::~OfflinePlayer() {
    set_show_end_hook(nullptr);
    app_state.music = nullptr;
    app_state.mixer = nullptr;
}

void OfflinePlayer::open(int width, int height) {
    mountArchives();
    pictures_ = count_pictures();
    if (pictures_ == 0)
        throw std::runtime_error("no show here: data/images/0100.wmj is missing (run it in a show's directory)");

    // The audio objects as the player makes them at start-up.
    music_.reset(new MusicStream());
    if (!music_->open_music(kMusicName))
        throw std::runtime_error(std::string("no show here: ") + kMusicName +
                                 " is missing, so the player's clock would never run");
    mixer_.reset(new LoopMixer(music_.get()));
    music_->mix_hook = &LoopMixer::mix_loops;
    music_->mix_context = mixer_.get();
    mixer_->load_loop("data/audio/loop_idle.wav");
    mixer_->load_loop("data/audio/loop_active.wav");
    mixer_->set_target_volume(0, 0.0f);
    mixer_->set_target_volume(1, 0.0f);
    music_->playing = 1;  // as start_music sets it, without a sound device
    app_state.music = music_.get();
    app_state.mixer = mixer_.get();
    block_.assign(size_t(kRefillMostFrames) * 2, 0.0f);

    // Mesa's software renderer rasterises on the calling thread: the export
    // keeps the other core busy with its own conversion and encoding threads,
    // and the renderer's helper threads would only cost a switch a frame.
    setenv("LP_NUM_THREADS", "0", 0);
    std::string error;
    if (!gl_.open(width, height, &error)) throw std::runtime_error(error);
    init_scene();
    resize_view(width, height);
    width_ = width;
    height_ = height;
    show_ended = false;
    set_show_end_hook(note_end);
}

OfflinePlayer::Look OfflinePlayer::look_at(float time) {
    const int32_t ms = show_milliseconds(time);
    return Look{ms < 0 ? -1 : ms / kSlotMilliseconds, fade_alpha(ms)};
}

bool OfflinePlayer::draw(float time) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    show_frame(time);
    glPopMatrix();
    return !show_ended;
}

void OfflinePlayer::read_bgra(uint8_t* pixels) const {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
}

void OfflinePlayer::render_sound_until(int64_t frames, std::vector<int16_t>& out) {
    while (rendered_ < frames) {
        const int64_t left = frames - rendered_;
        const int32_t count = int32_t(left < kRefillMostFrames ? left : kRefillMostFrames);
        MusicStream::render_music(music_.get(), block_.data(), count);
        const size_t start = out.size();
        out.resize(start + size_t(count) * 2);
        to_pcm16(block_.data(), kPcmScale, &out[start], uint32_t(count) * 4, nullptr, 0);
        rendered_ += count;
    }
}
