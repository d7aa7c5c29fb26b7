#include "platform/posix/path_posix.h"

#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Looking a name up without regard to case means reading directories. The
// show opens many names that are not on disk (archive members), so listings
// are cached per directory (by device and inode, so a change of working
// directory cannot confuse them) and reread when the directory changes.
//
// A directory's change time has the granularity of the system's coarse clock,
// so a change made shortly after a listing was read may leave it unchanged. A
// listing is therefore trusted only when it was read at least two seconds
// after the directory's last change; any later change then gives a different
// time stamp.

namespace {

std::string lowerAscii(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// FNV-1a of the lowercase form of `length` bytes of `text`.
uint64_t lowerHash(const char* text, size_t length) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    return hash;
}

struct Listing {
    struct timespec changed;
    struct timespec scanned;
    std::unordered_set<std::string> names;
    // Hashes of the lowercase names: a name whose hash is missing is surely
    // not there, which answers most lookups without building any string.
    std::unordered_set<uint64_t> lowerHashes;
    std::unordered_map<std::string, std::string> byLowerName;  // the smallest of like names
};

using DirectoryKey = std::pair<dev_t, ino_t>;

std::map<DirectoryKey, std::shared_ptr<const Listing>>& listings() {
    static std::map<DirectoryKey, std::shared_ptr<const Listing>> cache;
    return cache;
}

// Directories already checked in the current batch of lookups, by path.
int batchDepth = 0;
std::map<std::string, std::shared_ptr<const Listing>>& checkedInBatch() {
    static std::map<std::string, std::shared_ptr<const Listing>> checked;
    return checked;
}

constexpr size_t kMaxCachedDirectories = 256;

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The change time moves with every change to the entries (and cannot be set
// back by anyone, unlike the modification time).
bool trusted(const Listing& listing, const struct stat& info) {
    return sameTime(listing.changed, info.st_ctim) && listing.scanned.tv_sec - 2 > info.st_ctim.tv_sec;
}

// The working directory is checked once per lookup: without a path to walk
// where the system allows it.
int statDirectory(const std::string& directory, const char* path, struct stat* info) {
#ifdef AT_EMPTY_PATH
    if (directory.empty()) return fstatat(AT_FDCWD, "", info, AT_EMPTY_PATH);
#endif
    return stat(path, info);
}

// The listing of `directory`, read again when it may have changed; null when
// it is not a readable directory.
std::shared_ptr<const Listing> readListing(const std::string& directory) {
    const char* path = directory.empty() ? "." : directory.c_str();
    struct stat info;
    if (statDirectory(directory, path, &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    DirectoryKey key(info.st_dev, info.st_ino);
    auto found = listings().find(key);
    if (found != listings().end() && trusted(*found->second, info)) return found->second;

    auto listing = std::make_unique<Listing>();
    clock_gettime(CLOCK_REALTIME, &listing->scanned);
    DIR* handle = opendir(path);
    if (!handle) return nullptr;
    while (struct dirent* entry = readdir(handle)) {
        std::string name(entry->d_name);
        if (name == "." || name == "..") continue;
        std::string lower = lowerAscii(name);
        auto like = listing->byLowerName.find(lower);
        if (like == listing->byLowerName.end()) {
            listing->byLowerName.emplace(lower, name);
        } else if (name < like->second) {
            like->second = name;
        }
        listing->lowerHashes.insert(lowerHash(name.data(), name.size()));
        listing->names.insert(std::move(name));
    }
    closedir(handle);
    listing->changed = info.st_ctim;
    if (listings().size() >= kMaxCachedDirectories) listings().clear();
    std::shared_ptr<const Listing> result = std::move(listing);
    listings()[key] = result;
    return result;
}

std::shared_ptr<const Listing> listDirectory(const std::string& directory) {
    if (batchDepth == 0) return readListing(directory);
    auto checked = checkedInBatch().find(directory);
    if (checked != checkedInBatch().end()) return checked->second;
    std::shared_ptr<const Listing> listing = readListing(directory);
    checkedInBatch()[directory] = listing;
    return listing;
}

// Whether the working directory's listing proves that a relative `name`
// cannot be opened: its first component is not there in any letter case.
// Names starting with '.' components, absolute names and names whose first
// component is the one to be created are left to the full resolution.
bool surelyAbsent(const char* name, bool forCreate) {
    size_t length = 0;
    while (name[length] && name[length] != '/' && name[length] != '\\') ++length;
    if (length == 0 || name[0] == '.' || (forCreate && !name[length])) return false;
    std::shared_ptr<const Listing> listing = listDirectory(std::string());
    return listing && !listing->lowerHashes.count(lowerHash(name, length));
}

}  // namespace

void platformBeginNameBatch() { ++batchDepth; }

void platformEndNameBatch() {
    if (batchDepth > 0 && --batchDepth == 0) checkedInBatch().clear();
}

std::string platformResolvePath(const char* name, bool forCreate) {
    if (name && surelyAbsent(name, forCreate)) return std::string();
    std::string path(name ? name : "");
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.empty()) return path;

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
        bool last = i + 1 == components.size();
        if (component.empty() || component == "." || component == "..") {
            if (!component.empty()) resolved += last ? component : component + "/";
            continue;
        }
        std::shared_ptr<const Listing> listing = listDirectory(resolved);
        // Not a directory we can read: let the system judge the name as given.
        if (!listing) return path;
        std::string match;
        if (listing->names.count(component)) {
            match = component;  // the exact name comes first
        } else {
            auto like = listing->byLowerName.find(lowerAscii(component));
            if (like != listing->byLowerName.end()) {
                match = like->second;
            } else if (last && forCreate) {
                match = component;  // a new file keeps its given name
            } else {
                return std::string();  // nothing of that name
            }
        }
        resolved += match;
        if (!last) resolved += "/";
    }
    return resolved;
}
