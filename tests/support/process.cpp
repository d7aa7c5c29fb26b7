#include "tests/support/process.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string make_temp_directory(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

std::vector<std::string> file_names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult run_command(const std::string& command) {
    CommandResult result;
    const std::string directory = make_temp_directory("vel_command");
    if (directory.empty()) return result;
    const std::string out = directory + "/out", err = directory + "/err";
    const int status = std::system(("(" + command + ") >'" + out + "' 2>'" + err + "'").c_str());
    if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = slurp(out);
    result.err = slurp(err);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return result;
}

double PlayerRun::seconds_after(const std::string& text) const {
    for (const auto& line : stderr_lines)
        if (line.second.find(text) != std::string::npos)
            return std::chrono::duration<double>(ended - line.first).count();
    return -1.0;
}

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
    // Past the deadline the player is killed.
    int status = 0;
    if (child > 0) {
        if (PlayerRun::Clock::now() >= deadline) kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    run.ended = PlayerRun::Clock::now();
    if (!pending.empty()) run.stderr_lines.emplace_back(run.ended, pending);
    if (child > 0 && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    return run;
}
