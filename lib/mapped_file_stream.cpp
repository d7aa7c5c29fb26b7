#include "lib/heap.h"
#include "lib/stream.h"

MappedFileStream::MappedFileStream() : mapping_(nullptr) { readOnly_ = 1; }

MappedFileStream::MappedFileStream(const char* name) : MappedFileStream() { openMapped(name); }

MappedFileStream::~MappedFileStream() { MappedFileStream::close(); }

int32_t MappedFileStream::openMapped(const char* name) {
    if (mapping_) close();
    mapping_ = static_cast<MappingPair*>(heapAlloc(sizeof(MappingPair)));
    if (!mapping_) return 0;
    mapping_->file = kInvalidFileHandle;
    mapping_->mapping = 0;
    if (!name) return 0;
    // Read-only and not shared with any other opener while the view lives.
    PlatformFileHandle file = platformOpenFile(name, PlatformAccessRead, PlatformOpenExisting, PlatformShareNone);
    if (file == kInvalidFileHandle) return 0;
    mapping_->file = file;
    mapping_->mapping = platformCreateMapping(file);
    const void* view = mapping_->mapping ? platformMapView(mapping_->mapping) : nullptr;
    data_ = static_cast<uint8_t*>(const_cast<void*>(view));
    // The view's own size: the file may have grown since it was mapped.
    int32_t bytes = mapping_->mapping ? platformMappingSize(mapping_->mapping) : 0;
    // Without a view there is nothing to read: the stream is empty.
    size_ = view && bytes > 0 ? bytes : 0;
    position_ = 0;
    owned_ = 0;
    readOnly_ = 1;
    return 1;
}

void MappedFileStream::close() {
    if (mapping_) {
        if (data_) platformUnmapView(mapping_->mapping, data_);
        if (mapping_->mapping) platformCloseMapping(mapping_->mapping);
        if (mapping_->file != kInvalidFileHandle) platformCloseFile(mapping_->file);
        heapFree(mapping_);
        mapping_ = nullptr;
        data_ = nullptr;
    } else {
        // Not mapped: the block came from the memory-stream operations.
        MemoryStream::close();
    }
}
