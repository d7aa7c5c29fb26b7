#pragma once
// Where the benchmarks find the test photographs that scripts/fetch-test-photos.sh
// puts into the build tree.
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

const char* const kBenchPhotos[] = {"astronaut.png", "coffee.png",   "chelsea.png", "motorcycle_left.png",
                                    "rocket.jpg",    "hubble_deep_field.jpg"};

inline bool hasBenchPhotos(const std::string& directory) {
    for (const char* name : kBenchPhotos)
        if (!std::ifstream(directory + "/" + name)) return false;
    return true;
}

// The photo directory: $VEL_TEST_DATA_DIR/photos, the build tree beside the
// benchmark, or the usual build directories; "" when none has every photo.
inline std::string findBenchPhotos() {
    std::vector<std::string> candidates;
    if (const char* root = std::getenv("VEL_TEST_DATA_DIR")) candidates.push_back(std::string(root) + "/photos");
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0) {
        std::string directory(exe, size_t(length));
        directory = directory.substr(0, directory.find_last_of('/'));
        candidates.push_back(directory + "/../testdata/photos");
    }
    candidates.push_back("build/testdata/photos");
    candidates.push_back("testdata/photos");
    for (const std::string& candidate : candidates)
        if (hasBenchPhotos(candidate)) return candidate;
    return "";
}
