#pragma once
// Runs the kit and the player as processes, as a person runs them from a shell.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

struct CommandResult {
    int status = -1;  // exit status; -1 when it did not exit
    std::string out, err;
};

// Runs `command` with /bin/sh and returns what it wrote on stdout and stderr.
CommandResult run_command(const std::string& command);

// A new directory under the system's temporary directory; empty on failure.
std::string make_temp_directory(const std::string& prefix);
// The names in `directory`, sorted.
std::vector<std::string> file_names(const std::string& directory);

struct PlayerRun {
    using Clock = std::chrono::steady_clock;
    int exit_status = -1;  // -1: killed, or it did not end in time
    Clock::time_point started, ended;
    std::vector<std::pair<Clock::time_point, std::string>> stderr_lines;

    double seconds() const { return std::chrono::duration<double>(ended - started).count(); }
    // Seconds from the first stderr line that contains `text` to the end; -1 when none does.
    double seconds_after(const std::string& text) const;
    // The start-up message boxes end with status 0 too; headless they show as "ERROR" lines.
    bool showed_message_box() const { return seconds_after("ERROR") >= 0.0; }
};

// Runs `program` in `directory` with `environment` ("NAME=value") added,
// recording each stderr line as it arrives; kills it after `timeout_seconds`.
PlayerRun run_player(const std::string& program, const std::string& directory,
                     const std::vector<std::string>& environment, double timeout_seconds);
