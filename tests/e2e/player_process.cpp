#include "player_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

double PlayerRun::seconds_after(const std::string& text) const {
    for (const auto& line : stderr_lines)
        if (line.second.find(text) != std::string::npos)
            return std::chrono::duration<double>(ended - line.first).count();
    return -1.0;
}

bool PlayerRun::printed(const std::string& text) const { return seconds_after(text) >= 0.0; }

PlayerRun run_player(const std::string& program, const std::string& directory,
                     const std::vector<std::string>& environment, double timeout_seconds) {
    PlayerRun run;
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return run;
    run.started = PlayerRun::Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDERR_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        if (chdir(directory.c_str()) != 0) _exit(127);
        for (const std::string& variable : environment) putenv(strdup(variable.c_str()));
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_ends[1]);
    const auto deadline = run.started + std::chrono::duration_cast<PlayerRun::Clock::duration>(
                                            std::chrono::duration<double>(timeout_seconds));
    std::string pending;
    bool open = child > 0;
    while (open) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - PlayerRun::Clock::now());
        if (left.count() <= 0) break;
        pollfd watch = {pipe_ends[0], POLLIN, 0};
        if (poll(&watch, 1, int(left.count())) <= 0) continue;
        char bytes[512];
        const ssize_t got = read(pipe_ends[0], bytes, sizeof bytes);
        if (got <= 0) break;  // the player closed stderr: it has ended
        const auto now = PlayerRun::Clock::now();
        pending.append(bytes, size_t(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            run.stderr_lines.emplace_back(now, pending.substr(0, end));
    }
    close(pipe_ends[0]);
    // The pipe closes when the player ends; past the deadline it is ended.
    int status = 0;
    if (child > 0) {
        if (PlayerRun::Clock::now() >= deadline) kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    run.ended = PlayerRun::Clock::now();
    if (!pending.empty()) run.stderr_lines.emplace_back(run.ended, pending);
    if (status != -1 && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    return run;
}
