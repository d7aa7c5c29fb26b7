#pragma once
// The one fatal report: a message box captioned "Fatal Error", then exit 666.

// printf-style; the message is cut to 255 characters. A format that starts with
// a tab is an assertion report and the tab is not shown.
[[noreturn]] void fatalError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The format of assertion reports: source path, line, failed expression.
constexpr const char* kAssertionFormat = "\t%s(%d) : Assertion failed!\nExpression: %s\n";

// The exit code of a fatal report.
constexpr int kFatalExitCode = 666;
