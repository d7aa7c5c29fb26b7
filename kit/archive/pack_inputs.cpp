#include "kit/archive/pack_inputs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

// The member name of `file`: its path below `root`, '/' separated.
std::string memberName(const fs::path& file, const fs::path& root) {
    fs::path relative = fs::weakly_canonical(file).lexically_relative(root);
    std::string name = relative.generic_string();
    if (relative.empty() || name == "." || name.rfind("..", 0) == 0) {
        throw std::runtime_error(file.string() + " is not below the root " + root.string());
    }
    return name;
}

void addFile(const fs::path& file, const fs::path& root, std::vector<LccMember>& members,
             std::set<std::string>& seen) {
    LccMember member{memberName(file, root), readFile(file)};
    if (!seen.insert(lowerAscii(member.name)).second) {
        throw std::runtime_error("two members named " + member.name + " (letter case aside)");
    }
    members.push_back(std::move(member));
}

}  // namespace

std::vector<LccMember> collectPackInputs(const std::vector<std::string>& paths, const std::string& rootText,
                                         const std::string& output) {
    fs::path root = fs::weakly_canonical(fs::absolute(rootText.empty() ? fs::path(".") : fs::path(rootText)));
    fs::path skipped = fs::weakly_canonical(fs::absolute(output));
    auto wanted = [&](const fs::path& file) { return fs::weakly_canonical(fs::absolute(file)) != skipped; };
    std::vector<LccMember> members;
    std::set<std::string> seen;
    for (const std::string& text : paths) {
        fs::path path(text);
        // Relative paths are relative to the root, as member names are.
        if (path.is_relative() && !fs::exists(path) && fs::exists(root / path)) path = root / path;
        std::error_code error;
        fs::file_status status = fs::status(path, error);
        if (error || !fs::exists(status)) throw std::runtime_error("no such file: " + text);
        if (fs::is_directory(status)) {
            std::vector<fs::path> files;
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
                if (entry.is_regular_file() && wanted(entry.path())) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& file : files) addFile(file, root, members, seen);
        } else if (fs::is_regular_file(status)) {
            if (wanted(path)) addFile(path, root, members, seen);
        } else {
            throw std::runtime_error("not a regular file: " + text);
        }
    }
    return members;
}
