// The fly camera: orientation from the mouse totals, damped and driven
// velocity, position moved along the turned axes.
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "app/input.h"

TEST(FlyCamera, CreatedAtRest) {
    FlyCamera* camera = create_camera();
    ASSERT_NE(camera, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(camera->position[i] + camera->velocity[i], 0.0f) << i;
    delete camera;
}

// A driven axis gains 0.001 a frame (forward is -z, vertical is down), an
// undriven one keeps 0.95 of its speed, and the position moves by the speed.
TEST(FlyCamera, DrivenAxesSpeedUpAndOthersSlowDown) {
    struct Case {
        const char* name;
        int forward, strafe, vertical;
        float start[3], velocity[3];  // before and after one frame
    };
    const Case cases[] = {
        {"forward", 1, 0, 0, {0, 0, 0}, {0, 0, -0.001f}},
        {"forward again", 1, 0, 0, {0, 0, -0.001f}, {0, 0, -0.002f}},
        {"vertical", 0, 0, 1, {0, 0, 0}, {0, -0.001f, 0}},
        {"strafe only", 0, 1, 0, {1.0f, 2.0f, -1.0f}, {1.001f, 1.9f, -0.95f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlyCamera camera = {};
        for (int i = 0; i < 3; ++i) camera.velocity[i] = c.start[i];
        camera.position[0] = 5.0f;
        InputState input = {};
        input.forward = c.forward;
        input.strafe = c.strafe;
        input.vertical = c.vertical;
        update_camera(camera, input);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(camera.velocity[i], c.velocity[i]) << i;
            EXPECT_FLOAT_EQ(camera.position[i], c.velocity[i] + (i == 0 ? 5.0f : 0.0f)) << i;
        }
    }
}

// 0.4 degrees per mouse step: 225 steps of yaw are 90 degrees, 75 of pitch
// 30; the rows are (cy, sy sp, -sy cp), (0, cp, sp), (sy, -cy sp, cy cp) with
// the position after them, and horizontal motion turns with the camera.
TEST(FlyCamera, OrientationAndMotionFollowTheMouse) {
    FlyCamera camera = {};
    camera.position[0] = 1.0f;
    camera.position[1] = 2.0f;
    camera.position[2] = 3.0f;
    InputState input = {};
    input.mouse_x = 225;
    input.mouse_y = 75;
    input.forward = 1;
    input.strafe = -1;
    update_camera(camera, input);
    const double half = 0.5, root = std::sqrt(3.0) / 2;
    const double expected[16] = {0, half, -root, 1, 0, root, half, 2, 1, 0, 0, 3, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(camera.orientation[i], expected[i], 1e-6) << "element " << i;
        EXPECT_NEAR(camera.rotation[i], (i % 4 == 3 && i != 15) ? 0.0 : expected[i], 1e-6) << "element " << i;
    }
    // Speeds -0.001 on x and z: x and z are swapped by the yaw, z tilted by the pitch.
    EXPECT_NEAR(camera.position[0], 1 + 0.001 * root, 1e-6);
    EXPECT_NEAR(camera.position[1], 2 - 0.001 * half, 1e-6);
    EXPECT_NEAR(camera.position[2], 3 - 0.001, 1e-6);
}
