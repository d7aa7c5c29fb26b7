#pragma once
// OpenGL 1.1 declarations for the shell and the show.
#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
