// Message boxes and the end of the process on Windows.
#include <windows.h>

#include <cstdlib>

#include "platform/message_box.h"

void platformMessageBox(const char* text, const char* caption, int icon) {
    UINT style = icon == MessageBoxIconError ? MB_ICONERROR : icon == MessageBoxIconExclamation ? MB_ICONEXCLAMATION : 0;
    MessageBoxA(nullptr, text ? text : "", caption ? caption : "", style);
}

void platformExitProcess(int code) {
    // The C runtime's exit runs the registered handlers, then ExitProcess.
    exit(code);
}
