// The real program, display unset so that message boxes fall back to stderr.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "shell_fixture.h"

namespace {

// True once process `pid` runs the program and catches SIGTERM (SDL turns it
// into a quit request). Before the exec the child still carries its parent's
// handlers, so the program's name is checked first.
bool catches_terminate(pid_t pid) {
    const std::string process = "/proc/" + std::to_string(pid);
    std::ifstream command_line(process + "/cmdline"), status(process + "/status");
    std::string line;
    if (!std::getline(command_line, line, '\0') || line != "velandora") return false;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) return (std::strtoull(line.c_str() + 7, nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// Runs the program on `video_driver` in the working directory, asking it to
// close once it can; its exit status (-1 when it did not exit). Its stderr
// goes to a file there, which a pipe could not hold the whole of.
int run_velandora(const char* video_driver, bool close_window) {
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", video_driver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(VELANDORA_PROGRAM, "velandora", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Closed once the program handles the request (waiting about 20 s at most).
    for (int tries = 0; close_window && tries < 2000 && !catches_terminate(pid); ++tries) usleep(10000);
    if (close_window) kill(pid, SIGTERM);
    // A program that has not ended after about 30 s is killed.
    int status = 0;
    for (int tries = 0; waitpid(pid, &status, WNOHANG) != pid; ++tries) {
        if (tries == 3000) kill(pid, SIGKILL);
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Each start ends with status 0: with no display to switch, with a driver
// that has no OpenGL, and with a window that the system closes.
TEST(VelandoraProcess, EndsWithZeroAndTheMessageOfItsStart) {
    const struct { const char *driver, *message, *not_message; } rows[] = {
        {"no-such-driver", "ERROR: Program Will Now Close.", "Window Creation Error."},
        {"dummy", "ERROR: Window Creation Error.", "Program Will Now Close."},
        {"offscreen", "", "ERROR"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.driver);
        ShowDirectory directory;
        EXPECT_EQ(run_velandora(row.driver, row.message[0] == 0), 0);
        std::ifstream file("errors.txt");
        const std::string errors((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_NE(errors.find(row.message), std::string::npos) << errors;
        EXPECT_EQ(errors.find(row.not_message), std::string::npos) << errors;
        EXPECT_EQ(errors.find("Fatal Error"), std::string::npos) << errors;
    }
}
