// Replays a fuzz corpus outside libFuzzer: every file of the directories named
// on the command line goes once through the harness, in name order. A harness
// that aborts, or a sanitizer build that finds a fault, fails the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
// LeakSanitizer's switch, present only in a sanitizer build.
extern "C" __attribute__((weak)) void __lsan_disable();

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], error))
            if (entry.is_regular_file()) inputs.push_back(fs::absolute(entry.path()));
        if (error) {
            std::fprintf(stderr, "fuzz replay: cannot read %s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "fuzz replay: no inputs\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    // Where a harness reaches the fatal report, the player leaves its memory
    // to the process exit, as the fuzzing runs do for these harnesses.
    if (std::getenv("VEL_FUZZ_IGNORE_LEAKS") && __lsan_disable) __lsan_disable();
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("fuzz replay: %zu inputs\n", inputs.size());
    return 0;
}
