#pragma once
// The show clock of an export. The player's clock is the count of music bytes
// played (16-bit stereo at 44100 Hz, 4 bytes a frame); video frame f is shown
// at sample frame (f x 44100) / fps of the music, and the sound that goes with
// it is the music's sample frames from there to the next video frame.
//
// The sound is computed the way the player writes it: the player's ring holds
// 16384 bytes (4096 sample frames), written in 32-byte (8-frame) steps just
// behind the play cursor, so what it writes now is heard one ring later. The
// loop targets that the show sets while drawing a frame therefore apply to
// the music from one ring after that frame's time on; an export makes one
// refill per video frame, up to where the cursor stands when the next frame
// is drawn.
#include <cstdint>

constexpr int32_t kExportSampleRate = 44100;
constexpr int64_t kRingFrames = 4096;      // 16384 bytes of 16-bit stereo
constexpr int64_t kRefillStepFrames = 8;   // the refills' 32-byte steps
constexpr int64_t kRefillMostFrames = 4096;  // the most one refill renders

// The music sample frame at which video frame `frame` is shown.
inline int64_t frame_sample(int64_t frame, int32_t fps) { return frame * kExportSampleRate / fps; }

// The music bytes played at that moment, as the player's clock counts them.
inline int32_t frame_clock_bytes(int64_t frame, int32_t fps) { return int32_t(frame_sample(frame, fps) * 4); }

// How far the player has rendered the music when its play cursor is at
// sample frame `played`: one ring ahead, in whole refill steps.
inline int64_t rendered_by(int64_t played) { return played / kRefillStepFrames * kRefillStepFrames + kRingFrames; }
