// A swap returns with the frame drawn. Off screen or on a software renderer no
// vertical sync holds the frame loop back; if the swap did not wait, frames
// would queue in the driver faster than they are drawn and its memory would
// grow over a long show.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include "platform/window.h"

namespace {

int32_t ignore_messages(PlatformWindow*, const WindowMessage&) { return 0; }

// Many blended quads over the whole client area: long enough to draw that a
// swap that does not wait returns well before the frame is done.
void draw_heavy_frame() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int i = 0; i < 100; ++i) {
        glColor4f(float(i % 7) / 7.0f, float(i % 5) / 5.0f, float(i % 3) / 3.0f, 0.1f);
        glRectf(-1.0f, -1.0f, 1.0f, 1.0f);
    }
}

} // namespace

TEST(SwapBuffers, ReturnsWithTheFrameDrawn) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    PlatformWindow* window = platformCreateWindow("swap", 0, 0, 1024, 768, ignore_messages);
    ASSERT_NE(window, nullptr);
    platformChoosePixelFormat(window, PixelFormatRequest{24, 16, true});
    PlatformGlContext* context = platformCreateGlContext(window);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(platformMakeCurrent(window, context));
    auto fence_sync = reinterpret_cast<PFNGLFENCESYNCPROC>(SDL_GL_GetProcAddress("glFenceSync"));
    auto wait_sync = reinterpret_cast<PFNGLCLIENTWAITSYNCPROC>(SDL_GL_GetProcAddress("glClientWaitSync"));
    auto delete_sync = reinterpret_cast<PFNGLDELETESYNCPROC>(SDL_GL_GetProcAddress("glDeleteSync"));
    if (!fence_sync || !wait_sync || !delete_sync) GTEST_SKIP() << "the GL driver has no sync objects";

    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        draw_heavy_frame();
        GLsync drawn = fence_sync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        ASSERT_NE(drawn, nullptr);
        platformSwapBuffers(window);
        // A zero timeout only asks; it neither waits nor flushes.
        EXPECT_EQ(wait_sync(drawn, 0, 0), GLenum(GL_ALREADY_SIGNALED));
        delete_sync(drawn);
    }
    platformMakeCurrent(nullptr, nullptr);
    platformDeleteGlContext(context);
}
