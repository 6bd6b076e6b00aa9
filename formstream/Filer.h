#pragma once
// The buffered layers of the component stream: TReader decodes, TWriter
// encodes. Neither owns its stream; both move bytes through a buffer.
#include "formstream/Extended.h"
#include "formstream/Stream.h"
#include "formstream/ValueTag.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kep {

constexpr int32_t kFilerBufferSize = 4096;

class TFiler {
public:
    TFiler(TStream& stream, int32_t bufferSize);
    virtual ~TFiler();
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

protected:
    TStream& Stream;
    std::unique_ptr<uint8_t[]> Buffer;
    int32_t BufSize;
    int32_t BufPos = 0;
};

class TReader : public TFiler {
public:
    TReader(TStream& stream, int32_t bufferSize = kFilerBufferSize);
    // Moves the source stream back to just after the last byte consumed.
    ~TReader() override;

    void ReadRaw(void* destination, int32_t count);
    uint8_t PeekTag();
    uint8_t ReadTag();
    bool AtEndMarker();
    void ExpectTag(ValueTag tag);
    void ReadEndMarker();
    std::string ReadShortString();
    int32_t ReadInt32Value();
    int64_t ReadInt64Value();
    Extended ReadExtendedValue();
    float ReadSingleValue();
    int64_t ReadCurrencyValue(); // the raw amount times 10000
    double ReadDateValue();
    std::string ReadAnsiValue();
    std::u16string ReadWideValue();
    std::string ReadIdentValue();
    struct ObjectPrefix {
        uint8_t Flags = 0;
        int32_t ChildPosition = 0;
    };
    ObjectPrefix ReadObjectPrefix();
    void CheckSignature();

private:
    void Refill();
    int32_t BufEnd = 0;
};

class TWriter : public TFiler {
public:
    TWriter(TStream& stream, int32_t bufferSize = kFilerBufferSize);
    // Flushes best-effort; never throws. Call FlushOutput to see write errors.
    ~TWriter() override;

    void WriteRaw(const void* source, int32_t count);
    void FlushOutput();
    void PutSignature();
    void WriteTag(ValueTag tag);
    void WriteEndMarker();
    void WriteListOpen();
    void WriteShortString(const std::string& text);
    void WriteInt32Value(int32_t value);
    void WriteInt64Value(int64_t value);
    void WriteExtendedValue(Extended value);
    void WriteSingleValue(float value);
    void WriteCurrencyValue(int64_t raw);
    void WriteDateValue(double value);
    void WriteWideValue(const std::u16string& text);
    void WriteIdentValue(const std::string& name);
    void WriteObjectPrefix(uint8_t flags, int32_t position);
    // The producer fills a temporary byte stream; then tag 10, its count and bytes.
    void WriteBinaryValue(const std::function<void(TStream&)>& producer);
};

} // namespace kep
