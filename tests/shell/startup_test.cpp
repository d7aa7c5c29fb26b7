// Start-up of the shell with the window-system calls recorded: the order of
// the steps, the two start-up failures, frames, and closing.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/gl.h"
#include "app/shell.h"
#include "app/show.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "platform/message_box.h"
#include "show_directory.h"

namespace {

std::vector<std::string> trace;
struct Box {
    std::string text, caption;
    int icon;
};
std::vector<Box> boxes;
WindowProcedure shell_procedure = nullptr;
int frames = 0;
int frames_until_close = 3;
std::vector<uint32_t> frame_pixels;  // first pixel of every presented frame, 0xRRGGBB

const char* event_name(WindowEvent event) {
    switch (event) {
        case WindowEvent::Created: return "created";
        case WindowEvent::Destroyed: return "destroyed";
        case WindowEvent::Resized: return "resized";
        case WindowEvent::Activated: return "activated";
        case WindowEvent::EraseBackground: return "erase";
    }
    return "?";
}

int32_t recording_procedure(PlatformWindow* window, const WindowMessage& message) {
    trace.push_back(std::string("event ") + event_name(message.event));
    return shell_procedure(window, message);
}

void record_box(const char* text, const char* caption, int icon) {
    trace.push_back("box");
    boxes.push_back(Box{text, caption, icon});
}

bool record_mode(int32_t width, int32_t height, int32_t bits) {
    trace.push_back("mode " + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits));
    return platformChangeDisplayMode(width, height, bits);
}

bool refuse_mode(int32_t, int32_t, int32_t) {
    trace.push_back("mode refused");
    return false;
}

bool accept_mode(int32_t, int32_t, int32_t) {
    trace.push_back("mode");
    return true;
}

void record_restore() {
    trace.push_back("restore");
    platformRestoreDisplayMode();
}

void record_cursor(bool visible) {
    trace.push_back(visible ? "cursor shown" : "cursor hidden");
    platformShowCursor(visible);
}

PlatformWindow* record_create(const char* title, int32_t x, int32_t y, int32_t width, int32_t height,
                              WindowProcedure procedure) {
    trace.push_back(std::string("create ") + title + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(width) + "x" + std::to_string(height));
    shell_procedure = procedure;
    PlatformWindow* window = platformCreateWindow(title, x, y, width, height, recording_procedure);
    trace.push_back(window ? "window" : "no window");
    return window;
}

PlatformWindow* fail_create(const char*, int32_t, int32_t, int32_t, int32_t, WindowProcedure) {
    trace.push_back("create failed");
    return nullptr;
}

void record_show(PlatformWindow* window, int32_t show_command) {
    trace.push_back("show " + std::to_string(show_command));
    platformShowWindow(window, show_command);
}

void record_swap(PlatformWindow* window) {
    trace.push_back("swap");
    uint8_t pixel[4] = {};
    glReadPixels(512, 384, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    frame_pixels.push_back(uint32_t(pixel[0]) << 16 | uint32_t(pixel[1]) << 8 | pixel[2]);
    platformSwapBuffers(window);
}

bool record_dispatch(int32_t* quit_code) {
    bool more = platformDispatchEvent(quit_code);
    if (!more) trace.push_back("quit " + std::to_string(*quit_code));
    return more;
}

// Between frames: paint the back buffer red, so that only a frame that
// clears it presents black; close the window after a few frames.
void record_sleep(uint32_t milliseconds) {
    trace.push_back("sleep " + std::to_string(milliseconds));
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    if (++frames == frames_until_close) {
        SDL_Event event = {};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    }
}

ShellPlatform recording_platform() {
    ShellPlatform platform = {record_box,  record_mode,    record_restore,  record_cursor,
                              record_create, record_show,  record_swap,     platformPeekEvent,
                              record_dispatch, record_sleep};
    return platform;
}

// The steps that must have run before the display mode is switched.
void expect_audio_ready() {
    ASSERT_NE(app_state.music, nullptr);
    ASSERT_NE(app_state.mixer, nullptr);
    EXPECT_EQ(app_state.music->mix_hook, &LoopMixer::mix_loops);
    EXPECT_EQ(app_state.music->mix_context, app_state.mixer);
    EXPECT_EQ(app_state.mixer->owner, app_state.music);
    EXPECT_EQ(app_state.mixer->count, 2u);  // both loops take their slot, found or not
    EXPECT_EQ(app_state.mixer->slots[0].target_volume.load(), 0.0f);
    EXPECT_EQ(app_state.mixer->slots[1].target_volume.load(), 0.0f);
    EXPECT_EQ(app_state.music->playing, 0);
    EXPECT_EQ(app_state.window, nullptr);
}

bool checked_audio_at_mode = false;
bool checked_scene_at_created = false;

bool checking_mode(int32_t width, int32_t height, int32_t bits) {
    expect_audio_ready();
    checked_audio_at_mode = true;
    return record_mode(width, height, bits);
}

int32_t checking_procedure(PlatformWindow* window, const WindowMessage& message) {
    int32_t result = recording_procedure(window, message);
    if (message.event == WindowEvent::Created) {
        // Context, input and scene are set up before the window is returned.
        EXPECT_EQ(app_state.window, window);
        EXPECT_NE(app_state.gl_context, nullptr);
        EXPECT_NE(app_state.camera, nullptr);
        EXPECT_NE(app_state.font, nullptr);
        EXPECT_EQ(show_state.previous_index, -1);
        EXPECT_EQ(show_state.current_index, -1);
        for (int i = 0; i < kTextureCount; ++i) {
            EXPECT_NE(app_state.texture_ids[i], 0u) << "slot " << i;
            for (int j = 0; j < i; ++j) EXPECT_NE(app_state.texture_ids[i], app_state.texture_ids[j]);
        }
        GLboolean depth = glIsEnabled(GL_DEPTH_TEST), blend = glIsEnabled(GL_BLEND);
        EXPECT_TRUE(depth);
        EXPECT_FALSE(blend);
        checked_scene_at_created = true;
    }
    return result;
}

PlatformWindow* checking_create(const char* title, int32_t x, int32_t y, int32_t width, int32_t height,
                                WindowProcedure procedure) {
    trace.push_back(std::string("create ") + title);
    shell_procedure = procedure;
    PlatformWindow* window = platformCreateWindow(title, x, y, width, height, checking_procedure);
    trace.push_back(window ? "window" : "no window");
    return window;
}

// The steps between the frames. A fullscreen window may be told its size again
// once it has taken the screen: resizes after the first count once.
std::vector<std::string> without_frames(const std::vector<std::string>& steps) {
    std::vector<std::string> kept;
    for (const std::string& step : steps) {
        if (step == "swap" || step == "sleep 10") continue;
        if (step == "event resized" && std::count(kept.begin(), kept.end(), step)) continue;
        kept.push_back(step);
    }
    return kept;
}

class ShellStartUp : public ::testing::Test {
protected:
    void SetUp() override {
        trace.clear();
        boxes.clear();
        frame_pixels.clear();
        frames = 0;
        frames_until_close = 3;
        checked_audio_at_mode = false;
        checked_scene_at_created = false;
    }
};

class ShellFrames : public ShellStartUp {};

}  // namespace

TEST_F(ShellStartUp, RefusedDisplayModeShowsBoxAndCreatesNoWindow) {
    ShellPlatform platform = recording_platform();
    platform.change_display_mode = refuse_mode;
    EXPECT_EQ(win_main(platform), 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"mode refused", "box"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Program Will Now Close.");
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].icon, MessageBoxIconError);
    EXPECT_EQ(app_state.window, nullptr);
}

TEST_F(ShellStartUp, FailedWindowShowsBoxAndReturnsZero) {
    ShellPlatform platform = recording_platform();
    platform.change_display_mode = accept_mode;
    platform.create_window = fail_create;
    EXPECT_EQ(win_main(platform), 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"mode", "cursor hidden", "create failed", "box"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Window Creation Error.");
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].icon, MessageBoxIconExclamation);
}

TEST_F(ShellStartUp, StepsRunInOrderAndClosingEndsWithZero) {
    ShowDirectory directory;
    ShellPlatform platform = recording_platform();
    platform.change_display_mode = checking_mode;
    platform.create_window = checking_create;
    // The system's show command reaches the window (6: minimised).
    EXPECT_EQ(win_main(platform, 6), 0);
    EXPECT_TRUE(checked_audio_at_mode);
    EXPECT_TRUE(checked_scene_at_created);

    const std::vector<std::string> expected = {
        "mode 1024x768x32", "cursor hidden", "create Velandora", "event created", "window", "show 6",
        "event activated",  "event resized", "event erase",      "event destroyed", "restore",
        "quit 0"};
    EXPECT_EQ(without_frames(trace), expected);
    // Three frames, each presented, then a sleep of 10 ms.
    std::vector<std::string> loop;
    for (const std::string& step : trace)
        if (step == "swap" || step == "sleep 10") loop.push_back(step);
    EXPECT_EQ(loop, (std::vector<std::string>{"swap", "sleep 10", "swap", "sleep 10", "swap", "sleep 10"}));
    // The context and the input are released with the window.
    EXPECT_EQ(app_state.gl_context, nullptr);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellFrames, EveryFrameClearsToBlackAndPresents) {
    ShowDirectory directory;
    frames_until_close = 4;
    EXPECT_EQ(win_main(recording_platform()), 0);
    ASSERT_EQ(frame_pixels.size(), 4u);
    for (uint32_t pixel : frame_pixels) EXPECT_EQ(pixel, 0x000000u);
    // The window's client size reached the view.
    EXPECT_EQ(app_state.client_width, 1024);
    EXPECT_EQ(app_state.client_height, 768);
    EXPECT_FLOAT_EQ(app_state.client_width_f, 1024.0f);
    EXPECT_FLOAT_EQ(app_state.client_height_f, 768.0f);
}

TEST(ShellClock, MusicBytesBecomeSeconds) {
    EXPECT_EQ(music_seconds(0), 0.0f);
    EXPECT_EQ(music_seconds(176400), 1.0f);
    EXPECT_EQ(music_seconds(441000), 2.5f);
    // The player starts 16384 bytes below zero.
    EXPECT_EQ(music_seconds(-16384), static_cast<float>(-16384 * 5.668934240362812e-6));
    EXPECT_FLOAT_EQ(music_seconds(-16384), -0.0928798f);
    // The double product is narrowed once: 2^31 - 1 bytes are about 12174 s.
    EXPECT_EQ(music_seconds(2147483647), static_cast<float>(2147483647.0 / 176400.0));
}
