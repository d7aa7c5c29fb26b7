#pragma once
// Reading a loop sound from a RIFF WAVE file.
#include <cstdint>

// Loads `name` (through openFile): a RIFF WAVE file whose first chunk is the
// format chunk, 16-bit PCM stereo at 44100 Hz, followed by chunks up to the
// first "data" chunk. On success *samples holds *frames interleaved stereo
// frames (free with free_loop_samples). Anything else is refused with a
// message on stderr (a missing file quietly) and leaves both outputs empty.
bool load_wav_loop(const char* name, int16_t** samples, uint32_t* frames);

void free_loop_samples(int16_t* samples);
