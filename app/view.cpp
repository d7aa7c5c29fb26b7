#include "app/app_state.h"
#include "app/gl.h"
#include "app/shell.h"

void resize_view(int32_t width, int32_t height) {
    app_state.client_width_f = static_cast<float>(width);
    app_state.client_height_f = static_cast<float>(height);
    app_state.client_width = width;
    app_state.client_height = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The aspect in whole numbers; a window with no height (minimised) counts
    // as one pixel high rather than dividing by zero.
    const int32_t aspect = width / (height != 0 ? height : 1);
    const double half_width = static_cast<double>(0.04f);
    glFrustum(-half_width, half_width, -half_width * aspect, half_width * aspect,
              static_cast<double>(0.05f), 500.0);
}
