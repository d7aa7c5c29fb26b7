// The real program: the two start-up failures with their messages and exit
// status, and a window that the system closes. Message boxes fall back to
// standard error where no display can show one, so the display is unset.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "show_directory.h"

namespace {

struct Outcome {
    bool exited = false;
    int status = -1;
    std::string errors;
};

// True once process `pid` runs the program and catches SIGTERM (SDL turns it
// into a quit request). Before the exec the child still carries its parent's
// handlers, so the program's name is checked first.
bool catches_terminate(pid_t pid) {
    const std::string process = "/proc/" + std::to_string(pid);
    std::ifstream command_line(process + "/cmdline");
    std::string name;
    std::getline(command_line, name, '\0');
    if (name != "velandora") return false;
    std::ifstream status(process + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (mask >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

// Waits for the child; one that has not ended after about 30 s is killed.
int wait_for(pid_t pid) {
    int status = 0;
    for (int tries = 0; tries < 3000; ++tries) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

Outcome run_velandora(const char* video_driver, bool close_window) {
    Outcome outcome;
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return outcome;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_ends[1], 2);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", video_driver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(VELANDORA_PROGRAM, "velandora", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_ends[1]);
    if (close_window) {
        // Wait until the program handles the request (bounded: about 20 s).
        for (int tries = 0; tries < 2000 && !catches_terminate(pid); ++tries) usleep(10000);
        kill(pid, SIGTERM);
    }
    int status = wait_for(pid);
    char buffer[256];
    ssize_t got;
    while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) outcome.errors.append(buffer, size_t(got));
    close(pipe_ends[0]);
    outcome.exited = WIFEXITED(status);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

}  // namespace

TEST(VelandoraProcess, NoDisplayToSwitchShowsProgramWillNowClose) {
    ShowDirectory directory;
    Outcome outcome = run_velandora("no-such-driver", false);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.errors.find("ERROR: Program Will Now Close."), std::string::npos) << outcome.errors;
    EXPECT_EQ(outcome.errors.find("Window Creation Error."), std::string::npos);
}

TEST(VelandoraProcess, DriverWithoutOpenGlShowsWindowCreationError) {
    ShowDirectory directory;
    Outcome outcome = run_velandora("dummy", false);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.errors.find("ERROR: Window Creation Error."), std::string::npos) << outcome.errors;
}

TEST(VelandoraProcess, OpensItsWindowAndEndsWithZeroWhenClosed) {
    ShowDirectory directory;
    Outcome outcome = run_velandora("offscreen", true);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.errors.find("ERROR"), std::string::npos) << outcome.errors;
    EXPECT_EQ(outcome.errors.find("Fatal Error"), std::string::npos) << outcome.errors;
}
