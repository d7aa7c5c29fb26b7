#include "platform/posix/path_posix.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// The entry of `directory` equal to `component` without regard to case; the
// smallest such name when several differ only in case; empty when none.
std::string findCaseless(const std::string& directory, const std::string& component) {
    std::string found;
    DIR* handle = opendir(directory.empty() ? "." : directory.c_str());
    if (!handle) return found;
    while (struct dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, component.c_str()) == 0 && (found.empty() || found > entry->d_name)) {
            found = entry->d_name;
        }
    }
    closedir(handle);
    return found;
}

}  // namespace

std::string platformResolvePath(const char* name, bool forCreate) {
    std::string path(name ? name : "");
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.empty() || exists(path)) return path;

    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::string resolved = path[0] == '/' ? "/" : "";
    for (size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        if (component.empty() || component == "." || component == "..") {
            if (!component.empty()) resolved += component + "/";
            continue;
        }
        std::string candidate = resolved + component;
        if (!exists(candidate)) {
            std::string match = findCaseless(resolved, component);
            if (match.empty()) {
                // A new file keeps its given name in the matched directory;
                // otherwise the system reports the missing name.
                bool last = i + 1 == components.size();
                return last && forCreate ? candidate : path;
            }
            candidate = resolved + match;
        }
        resolved = candidate;
        if (i + 1 < components.size()) resolved += "/";
    }
    return resolved;
}
