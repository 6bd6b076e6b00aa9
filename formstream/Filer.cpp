#include "formstream/Filer.h"

#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"

#include <algorithm>
#include <cstring>

namespace kep {

namespace {

const char kReadError[] = "Stream read error";
const char kWriteError[] = "Stream write error";
const char kInvalidValue[] = "Invalid property value";

// Large payloads are read in steps of this size, so that a count that claims
// more data than there is never allocates more than the data really present.
constexpr int64_t kPayloadStep = 1 << 20;

template <typename T>
T LoadLittleEndian(const uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Decodes the UTF-8 payload of a tag 20 value. A malformed payload is no
// error: it decodes as the empty text.
std::u16string DecodeUtf8(const std::string& payload) {
    std::u16string text;
    text.reserve(payload.size());
    auto bytes = reinterpret_cast<const uint8_t*>(payload.data());
    size_t length = payload.size();
    size_t i = 0;
    while (i < length) {
        uint8_t b0 = bytes[i];
        if (b0 < 0x80) {
            text.push_back(b0);
            ++i;
            continue;
        }
        if (i + 1 >= length) return {};
        uint8_t b1 = bytes[i + 1];
        if (b0 & 0x20) {
            if (i + 2 >= length) return {};
            uint8_t b2 = bytes[i + 2];
            if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return {};
            text.push_back(static_cast<char16_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F)));
            i += 3;
        } else {
            if ((b1 & 0xC0) != 0x80) return {};
            text.push_back(static_cast<char16_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F)));
            i += 2;
        }
    }
    return text;
}

// Each code unit on its own: one, two or three bytes; surrogates are not paired.
std::string EncodeUtf8(const std::u16string& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t unit : text) {
        if (unit < 0x80) {
            bytes.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (unit >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xE0 | (unit >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return bytes;
}

bool SameIdentifier(const std::string& name, const char* keyword) {
    size_t length = std::strlen(keyword);
    if (name.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = name[i];
        char b = keyword[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

} // namespace

// ---- TFiler

TFiler::TFiler(TStream& stream, int32_t bufferSize)
    : Stream(stream), Buffer(new uint8_t[static_cast<size_t>(std::max(bufferSize, 1))]),
      BufSize(std::max(bufferSize, 1)) {}

TFiler::~TFiler() = default;

// ---- TReader

TReader::TReader(TStream& stream, int32_t bufferSize) : TFiler(stream, bufferSize) {}

TReader::~TReader() {
    if (BufPos < BufEnd) {
        try {
            Stream.Seek(BufPos - BufEnd, SeekOrigin::Current);
        } catch (...) {
            // A destructor never throws; the stream stays where it is.
        }
    }
}

void TReader::Refill() {
    BufPos = 0;
    BufEnd = 0;
    int32_t got = Stream.Read(Buffer.get(), BufSize);
    if (got <= 0) throw EReadError(kReadError);
    BufEnd = std::min(got, BufSize);
}

void TReader::ReadRaw(void* destination, int32_t count) {
    auto out = static_cast<uint8_t*>(destination);
    while (count > 0) {
        if (BufPos == BufEnd) Refill();
        int32_t step = std::min(count, BufEnd - BufPos);
        std::memcpy(out, Buffer.get() + BufPos, static_cast<size_t>(step));
        BufPos += step;
        out += step;
        count -= step;
    }
}

uint8_t TReader::PeekTag() {
    if (BufPos == BufEnd) Refill();
    return Buffer[BufPos];
}

uint8_t TReader::ReadTag() {
    if (BufPos == BufEnd) Refill();
    return Buffer[BufPos++];
}

bool TReader::AtEndMarker() { return PeekTag() == 0; }

void TReader::ExpectTag(ValueTag tag) {
    if (ReadTag() != static_cast<uint8_t>(tag)) throw EReadError(kInvalidValue);
}

void TReader::ReadEndMarker() { ExpectTag(ValueTag::Null); }

std::string TReader::ReadShortString() {
    uint8_t length = ReadTag();
    std::string text(length, '\0');
    ReadRaw(text.data(), length);
    return text;
}

int32_t TReader::ReadInt32Value() {
    switch (ReadTag()) {
    case static_cast<uint8_t>(ValueTag::Int8): {
        int8_t v;
        ReadRaw(&v, 1);
        return v;
    }
    case static_cast<uint8_t>(ValueTag::Int16): {
        uint8_t bytes[2];
        ReadRaw(bytes, 2);
        return LoadLittleEndian<int16_t>(bytes);
    }
    case static_cast<uint8_t>(ValueTag::Int32): {
        uint8_t bytes[4];
        ReadRaw(bytes, 4);
        return LoadLittleEndian<int32_t>(bytes);
    }
    default:
        throw EReadError(kInvalidValue);
    }
}

int64_t TReader::ReadInt64Value() {
    if (PeekTag() != static_cast<uint8_t>(ValueTag::Int64)) return ReadInt32Value();
    ReadTag();
    uint8_t bytes[8];
    ReadRaw(bytes, 8);
    return LoadLittleEndian<int64_t>(bytes);
}

Extended TReader::ReadExtendedValue() {
    ExpectTag(ValueTag::Extended);
    uint8_t bytes[10];
    ReadRaw(bytes, 10);
    return ExtendedFromBytes(bytes);
}

float TReader::ReadSingleValue() {
    ExpectTag(ValueTag::Single);
    uint8_t bytes[4];
    ReadRaw(bytes, 4);
    return LoadLittleEndian<float>(bytes);
}

int64_t TReader::ReadCurrencyValue() {
    ExpectTag(ValueTag::Currency);
    uint8_t bytes[8];
    ReadRaw(bytes, 8);
    return LoadLittleEndian<int64_t>(bytes);
}

double TReader::ReadDateValue() {
    ExpectTag(ValueTag::Date);
    uint8_t bytes[8];
    ReadRaw(bytes, 8);
    return LoadLittleEndian<double>(bytes);
}

namespace {

// Reads a counted payload of count units of unitSize bytes into text, in
// bounded steps. A negative count is refused; one that claims more than the
// source holds fails with "Stream read error" when the data runs out.
template <typename String>
void ReadCountedPayload(TReader& reader, int32_t count, String& text) {
    if (count < 0) throw EReadError(kReadError);
    constexpr int64_t unitSize = sizeof(typename String::value_type);
    int64_t remaining = count;
    int64_t stepUnits = kPayloadStep / unitSize;
    text.clear();
    while (remaining > 0) {
        int64_t step = std::min(remaining, stepUnits);
        size_t done = text.size();
        text.resize(done + static_cast<size_t>(step));
        reader.ReadRaw(text.data() + done, static_cast<int32_t>(step * unitSize));
        remaining -= step;
    }
}

int32_t ReadCount(TReader& reader) {
    uint8_t bytes[4];
    reader.ReadRaw(bytes, 4);
    return LoadLittleEndian<int32_t>(bytes);
}

} // namespace

std::string TReader::ReadAnsiValue() {
    std::string text;
    switch (ReadTag()) {
    case static_cast<uint8_t>(ValueTag::String): {
        uint8_t length = ReadTag();
        text.resize(length);
        ReadRaw(text.data(), length);
        return text;
    }
    case static_cast<uint8_t>(ValueTag::LString):
        ReadCountedPayload(*this, ReadCount(*this), text);
        return text;
    default:
        throw EReadError(kInvalidValue);
    }
}

std::u16string TReader::ReadWideValue() {
    switch (ReadTag()) {
    case static_cast<uint8_t>(ValueTag::WString): {
        std::u16string text;
        ReadCountedPayload(*this, ReadCount(*this), text); // the host is little-endian
        return text;
    }
    case static_cast<uint8_t>(ValueTag::Utf8String): {
        std::string payload;
        ReadCountedPayload(*this, ReadCount(*this), payload);
        return DecodeUtf8(payload);
    }
    default:
        throw EReadError(kInvalidValue);
    }
}

std::string TReader::ReadIdentValue() {
    switch (ReadTag()) {
    case static_cast<uint8_t>(ValueTag::Ident):
        return ReadShortString();
    case static_cast<uint8_t>(ValueTag::False):
        return "False";
    case static_cast<uint8_t>(ValueTag::True):
        return "True";
    case static_cast<uint8_t>(ValueTag::Nil):
        return "nil";
    case static_cast<uint8_t>(ValueTag::Null):
        return "Null";
    default:
        throw EReadError(kInvalidValue);
    }
}

TReader::ObjectPrefix TReader::ReadObjectPrefix() {
    ObjectPrefix prefix;
    if (PeekTag() < 0xF0) return prefix;
    prefix.Flags = ReadTag() & 0x0F;
    if (prefix.Flags & ObjectFlag::ChildPosition) prefix.ChildPosition = ReadInt32Value();
    return prefix;
}

void TReader::CheckSignature() {
    char signature[4];
    ReadRaw(signature, 4);
    if (std::memcmp(signature, "TPF0", 4) != 0) throw EReadError("Invalid stream format");
}

// ---- TWriter

TWriter::TWriter(TStream& stream, int32_t bufferSize) : TFiler(stream, bufferSize) {}

TWriter::~TWriter() {
    try {
        FlushOutput();
    } catch (...) {
        // A destructor never throws; what the stream refused is lost.
    }
}

void TWriter::FlushOutput() {
    int32_t count = BufPos;
    if (count == 0) return;
    // The buffer is emptied before the write, so that a failed write is not
    // offered again (and partly duplicated) by the destructor's flush.
    BufPos = 0;
    if (Stream.Write(Buffer.get(), count) != count) throw EWriteError(kWriteError);
}

void TWriter::WriteRaw(const void* source, int32_t count) {
    auto in = static_cast<const uint8_t*>(source);
    while (count > 0) {
        int32_t step = std::min(count, BufSize - BufPos);
        std::memcpy(Buffer.get() + BufPos, in, static_cast<size_t>(step));
        BufPos += step;
        in += step;
        count -= step;
        if (BufPos == BufSize) FlushOutput();
    }
}

void TWriter::PutSignature() { WriteRaw("TPF0", 4); }

void TWriter::WriteTag(ValueTag tag) {
    uint8_t byte = static_cast<uint8_t>(tag);
    WriteRaw(&byte, 1);
}

void TWriter::WriteEndMarker() { WriteTag(ValueTag::Null); }

void TWriter::WriteListOpen() { WriteTag(ValueTag::List); }

void TWriter::WriteShortString(const std::string& text) {
    uint8_t length = static_cast<uint8_t>(std::min<size_t>(text.size(), 255));
    WriteRaw(&length, 1);
    WriteRaw(text.data(), length);
}

namespace {

// Counts are signed 32-bit numbers; a payload beyond that cannot be stored.
void WriteCount(TWriter& writer, size_t count) {
    if (count > static_cast<size_t>(INT32_MAX)) throw EWriteError(kWriteError);
    int32_t value = static_cast<int32_t>(count);
    writer.WriteRaw(&value, 4);
}

void WriteLarge(TWriter& writer, const void* source, size_t count) {
    auto in = static_cast<const uint8_t*>(source);
    while (count > 0) {
        size_t step = std::min<size_t>(count, size_t{1} << 30);
        writer.WriteRaw(in, static_cast<int32_t>(step));
        in += step;
        count -= step;
    }
}

} // namespace

void TWriter::WriteInt32Value(int32_t value) {
    if (value >= -128 && value <= 127) {
        WriteTag(ValueTag::Int8);
        int8_t v = static_cast<int8_t>(value);
        WriteRaw(&v, 1);
    } else if (value >= -32768 && value <= 32767) {
        WriteTag(ValueTag::Int16);
        int16_t v = static_cast<int16_t>(value);
        WriteRaw(&v, 2);
    } else {
        WriteTag(ValueTag::Int32);
        WriteRaw(&value, 4);
    }
}

void TWriter::WriteInt64Value(int64_t value) {
    if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteInt32Value(static_cast<int32_t>(value));
        return;
    }
    WriteTag(ValueTag::Int64);
    WriteRaw(&value, 8);
}

void TWriter::WriteExtendedValue(Extended value) {
    WriteTag(ValueTag::Extended);
    uint8_t bytes[10];
    ExtendedToBytes(value, bytes);
    WriteRaw(bytes, 10);
}

void TWriter::WriteSingleValue(float value) {
    WriteTag(ValueTag::Single);
    WriteRaw(&value, 4);
}

void TWriter::WriteCurrencyValue(int64_t raw) {
    WriteTag(ValueTag::Currency);
    WriteRaw(&raw, 8);
}

void TWriter::WriteDateValue(double value) {
    WriteTag(ValueTag::Date);
    WriteRaw(&value, 8);
}

void TWriter::WriteWideValue(const std::u16string& text) {
    std::string utf8 = EncodeUtf8(text);
    if (utf8.size() >= 2 * text.size()) {
        WriteTag(ValueTag::WString);
        WriteCount(*this, text.size());
        WriteLarge(*this, text.data(), 2 * text.size()); // the host is little-endian
        return;
    }
    std::string ansi = WideToAnsi(text);
    if (ansi == utf8) {
        if (ansi.size() <= 255) {
            WriteTag(ValueTag::String);
            uint8_t length = static_cast<uint8_t>(ansi.size());
            WriteRaw(&length, 1);
        } else {
            WriteTag(ValueTag::LString);
            WriteCount(*this, ansi.size());
        }
        WriteLarge(*this, ansi.data(), ansi.size());
        return;
    }
    WriteTag(ValueTag::Utf8String);
    WriteCount(*this, utf8.size());
    WriteLarge(*this, utf8.data(), utf8.size());
}

void TWriter::WriteIdentValue(const std::string& name) {
    if (SameIdentifier(name, "False")) {
        WriteTag(ValueTag::False);
    } else if (SameIdentifier(name, "True")) {
        WriteTag(ValueTag::True);
    } else if (SameIdentifier(name, "Null")) {
        WriteTag(ValueTag::Null);
    } else if (SameIdentifier(name, "nil")) {
        WriteTag(ValueTag::Nil);
    } else {
        WriteTag(ValueTag::Ident);
        WriteShortString(name);
    }
}

void TWriter::WriteObjectPrefix(uint8_t flags, int32_t position) {
    if (flags == 0) return;
    uint8_t prefix = static_cast<uint8_t>(0xF0 | (flags & 0x0F));
    WriteRaw(&prefix, 1);
    if (flags & ObjectFlag::ChildPosition) WriteInt32Value(position);
}

void TWriter::WriteBinaryValue(const std::function<void(TStream&)>& producer) {
    TMemoryStream data;
    producer(data);
    WriteTag(ValueTag::Binary);
    WriteCount(*this, static_cast<size_t>(data.GetSize()));
    WriteRaw(data.Memory(), data.GetSize());
}

} // namespace kep
