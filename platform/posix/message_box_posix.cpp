// Message boxes without a window system: caption and text on standard error.
#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"

void platformMessageBox(const char* text, const char* caption, int icon) {
    (void)icon;
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

void platformExitProcess(int code) { std::exit(code); }
