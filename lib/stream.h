#pragma once
// The polymorphic byte stream of the file system, and its file, memory and
// mapped-file classes. Positions and sizes are signed 32-bit byte counts;
// multi-byte values are the raw little-endian bytes. Failures are results.
#include <cstdint>

#include "platform/files.h"

class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // The fifty-one common operations, in slot order.
    virtual ~Stream();
    virtual void close() = 0;
    virtual int32_t read(void* destination, int32_t count) = 0;
    virtual int32_t write(const void* source, int32_t count) = 0;
    virtual int32_t seek(int32_t position) = 0;
    virtual int32_t seekRelative(int32_t offset);
    virtual int32_t seekFromEnd(int32_t offset);
    virtual int32_t flush();
    virtual int32_t tell() = 0;
    virtual int32_t size() = 0;
    virtual Stream* seekChained(int32_t position);
    virtual int32_t atEnd();
    virtual int32_t readExact(void* destination, int32_t count);
    virtual int32_t writeExact(const void* source, int32_t count);
    virtual int32_t copyFrom(Stream* source, int32_t count);
    virtual int32_t alignPosition(int32_t alignment);
    virtual int32_t padTo(int32_t alignment, uint8_t value);

    // The typed block: reader then writer, each one read or write call.
    virtual int32_t readInt();
    virtual int32_t writeInt(int32_t value);
    virtual uint32_t readUInt();
    virtual int32_t writeUInt(uint32_t value);
    virtual int32_t readLong();
    virtual int32_t writeLong(int32_t value);
    virtual char readChar();
    virtual int32_t writeChar(char value);
    virtual int16_t readShort();
    virtual int32_t writeShort(int16_t value);
    virtual uint8_t readUChar();
    virtual int32_t writeUChar(uint8_t value);
    virtual uint16_t readUShort();
    virtual int32_t writeUShort(uint16_t value);
    virtual uint32_t readULong();
    virtual int32_t writeULong(uint32_t value);
    virtual int64_t readInt64();
    virtual int32_t writeInt64(int64_t value);
    virtual uint8_t readU8();
    virtual int32_t writeU8(uint8_t value);
    virtual uint16_t readU16();
    virtual int32_t writeU16(uint16_t value);
    virtual uint32_t readU32();
    virtual int32_t writeU32(uint32_t value);
    virtual uint64_t readU64();
    virtual int32_t writeU64(uint64_t value);
    virtual float readFloat();
    virtual int32_t writeFloat(float value);
    virtual double readDouble();
    virtual int32_t writeDouble(double value);

    // Strings: capacity in characters including the terminating zero stored;
    // the result is the last character read.
    virtual uint16_t readWideString(uint16_t* buffer, int32_t capacity, uint16_t terminator);
    virtual char readString(char* buffer, int32_t capacity, char terminator);
    virtual int32_t writeWideString(const uint16_t* text);
    virtual int32_t writeString(const char* text);
};

// Access (bits 0-1): 0 read, 1 write, 2 read and write, 3 none.
// Disposition (bits 2-3): 0 existing file, 4 create or truncate, 8 open or create.
class FileStream : public Stream {
public:
    FileStream();
    ~FileStream() override;

    void close() override;
    int32_t read(void* destination, int32_t count) override;
    int32_t write(const void* source, int32_t count) override;
    int32_t seek(int32_t position) override;
    int32_t seekRelative(int32_t offset) override;
    int32_t seekFromEnd(int32_t offset) override;
    int32_t flush() override;
    int32_t tell() override;
    int32_t size() override;

    virtual int32_t open(const char* name, int32_t mode);

private:
    PlatformFileHandle* handle_;  // separately allocated cell
};

class MemoryStream : public Stream {
public:
    MemoryStream();
    MemoryStream(void* block, int32_t size, int32_t owned);
    ~MemoryStream() override;

    void close() override;
    int32_t read(void* destination, int32_t count) override;
    int32_t write(const void* source, int32_t count) override;
    int32_t seek(int32_t position) override;
    int32_t tell() override;
    int32_t size() override;

    virtual int32_t openResource(int32_t number);
    virtual int32_t loadFromStream(Stream* source, int32_t maximum);
    virtual int32_t attach(void* block, int32_t size, int32_t owned);
    virtual int32_t allocate(int32_t size);
    virtual void* detach();

    // The block and the current position (null when empty); for readers that
    // work on the bytes in place.
    uint8_t* data() const { return data_; }
    int32_t position() const { return position_; }
    int32_t isReadOnly() const { return readOnly_; }
    int32_t isOwned() const { return owned_; }

protected:
    uint8_t* data_;
    int32_t position_;
    int32_t size_;
    int32_t owned_;
    int32_t readOnly_;
};

// A read-only view of a whole file that no other opener may share while open.
class MappedFileStream : public MemoryStream {
public:
    MappedFileStream();
    explicit MappedFileStream(const char* name);
    ~MappedFileStream() override;

    void close() override;

    virtual int32_t openMapped(const char* name);

private:
    struct MappingPair {
        PlatformFileHandle file;
        PlatformMappingHandle mapping;
    };
    MappingPair* mapping_;
};
