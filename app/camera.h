#pragma once
// A free-fly camera driven by the input record. Nothing the show draws
// depends on it; it follows the input every frame all the same.

struct InputState;

struct FlyCamera {
    float position[3];
    float velocity[3];
    float orientation[16];  // row-major; the position is the translation column
    float rotation[16];     // the same orientation without translation
};

// A camera at the origin at rest; null when out of memory.
FlyCamera* create_camera();

void update_camera(FlyCamera& camera, const InputState& input);
