// Velandora: plays the show found in the working directory. It takes no
// arguments and reads no configuration.
#include "app/shell.h"

#if defined(_WIN32)
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show_command) {
    return win_main(system_platform(), show_command);
}
#else
int main() { return win_main(system_platform()); }
#endif
