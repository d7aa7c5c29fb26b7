// The POSIX and SDL platform layer. The refill thread must not wait behind a
// loaded machine: it runs round-robin real-time where that is allowed, and
// the lock it shares with the main thread lends its priority to whoever holds
// it. A fullscreen window, its swap, and freed heap pages given back.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace {

// Whether this process may make a thread real-time (root with the capability,
// or a real-time limit): asked of a thread of its own.
bool realTimeAllowed() {
    bool allowed = false;
    std::thread probe([&allowed]() {
        sched_param param{};
        param.sched_priority = 10;
        allowed = pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
    });
    probe.join();
    return allowed;
}

// The kernel's current priority of a thread of this process, as /proc shows it:
// 0..39 for nice -20..19, and -1 - p for real-time priority p (boosts included).
int kernelPriority(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 18; ++i) fields >> field;  // field 18 is the priority
    return std::stoi(field);
}

struct Waiter {
    PlatformLock* lock;
    int policy = -1;
    sched_param param{};
    std::atomic<bool> entered{false};
};

}  // namespace

TEST(RefillThread, RunsRoundRobinAndTheLockHolderInheritsItsPriority) {
    if (!realTimeAllowed()) GTEST_SKIP() << "real-time priority is not allowed here";
    PlatformLock* lock = platformCreateLock();
    ASSERT_NE(lock, nullptr);
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    const int plain = kernelPriority(self);
    ASSERT_GE(plain, 0) << "the test thread itself must start at a normal priority";
    platformEnterLock(lock);
    Waiter waiter{lock};
    PlatformThread* thread = platformStartThread(
        [](void* context) {
            Waiter* waiter = static_cast<Waiter*>(context);
            pthread_getschedparam(pthread_self(), &waiter->policy, &waiter->param);
            platformEnterLock(waiter->lock);
            waiter->entered = true;
            platformLeaveLock(waiter->lock);
        },
        &waiter);
    ASSERT_NE(thread, nullptr);
    // While the real-time thread waits, the holder runs at its priority.
    int boosted = plain;
    for (int i = 0; i < 400 && boosted == plain; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        boosted = kernelPriority(self);
    }
    EXPECT_EQ(boosted, -11);
    EXPECT_FALSE(waiter.entered);
    platformLeaveLock(lock);
    ASSERT_TRUE(platformWaitThread(thread, 5000));
    platformReleaseThread(thread);
    EXPECT_TRUE(waiter.entered);
    EXPECT_EQ(waiter.policy, SCHED_RR);
    EXPECT_EQ(waiter.param.sched_priority, 10);
    EXPECT_EQ(kernelPriority(self), plain);
    platformDestroyLock(lock);
}

// A desktop that already has the show's size still gets a window that covers
// the screen, not a borderless one under the panels, until the mode is
// restored. A swap returns with the frame drawn: off screen or on a software
// renderer no vertical sync holds the frame loop back; if the swap did not
// wait, frames would queue in the driver faster than they are drawn and its
// memory would grow over a long show.
TEST(Window, CoversTheScreenAndItsSwapReturnsWithTheFrameDrawn) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0) << SDL_GetError();
    ASSERT_TRUE(platformChangeDisplayMode(desktop.w, desktop.h, 32));
    PlatformWindow* window = platformCreateWindow("swap", 0, 0, desktop.w, desktop.h,
                                                  [](PlatformWindow*, const WindowMessage&) { return 0; });
    ASSERT_NE(window, nullptr);
    platformChoosePixelFormat(window, PixelFormatRequest{24, 16, true});
    PlatformGlContext* context = platformCreateGlContext(window);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(platformMakeCurrent(window, context));
    SDL_Window* shown = SDL_GL_GetCurrentWindow();
    EXPECT_NE(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_NE(SDL_GetWindowFlags(shown) & SDL_WINDOW_BORDERLESS, 0u);
    platformRestoreDisplayMode();
    EXPECT_EQ(SDL_GetWindowFlags(shown) & SDL_WINDOW_FULLSCREEN, 0u);
    auto fence_sync = reinterpret_cast<PFNGLFENCESYNCPROC>(SDL_GL_GetProcAddress("glFenceSync"));
    auto wait_sync = reinterpret_cast<PFNGLCLIENTWAITSYNCPROC>(SDL_GL_GetProcAddress("glClientWaitSync"));
    auto delete_sync = reinterpret_cast<PFNGLDELETESYNCPROC>(SDL_GL_GetProcAddress("glDeleteSync"));
    if (!fence_sync || !wait_sync || !delete_sync) GTEST_SKIP() << "the GL driver has no sync objects";
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int frame = 0; frame < 3; ++frame) {
        // Many blended quads over the whole client area: long enough to draw
        // that a swap that does not wait returns well before the frame is done.
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < 100; ++i) {
            glColor4f(float(i % 7) / 7.0f, float(i % 5) / 5.0f, float(i % 3) / 3.0f, 0.1f);
            glRectf(-1.0f, -1.0f, 1.0f, 1.0f);
        }
        GLsync drawn = fence_sync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        ASSERT_NE(drawn, nullptr);
        platformSwapBuffers(window);
        // A zero timeout only asks; it neither waits nor flushes.
        EXPECT_EQ(wait_sync(drawn, 0, 0), GLenum(GL_ALREADY_SIGNALED)) << frame;
        delete_sync(drawn);
    }
    platformMakeCurrent(nullptr, nullptr);
    platformDeleteGlContext(context);
}

// The player calls this once per picture, so a long show does not keep the
// pages of every buffer it freed.
TEST(ReleaseFreeMemory, GivesTheFreedPagesInsideTheHeapBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator keeps its own pages, apart from the C library's heap";
#endif
    // Blocks under the size the allocator maps on their own, each followed by
    // a small one that stays: freeing the large ones leaves holes in the heap
    // that freeing alone does not give back.
    std::vector<void*> large, small;
    for (int i = 0; i < 1500; ++i) {
        large.push_back(std::malloc(64 * 1024));
        small.push_back(std::malloc(16));
        ASSERT_NE(large.back(), nullptr);
        std::memset(large.back(), 0x5A, 64 * 1024);
    }
    for (void* block : large) std::free(block);
    // The process's resident anonymous memory in kB, as /proc tells it.
    auto resident_kb = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("RssAnon:", 0) == 0) return std::stol(line.substr(8));
        return -1L;
    };
    const long held = resident_kb();
    ASSERT_GT(held, 0);
    platformReleaseFreeMemory();
    const long after = resident_kb();
    // About 94 MB were freed; most of it must have left the process.
    EXPECT_LT(after, held - 60 * 1024) << "held " << held << " kB, after " << after << " kB";
    for (void* block : small) std::free(block);
}
