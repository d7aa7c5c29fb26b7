#include "app/shell_platform.h"

#include "platform/message_box.h"
#include "platform/threads.h"

namespace {

const ShellPlatform kSystemPlatform = {
    platformMessageBox,  platformChangeDisplayMode, platformRestoreDisplayMode,
    platformShowCursor,  platformCreateWindow,      platformShowWindow,
    platformSwapBuffers, platformPeekEvent,         platformDispatchEvent,
    platformSleep,
};

ShellPlatform current = kSystemPlatform;

}  // namespace

const ShellPlatform& system_platform() { return kSystemPlatform; }

const ShellPlatform& shell_platform() { return current; }

void set_shell_platform(const ShellPlatform& platform) { current = platform; }
