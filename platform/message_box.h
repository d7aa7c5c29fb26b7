#pragma once
// Message boxes and the end of the process.

enum MessageBoxIcon { MessageBoxIconNone = 0, MessageBoxIconError = 1, MessageBoxIconExclamation = 2 };

// Shows `text` under `caption` and waits until it is dismissed (where a user can).
void platformMessageBox(const char* text, const char* caption, int icon);

// Ends the process with `code`; registered exit handlers run.
[[noreturn]] void platformExitProcess(int code);
