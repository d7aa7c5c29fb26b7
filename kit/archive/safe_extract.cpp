#include "kit/archive/safe_extract.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::vector<std::string> safeMemberPath(const std::string& name, std::string* error) {
    std::vector<std::string> components;
    if (name.empty()) {
        *error = "empty member name";
        return {};
    }
    if (name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':')) {
        *error = "absolute member name " + name;
        return {};
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string component = name.substr(start, end - start);
        if (component == "..") {
            *error = "member name with '..': " + name;
            return {};
        }
        if (!component.empty() && component != ".") components.push_back(component);
        start = end + 1;
    }
    if (components.empty()) *error = "member name without a file: " + name;
    return components;
}

namespace {

bool writeFile(const fs::path& path, const uint8_t* data, size_t size, std::string* error) {
#ifndef _WIN32
    // O_NOFOLLOW: a link put in place after the check is refused too.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot write " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    if (close(fd) != 0 || done != size) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
#else
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
#endif
}

}  // namespace

bool writeBelow(const std::string& directory, const std::vector<std::string>& components, const uint8_t* data,
                size_t size, std::string* error) {
    fs::path path = directory.empty() ? fs::path(".") : fs::path(directory);
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        path /= components[i];
        std::error_code code;
        fs::file_status status = fs::symlink_status(path, code);
        if (fs::is_symlink(status)) {
            *error = "refusing to follow the symbolic link " + path.string();
            return false;
        }
        if (fs::exists(status)) {
            if (!fs::is_directory(status)) {
                *error = path.string() + " exists and is not a directory";
                return false;
            }
        } else if (!fs::create_directory(path, code) || code) {
            *error = "cannot create " + path.string() + ": " + code.message();
            return false;
        }
    }
    path /= components.back();
    std::error_code code;
    if (fs::is_symlink(fs::symlink_status(path, code))) {
        *error = "refusing to write over the symbolic link " + path.string();
        return false;
    }
    return writeFile(path, data, size, error);
}
