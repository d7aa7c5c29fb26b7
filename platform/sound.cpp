#include "platform/sound.h"

SoundBuffer::~SoundBuffer() {}

SoundDevice::~SoundDevice() {}
