#pragma once
// Byte streams: positions and sizes are 32-bit signed values, as in the
// buffers that every file of a document passes through.
#include <cstdint>
#include <string>

namespace kep {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Copies up to count bytes from the position; returns how many were copied.
    virtual int32_t Read(void* destination, int32_t count) = 0;
    // Writes count bytes at the position; returns how many were taken.
    virtual int32_t Write(const void* source, int32_t count) = 0;
    // Returns the new position.
    virtual int32_t Seek(int32_t offset, SeekOrigin origin) = 0;
    virtual int32_t GetSize();
    virtual void SetSize(int32_t newSize) = 0;

    int32_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int32_t position) { Seek(position, SeekOrigin::Beginning); }
    // Whole-count forms: "Stream read error" / "Stream write error" when short.
    void ReadBuffer(void* destination, int32_t count);
    void WriteBuffer(const void* source, int32_t count);
};

// A growable in-memory byte sequence.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    int32_t Read(void* destination, int32_t count) override;
    int32_t Write(const void* source, int32_t count) override;
    int32_t Seek(int32_t offset, SeekOrigin origin) override;
    int32_t GetSize() override { return size_; }
    void SetSize(int32_t newSize) override;

    void Clear();
    // Replaces the whole content with the file's bytes; the position becomes 0.
    void LoadFromFile(const std::string& path);
    // Creates the file, or empties an existing one, and writes the whole content.
    void SaveToFile(const std::string& path) const;

    uint8_t* Memory() { return data_; }
    const uint8_t* Memory() const { return data_; }

private:
    void SetCapacity(int64_t needed);

    uint8_t* data_ = nullptr;
    int32_t size_ = 0;
    int32_t position_ = 0;
    int32_t capacity_ = 0;
};

// A byte stream over an 8-bit string.
class TStringStream : public TStream {
public:
    TStringStream() = default;
    explicit TStringStream(std::string data) : data_(std::move(data)) {}

    int32_t Read(void* destination, int32_t count) override;
    int32_t Write(const void* source, int32_t count) override;
    int32_t Seek(int32_t offset, SeekOrigin origin) override;
    int32_t GetSize() override { return static_cast<int32_t>(data_.size()); }
    void SetSize(int32_t newSize) override;

    const std::string& DataString() const { return data_; }
    std::string TakeDataString() { position_ = 0; return std::move(data_); }

private:
    std::string data_;
    int32_t position_ = 0;
};

// The system's English text for an errno value, whatever the locale.
std::string SystemErrorText(int errorNumber);

} // namespace kep
