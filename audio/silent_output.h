#pragma once
// A sound output for machines that have none: its stream buffer plays nothing,
// but its play cursor advances with the system's monotonic clock exactly as a
// device would, 176400 bytes a second, so the show keeps its timing in silence.
#include "platform/sound.h"

// A device whose stream buffers run on the monotonic clock. The caller deletes it.
SoundDevice* create_silent_output();
