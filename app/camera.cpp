#include "app/camera.h"

#include <cmath>
#include <new>

#include "app/input.h"

namespace {

constexpr float kDegreesPerMouseStep = 0.4f;
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kDamping = 0.95f;        // per frame, for an axis without input
constexpr float kAcceleration = 0.001f;  // per frame and unit of input

void damp(float& velocity, int32_t input) {
    if (input == 0) velocity *= kDamping;
}

}  // namespace

FlyCamera* create_camera() { return new (std::nothrow) FlyCamera(); }

void update_camera(FlyCamera& camera, const InputState& input) {
    float yaw = static_cast<float>(input.mouse_x) * kDegreesPerMouseStep * kRadiansPerDegree;
    float pitch = static_cast<float>(input.mouse_y) * kDegreesPerMouseStep * kRadiansPerDegree;
    float cy = std::cos(yaw), sy = std::sin(yaw);
    float cp = std::cos(pitch), sp = std::sin(pitch);
    const float rows[3][3] = {
        {cy, sy * sp, -sy * cp},
        {0.0f, cp, sp},
        {sy, -cy * sp, cy * cp},
    };
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            camera.orientation[row * 4 + column] = rows[row][column];
            camera.rotation[row * 4 + column] = rows[row][column];
        }
        camera.orientation[row * 4 + 3] = camera.position[row];
        camera.rotation[row * 4 + 3] = 0.0f;
        camera.orientation[12 + row] = 0.0f;
        camera.rotation[12 + row] = 0.0f;
    }
    camera.orientation[15] = 1.0f;
    camera.rotation[15] = 1.0f;

    damp(camera.velocity[0], input.strafe);
    damp(camera.velocity[1], input.vertical);
    damp(camera.velocity[2], input.forward);
    camera.velocity[0] += kAcceleration * static_cast<float>(input.strafe);
    camera.velocity[1] -= kAcceleration * static_cast<float>(input.vertical);
    camera.velocity[2] -= kAcceleration * static_cast<float>(input.forward);

    // Horizontal motion turns with the camera; vertical motion does not.
    const float vx = camera.velocity[0], vz = camera.velocity[2];
    for (int row = 0; row < 3; ++row) camera.position[row] += rows[row][0] * vx + rows[row][2] * vz;
    camera.position[1] += camera.velocity[1];
}
