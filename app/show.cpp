#include "app/show.h"

#include <cstring>

#include "app/app_state.h"
#include "app/gl.h"
#include "audio/loop_mixer.h"
#include "font/strings.h"
#include "font/texture.h"
#include "font/unicode_font.h"
#include "platform/memory.h"
#include "platform/message_box.h"

ShowState show_state;

namespace {

ShowEndHook end_hook = nullptr;

// The single-precision value of 1 / 5500: the fade runs over 5500 ms.
const float kFadeRate = 0.00018181818f;

void end_show() {
    if (end_hook)
        end_hook(0);
    else
        platformExitProcess(0);
}

// One textured quad over the full width, from y = -h to +h; counter-clockwise
// so that back-face culling keeps it; the picture's first row at the top.
void draw_picture_quad(float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, -h);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, -h);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, h);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, h);
    glEnd();
}

// The slot changed: the current picture goes under, the new one is loaded.
// False when the show is over.
bool change_picture(int32_t index) {
    show_state.previous_index = show_state.current_index;
    std::memcpy(show_state.previous_pixels, show_state.picture_pixels, sizeof show_state.previous_pixels);
    upload_rgba_texture(app_state.texture_ids[kPreviousPictureTexture], show_state.previous_pixels, kPictureWidth,
                        kPictureHeight);
    show_state.current_index = index;
    if (!load_show_picture(index)) return false;
    upload_rgba_texture(app_state.texture_ids[kCurrentPictureTexture], show_state.picture_pixels, kPictureWidth,
                        kPictureHeight);
    platformReleaseFreeMemory();
    return true;
}

void set_loop_targets(bool typing) {
    LoopMixer* mixer = app_state.mixer;
    if (!mixer) return;
    mixer->set_target_volume(0, typing ? 0.0f : kLoopVolume);
    mixer->set_target_volume(1, typing ? kLoopVolume : 0.0f);
}

void draw_caption(float alpha) {
    // Pictures past the last caption entry have no caption.
    const int32_t index = show_state.current_index;
    const char* line = index < kCaptionLineCount ? show_state.caption_lines[index] : nullptr;
    WideString caption;
    caption.format(u"%S", line ? line : "");
    char16_t shown[kCaptionBufferUnits];
    uint32_t units = caption.length < uint32_t(kCaptionBufferUnits - 1) ? caption.length : kCaptionBufferUnits - 1;
    std::memcpy(shown, caption.data, units * sizeof(char16_t));
    shown[units] = 0;
    const int32_t typed = typed_characters(alpha);
    shown[typed] = 0;

    const float width = app_state.client_width_f, height = app_state.client_height_f;
    const float y = ((2.0f - width / height) + 1.0f) * 0.5f * height;
    if (app_state.font) {
        app_state.font->draw_text(shown, 11.0f, y + 1.0f, 1.4f, 0x000000u, 0);
        app_state.font->draw_text(shown, 10.0f, y, 1.4f, 0xFFFFFFFFu, 0);
    }
    set_loop_targets(caption_is_typing(shown, typed));
}

}  // namespace

void set_show_end_hook(ShowEndHook hook) { end_hook = hook; }

void reset_show() {
    std::memset(show_state.picture_pixels, 0, sizeof show_state.picture_pixels);
    std::memset(show_state.previous_pixels, 0, sizeof show_state.previous_pixels);
    show_state.previous_index = -1;
    show_state.current_index = -1;
}

int32_t show_milliseconds(float time) {
    double ms = double(time) * 1000.0 - kShowStartMilliseconds;
    // Far outside the show's range the value only needs to stay on its side.
    if (ms < -2147483648.0) return INT32_MIN;
    if (ms > 2147483647.0) return INT32_MAX;
    return int32_t(ms);
}

float fade_alpha(int32_t milliseconds) {
    float alpha = float(milliseconds % kSlotMilliseconds - kFadeStartMilliseconds) * kFadeRate;
    if (alpha > 1.0f) alpha = 1.0f;
    if (alpha < 0.0f) alpha = 0.0f;
    return alpha;
}

int32_t typed_characters(float alpha) { return int32_t(alpha * float(kCaptionTypingRate)); }

bool caption_is_typing(const char16_t* shown, int32_t typed) {
    int32_t n = 0;
    while (shown[n]) ++n;
    if (n == 0 || n != typed) return false;
    char16_t last = shown[n - 1];
    return last != u' ' && last != u'\r' && last != u'\n';
}

void show_frame(float time) {
    const float width = app_state.client_width_f, height = app_state.client_height_f;
    const float h = width / (2.0f * height);
    const int32_t ms = show_milliseconds(time);

    if (ms >= 0) {
        const int32_t index = ms / kSlotMilliseconds;
        if (index != show_state.current_index && !change_picture(index)) {
            end_show();
            return;
        }
    }
    const float alpha = fade_alpha(ms);

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glDisable(GL_ALPHA_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    if (show_state.previous_index != -1) {
        glDisable(GL_BLEND);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBindTexture(GL_TEXTURE_2D, app_state.texture_ids[kPreviousPictureTexture]);
        draw_picture_quad(h);
    }
    if (show_state.current_index != -1) {
        glEnable(GL_BLEND);
        glColor4f(1.0f, 1.0f, 1.0f, alpha);
        glBindTexture(GL_TEXTURE_2D, app_state.texture_ids[kCurrentPictureTexture]);
        draw_picture_quad(h);
    }
    if (show_state.current_index >= 0) draw_caption(alpha);
}
