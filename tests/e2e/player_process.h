#pragma once
// Runs the real player as a process in a show directory and records what it
// wrote on stderr, each line with the moment it arrived.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

struct PlayerRun {
    using Clock = std::chrono::steady_clock;
    int exit_status = -1;  // -1: killed, or it did not end in time
    Clock::time_point started, ended;
    std::vector<std::pair<Clock::time_point, std::string>> stderr_lines;

    double seconds() const { return std::chrono::duration<double>(ended - started).count(); }
    // Seconds from the first stderr line that contains `text` to the end; -1 when none does.
    double seconds_after(const std::string& text) const;
    bool printed(const std::string& text) const;
};

// Runs `program` with its working directory `directory` and the environment
// variables `environment` ("NAME=value") added; kills it after `timeout_seconds`.
PlayerRun run_player(const std::string& program, const std::string& directory,
                     const std::vector<std::string>& environment, double timeout_seconds);
