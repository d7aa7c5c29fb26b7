// The fly camera: orientation from the mouse totals, damped and driven
// velocity, position moved along the turned axes.
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "app/input.h"

namespace {

constexpr double kRadiansPerStep = 0.4 * 0.017453292;

FlyCamera at_rest() {
    FlyCamera camera = {};
    return camera;
}

}  // namespace

TEST(FlyCamera, CreatedAtRest) {
    FlyCamera* camera = create_camera();
    ASSERT_NE(camera, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(camera->position[i], 0.0f);
        EXPECT_EQ(camera->velocity[i], 0.0f);
    }
    delete camera;
}

TEST(FlyCamera, ForwardMovesAlongMinusZ) {
    FlyCamera camera = at_rest();
    InputState input = {};
    input.forward = 1;
    update_camera(camera, input);
    EXPECT_FLOAT_EQ(camera.velocity[2], -0.001f);
    EXPECT_FLOAT_EQ(camera.position[2], -0.001f);
    update_camera(camera, input);
    EXPECT_FLOAT_EQ(camera.velocity[2], -0.002f);
    EXPECT_FLOAT_EQ(camera.position[2], -0.003f);
    EXPECT_EQ(camera.position[0], 0.0f);
    EXPECT_EQ(camera.position[1], 0.0f);
}

TEST(FlyCamera, AxesWithoutInputSlowDown) {
    FlyCamera camera = at_rest();
    camera.velocity[0] = 1.0f;
    camera.velocity[1] = 2.0f;
    camera.velocity[2] = -1.0f;
    InputState input = {};
    input.strafe = 1;  // only the strafe axis is driven
    update_camera(camera, input);
    EXPECT_FLOAT_EQ(camera.velocity[0], 1.001f);
    EXPECT_FLOAT_EQ(camera.velocity[1], 2.0f * 0.95f);
    EXPECT_FLOAT_EQ(camera.velocity[2], -0.95f);
    EXPECT_FLOAT_EQ(camera.position[0], 1.001f);
    EXPECT_FLOAT_EQ(camera.position[1], 1.9f);
    EXPECT_FLOAT_EQ(camera.position[2], -0.95f);
}

TEST(FlyCamera, VerticalInputMovesDown) {
    FlyCamera camera = at_rest();
    InputState input = {};
    input.vertical = 1;
    update_camera(camera, input);
    EXPECT_FLOAT_EQ(camera.velocity[1], -0.001f);
    EXPECT_FLOAT_EQ(camera.position[1], -0.001f);
}

TEST(FlyCamera, OrientationFollowsTheMouse) {
    FlyCamera camera = at_rest();
    camera.position[0] = 1.0f;
    camera.position[1] = 2.0f;
    camera.position[2] = 3.0f;
    InputState input = {};
    input.mouse_x = 100;  // 40 degrees of yaw
    input.mouse_y = -25;  // -10 degrees of pitch
    update_camera(camera, input);
    const double yaw = 100 * kRadiansPerStep, pitch = -25 * kRadiansPerStep;
    const double cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
    const double expected[16] = {cy, sy * sp, -sy * cp, 1.0, 0.0, cp, sp, 2.0,
                                 sy, -cy * sp, cy * cp, 3.0, 0.0, 0.0, 0.0, 1.0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(camera.orientation[i], expected[i], 1e-6) << "element " << i;
        const double rotation = (i % 4 == 3 && i != 15) ? 0.0 : expected[i];
        EXPECT_NEAR(camera.rotation[i], rotation, 1e-6) << "element " << i;
    }
}

TEST(FlyCamera, MotionTurnsWithTheCamera) {
    FlyCamera camera = at_rest();
    InputState input = {};
    input.mouse_x = 225;  // 90 degrees of yaw
    input.mouse_y = 75;   // 30 degrees of pitch
    input.forward = 1;
    input.strafe = -1;
    update_camera(camera, input);
    const double yaw = 225 * kRadiansPerStep, pitch = 75 * kRadiansPerStep;
    const double vx = -0.001, vz = -0.001;
    EXPECT_NEAR(camera.position[0], std::cos(yaw) * vx - std::sin(yaw) * std::cos(pitch) * vz, 1e-7);
    EXPECT_NEAR(camera.position[1], std::sin(pitch) * vz, 1e-7);
    EXPECT_NEAR(camera.position[2], std::sin(yaw) * vx + std::cos(yaw) * std::cos(pitch) * vz, 1e-7);
}
