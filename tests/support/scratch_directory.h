#pragma once
// A fresh temporary directory that is the working directory while it lives,
// so the player and the kit find "data/..." in it exactly as in a show
// folder. Removed, and the previous directory restored, when it ends.
#include <cstdint>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    // Writes `bytes` to `name` inside the directory, making its parents.
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
    std::string previous_;
};
