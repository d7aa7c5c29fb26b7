#pragma once
// The demo show's music: a slow chord progression on soft pads, a plucked
// melody, a gentle bass and a bell at every picture change, with echo and
// reverb. Bars of 3 s begin 2.5 s in, so each picture slot gets two bars.
#include "kit/demo/audio_buffer.h"

// Seconds of music for a show of the given number of pictures.
double demo_music_seconds(int pictures);
StereoBuffer compose_demo_music(int pictures);

// The two loops the show mixes in: a quiet ambience and soft typing clicks.
// Both are seamless: the last frame flows into the first.
StereoBuffer make_idle_loop();
StereoBuffer make_active_loop();
