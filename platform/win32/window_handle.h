#pragma once
// The Win32 handle behind a platform window, for the other Win32 services
// (sound and input cooperate with the window).
#include <windows.h>

struct PlatformWindow;

// Null for a null window.
HWND win32WindowHandle(PlatformWindow* window);
