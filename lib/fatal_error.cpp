#include "lib/fatal_error.h"

#include <cstdarg>
#include <cstdio>

#include "platform/message_box.h"

namespace {
// One buffer for the whole process: the report must not depend on the heap.
char fatalMessage[256];
}

void fatalError(const char* format, ...) {
    if (!format) format = "";
    // A leading tab marks an assertion report; the tab is not shown.
    if (*format == '\t') ++format;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(fatalMessage, sizeof fatalMessage, format, arguments);
    va_end(arguments);
    platformMessageBox(fatalMessage, "Fatal Error", MessageBoxIconError);
    platformExitProcess(kFatalExitCode);
}
