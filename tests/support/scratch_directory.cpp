#include "tests/support/scratch_directory.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "vel_test_XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    path_ = made ? made : pattern;
    previous_ = fs::current_path().string();
    fs::current_path(path_);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

void ScratchDirectory::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const fs::path file = fs::path(path_) / name;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void ScratchDirectory::write(const std::string& name, const std::string& bytes) const {
    write(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}
