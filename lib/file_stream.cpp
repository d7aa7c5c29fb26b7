#include "lib/heap.h"
#include "lib/stream.h"


FileStream::FileStream() : handle_(static_cast<PlatformFileHandle*>(heapAlloc(sizeof(PlatformFileHandle)))) {
    if (handle_) *handle_ = kInvalidFileHandle;
}

FileStream::~FileStream() {
    FileStream::close();
    heapFree(handle_);
}

void FileStream::close() {
    if (handle_ && *handle_ != kInvalidFileHandle) {
        platformCloseFile(*handle_);
        *handle_ = kInvalidFileHandle;
    }
}

int32_t FileStream::open(const char* name, int32_t mode) {
    close();
    if (!handle_ || !name) return 0;
    int access = mode & 3;
    int dispositionBits = mode & 12;
    if (dispositionBits == 12) return 0;
    int disposition = dispositionBits == 4 ? PlatformCreateAlways
                      : dispositionBits == 8 ? PlatformOpenAlways
                                             : PlatformOpenExisting;
    *handle_ = platformOpenFile(name, access, disposition, PlatformShareRead);
    return *handle_ != kInvalidFileHandle ? 1 : 0;
}

int32_t FileStream::read(void* destination, int32_t count) {
    if (!handle_ || *handle_ == kInvalidFileHandle || !destination || count <= 0) return 0;
    return platformReadFile(*handle_, destination, count);
}

int32_t FileStream::write(const void* source, int32_t count) {
    if (!handle_ || *handle_ == kInvalidFileHandle || !source || count <= 0) return 0;
    return platformWriteFile(*handle_, source, count);
}

int32_t FileStream::seek(int32_t position) {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformSeekFile(*handle_, position, PlatformSeekBegin);
}

int32_t FileStream::seekRelative(int32_t offset) {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformSeekFile(*handle_, offset, PlatformSeekCurrent);
}

int32_t FileStream::seekFromEnd(int32_t offset) {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformSeekFile(*handle_, offset, PlatformSeekEnd);
}

int32_t FileStream::flush() {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformFlushFile(*handle_);
}

int32_t FileStream::tell() {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformSeekFile(*handle_, 0, PlatformSeekCurrent);
}

int32_t FileStream::size() {
    if (!handle_ || *handle_ == kInvalidFileHandle) return 0;
    return platformFileSize(*handle_);
}
