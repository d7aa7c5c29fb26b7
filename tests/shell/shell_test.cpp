// The shell in process, over SDL's offscreen driver: its start-up with the
// window-system calls recorded (order, failures, frames, and the music from an
// archive, which starts once the window shows); the window procedure and the
// event pump on a real fullscreen window. Then the real program, display unset
// so that message boxes fall back to stderr.
#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/gl.h"
#include "app/shell.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "kit/archive/lcc_writer.h"
#include "platform/message_box.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "shell_fixture.h"
#include "test_files.h"

namespace {

int failing_step = 0;  // 1: the display mode is refused, 2: the window; 0: none
std::vector<std::string> trace, loop;  // the steps, and those of the frame loop
std::vector<std::string> boxes;  // text, caption, icon
WindowProcedure shell_procedure = nullptr;
std::vector<uint32_t> frame_pixels;  // the middle pixel of every presented frame, 0xRRGGBB
bool playing_at_show = true;
std::vector<int> playing_at_frames;

// What the window test's procedure saw and answered.
std::vector<WindowEvent> events;
std::vector<int32_t> results;

int32_t event_procedure(PlatformWindow* window, const WindowMessage& message) {
    events.push_back(message.event);
    results.push_back(window_proc(window, message));
    return results.back();
}

// Takes every waiting event; true when the quit request came with code 0.
bool drain() {
    while (platformPeekEvent()) {
        int32_t code = -1;
        if (!platformDispatchEvent(&code)) return code == 0;
    }
    return false;
}

// Posts an event: a window event `id`, or one of `type`.
void push_event(SDL_WindowEventID id, uint32_t type = SDL_WINDOWEVENT) {
    SDL_Event event = {};
    event.type = type;
    event.window.event = id;
    SDL_PushEvent(&event);
}

// A mouse motion of x, then what the input reads of it.
void push_motion(int32_t x, InputState& input) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = x;
    SDL_PushEvent(&event);
    poll_input(input);
}

uint32_t pixel(int x, int y) {
    uint8_t rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

const char* const kEventNames[] = {"created", "destroyed", "resized", "activated", "erase"};

int32_t recording_procedure(PlatformWindow* window, const WindowMessage& message) {
    trace.push_back(std::string("event ") + kEventNames[int(message.event)]);
    const int32_t result = shell_procedure(window, message);
    if (message.event == WindowEvent::Created) {
        // Context, input and scene are set up before the window is returned.
        EXPECT_NE(app_state.gl_context, nullptr);
        EXPECT_NE(app_state.camera, nullptr);
        EXPECT_NE(app_state.font, nullptr);
        EXPECT_NE(app_state.texture_ids[kTextureCount - 1], 0u);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
    return result;
}

bool record_mode(int32_t width, int32_t height, int32_t bits) {
    trace.push_back("mode " + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits));
    // The audio is ready, silent, before the display mode is switched.
    EXPECT_TRUE(app_state.music && app_state.mixer);
    if (!app_state.music || !app_state.mixer) return false;
    EXPECT_EQ(app_state.music->mix_hook, &LoopMixer::mix_loops);
    EXPECT_EQ(app_state.music->mix_context, app_state.mixer);
    EXPECT_EQ(app_state.mixer->owner, app_state.music);
    EXPECT_EQ(app_state.mixer->count, 2u);
    for (const LoopSlot& slot : app_state.mixer->slots) EXPECT_EQ(slot.target_volume.load(), 0.0f);
    EXPECT_EQ(app_state.music->playing, 0);
    return failing_step != 1 && platformChangeDisplayMode(width, height, bits);
}

PlatformWindow* record_create(const char* title, int32_t x, int32_t y, int32_t width, int32_t height,
                              WindowProcedure procedure) {
    trace.push_back(std::string("create ") + title + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(width) + "x" + std::to_string(height));
    shell_procedure = procedure;
    if (failing_step == 2) return nullptr;
    PlatformWindow* window = platformCreateWindow(title, x, y, width, height, recording_procedure);
    trace.push_back(window ? "window" : "no window");
    return window;
}

// Between frames the back buffer is painted red, so only a frame that clears
// it presents black; the window closes after three frames.
ShellPlatform recording_platform() {
    ShellPlatform platform = system_platform();
    platform.message_box = [](const char* text, const char* caption, int icon) {
        trace.push_back("box");
        boxes.insert(boxes.end(), {text, caption, std::to_string(icon)});
    };
    platform.change_display_mode = record_mode;
    platform.restore_display_mode = [] {
        trace.push_back("restore");
        platformRestoreDisplayMode();
    };
    platform.show_cursor = [](bool visible) {
        trace.push_back(visible ? "cursor shown" : "cursor hidden");
        platformShowCursor(visible);
    };
    platform.create_window = record_create;
    platform.show_window = [](PlatformWindow* window, int32_t command) {
        trace.push_back("show " + std::to_string(command));
        playing_at_show = app_state.music->playing;
        platformShowWindow(window, command);
    };
    platform.swap_buffers = [](PlatformWindow* window) {
        loop.push_back("swap");
        frame_pixels.push_back(pixel(512, 384));
        platformSwapBuffers(window);
    };
    platform.dispatch_event = [](int32_t* quit_code) {
        const bool more = platformDispatchEvent(quit_code);
        if (!more) trace.push_back("quit " + std::to_string(*quit_code));
        return more;
    };
    platform.sleep = [](uint32_t milliseconds) {
        loop.push_back("sleep " + std::to_string(milliseconds));
        playing_at_frames.push_back(app_state.music->playing);
        platformSleep(milliseconds);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        if (frame_pixels.size() == 3) push_event(SDL_WINDOWEVENT_NONE, SDL_QUIT);
    };
    return platform;
}

// True once process `pid` runs the program and catches SIGTERM (SDL turns it
// into a quit request). Before the exec the child still carries its parent's
// handlers, so the program's name is checked first.
bool catches_terminate(pid_t pid) {
    const std::string process = "/proc/" + std::to_string(pid);
    std::ifstream command_line(process + "/cmdline"), status(process + "/status");
    std::string line;
    if (!std::getline(command_line, line, '\0') || line != "velandora") return false;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) return (std::strtoull(line.c_str() + 7, nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// Runs the program on `video_driver` in the working directory, asking it to
// close once it can; its exit status (-1 when it did not exit). Its stderr
// goes to a file there, which a pipe could not hold the whole of.
int run_velandora(const char* video_driver, bool close_window) {
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", video_driver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(VELANDORA_PATH, "velandora", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Closed once the program handles the request (waiting about 20 s at most).
    for (int tries = 0; close_window && tries < 2000 && !catches_terminate(pid); ++tries) usleep(10000);
    if (close_window) kill(pid, SIGTERM);
    // A program that has not ended after about 30 s is killed.
    int status = 0;
    for (int tries = 0; waitpid(pid, &status, WNOHANG) != pid; ++tries) {
        if (tries == 3000) kill(pid, SIGKILL);
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Each failure shows its box and returns 0; a start that succeeds runs its
// steps in order, clears every frame to black and returns 0 once closed. The
// show's audio comes from an archive: archives are mounted before it is opened.
TEST(ShellStartUp, StepsRunInOrderAndEachFailureShowsItsBox) {
    ShowDirectory directory;
    const Bytes wav = Wav{std::vector<int16_t>(2 * 4410, 1000)}.bytes();
    const Bytes track = make_vorbis(2, 44100, 44100, [](int, int frame) { return 0.3f * std::sin(frame * 0.05f); });
    LccArchiveLayout layout;
    layout.name = "show";
    layout.memberMethod = 2;
    directory.write("show.lcc", buildLccArchive(layout, {{"data/audio/velandora.ogg", track, -1},
                                                         {"data/audio/loop_idle.wav", wav, -1},
                                                         {"data/audio/loop_active.wav", wav, -1}}));
    // The system's show command reaches the window (6: minimised).
    const struct { int failing_step; std::vector<std::string> steps, box; } rows[] = {
        {1, {"mode 1024x768x32", "box"}, {"Program Will Now Close.", "ERROR", std::to_string(MessageBoxIconError)}},
        {2, {"mode 1024x768x32", "cursor hidden", "create Velandora 0,0 1024x768", "box"},
         {"Window Creation Error.", "ERROR", std::to_string(MessageBoxIconExclamation)}},
        {0, {"mode 1024x768x32", "cursor hidden", "create Velandora 0,0 1024x768", "event created", "window",
             "show 6", "event activated", "event resized", "event erase", "event destroyed", "restore", "quit 0"}, {}},
    };
    std::vector<std::string> steps;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failing_step);
        trace.clear();
        boxes.clear();
        steps.clear();
        loop.clear();
        failing_step = row.failing_step;
        EXPECT_EQ(win_main(recording_platform(), 6), 0);
        // A fullscreen window may be told its size again once it has taken the screen.
        for (const std::string& step : trace)
            if (step != "event resized" || !std::count(steps.begin(), steps.end(), step)) steps.push_back(step);
        EXPECT_EQ(steps, row.steps);
        EXPECT_EQ(boxes, row.box);
        if (row.box.empty()) break;
        EXPECT_EQ(app_state.window, nullptr);
        delete app_state.mixer;  // the next start-up makes its own
        delete app_state.music;
        app_state.mixer = nullptr;
        app_state.music = nullptr;
    }
    EXPECT_EQ(loop, (std::vector<std::string>{"swap", "sleep 10", "swap", "sleep 10", "swap", "sleep 10"}));
    EXPECT_EQ(frame_pixels, std::vector<uint32_t>(3, 0x000000u));
    // The music plays from the first frame on, not before the window shows.
    EXPECT_NE(app_state.music->source, nullptr);
    EXPECT_FALSE(playing_at_show);
    EXPECT_EQ(playing_at_frames, std::vector<int>(3, 1));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(app_state.mixer->slots[i].frames, 4410u);
}

// Every event of a show's window, in the order of its life.
TEST(ShellWindow, ResizeEraseFocusAndClose) {
    ShowDirectory directory;  // the scene needs its font
    ASSERT_TRUE(platformChangeDisplayMode(1024, 768, 32));
    PlatformWindow* window = platformCreateWindow("Velandora", 0, 0, 1024, 768, event_procedure);
    ASSERT_NE(window, nullptr);
    platformShowWindow(window, kShowWindowNormal);
    drain();
    // The projection uses the whole-number aspect: 800 / 600 is 1, a square
    // frustum; 2048 / 768 is 2, twice as tall as wide; no height counts as 1.
    const double near_plane = double(0.05f), half = double(0.04f);
    const struct { int32_t width, height, aspect; } rows[] = {{800, 600, 1}, {2048, 768, 2}, {640, 0, 640}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << " x " << row.height);
        resize_view(row.width, row.height);
        EXPECT_EQ(app_state.client_width, row.width);
        EXPECT_EQ(app_state.client_height, row.height);
        EXPECT_EQ(app_state.client_width_f, float(row.width));
        EXPECT_EQ(app_state.client_height_f, float(row.height));
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, row.width, row.height}));
        GLdouble matrix[16] = {};
        glGetDoublev(GL_PROJECTION_MATRIX, matrix);
        EXPECT_NEAR(matrix[0], near_plane / half, 1e-6);
        EXPECT_NEAR(matrix[5], near_plane / (row.aspect * half), 1e-6);
        EXPECT_NEAR(matrix[10], -(500.0 + near_plane) / (500.0 - near_plane), 1e-6);
    }
    // A size change reads the client area; erasing is answered without painting.
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    events.clear();
    results.clear();
    push_event(SDL_WINDOWEVENT_SIZE_CHANGED);
    push_event(SDL_WINDOWEVENT_EXPOSED);
    drain();
    EXPECT_EQ(events, (std::vector<WindowEvent>{WindowEvent::Resized, WindowEvent::EraseBackground}));
    EXPECT_EQ(results, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(app_state.client_width, 1024);
    EXPECT_EQ(app_state.client_height, 768);
    EXPECT_EQ(pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(pixel(1023, 767), 0x0000FFu);

    // Deactivation unacquires the mouse and activation acquires it again.
    app_state.input = InputState{};
    app_state.input.active = 1;
    push_motion(4, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 4);
    push_event(SDL_WINDOWEVENT_FOCUS_LOST);
    drain();
    EXPECT_EQ(app_state.input.active, 0u);
    push_motion(50, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 4);
    push_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    drain();
    EXPECT_EQ(app_state.input.active, 1u);
    push_motion(7, app_state.input);
    EXPECT_EQ(app_state.input.mouse_x, 11);

    // Closing destroys the window, quits with 0 and takes the input devices with it.
    events.clear();
    push_event(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(drain());
    EXPECT_EQ(events, std::vector<WindowEvent>{WindowEvent::Destroyed});
    EXPECT_EQ(app_state.gl_context, nullptr);
    InputState input = {};
    input.active = 1;
    push_motion(5, input);
    EXPECT_EQ(input.mouse_x, 0);
}

// Each start ends with status 0: with no display to switch, with a driver
// that has no OpenGL, and with a window that the system closes.
TEST(VelandoraProcess, EndsWithZeroAndTheMessageOfItsStart) {
    const struct { const char *driver, *message, *not_message; } rows[] = {
        {"no-such-driver", "ERROR: Program Will Now Close.", "Window Creation Error."},
        {"dummy", "ERROR: Window Creation Error.", "Program Will Now Close."},
        {"offscreen", "", "ERROR"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.driver);
        ShowDirectory directory;
        EXPECT_EQ(run_velandora(row.driver, row.message[0] == 0), 0);
        std::ifstream file("errors.txt");
        const std::string errors((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_NE(errors.find(row.message), std::string::npos) << errors;
        EXPECT_EQ(errors.find(row.not_message), std::string::npos) << errors;
    }
}
