#include "kit/archive/safe_extract.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

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

bool writeBelow(const std::string& directory, const std::vector<std::string>& components, const uint8_t* data,
                size_t size, std::string* error) {
    std::string path = directory.empty() ? "." : directory;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        path += "/" + components[i];
        struct stat info;
        if (lstat(path.c_str(), &info) == 0) {
            if (S_ISLNK(info.st_mode)) {
                *error = "refusing to follow the symbolic link " + path;
                return false;
            }
            if (!S_ISDIR(info.st_mode)) {
                *error = path + " exists and is not a directory";
                return false;
            }
        } else if (mkdir(path.c_str(), 0755) != 0) {
            *error = "cannot create " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    path += "/" + components.back();
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        *error = "refusing to write over the symbolic link " + path;
        return false;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        done += static_cast<size_t>(put);
    }
    if (close(fd) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
