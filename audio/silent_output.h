#pragma once
// A sound output for machines that have none: its stream buffer plays nothing,
// but its play cursor advances with the system's monotonic clock exactly as a
// device would, 176400 bytes a second, so the show keeps its timing in silence.
#include "platform/sound.h"

// A device whose stream buffers run on the monotonic clock. The caller deletes it.
SoundDevice* create_silent_output();

// The bytes a device playing `bytes_per_second` has played after `nanoseconds`,
// exact for any run a machine can have (no overflow after a day or a year).
uint64_t silent_bytes_played(uint64_t nanoseconds, uint32_t bytes_per_second);
