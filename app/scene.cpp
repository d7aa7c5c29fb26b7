#include <new>

#include "app/app_state.h"
#include "app/camera.h"
#include "app/gl.h"
#include "app/shell.h"
#include "app/show.h"
#include "font/unicode_font.h"

void init_scene() {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    glGenTextures(kTextureCount, app_state.texture_ids);
    app_state.camera = create_camera();
    reset_show();
    const FontView view = {&app_state.client_width_f, &app_state.client_height_f, app_state.texture_ids};
    app_state.font = new (std::nothrow) UnicodeFont("batang", view);
    load_captions("data/text/velandora.txt");
}
