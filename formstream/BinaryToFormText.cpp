#include "formstream/BinaryToFormText.h"

#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "formstream/NumberText.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kep {

namespace {

// Objects, lists and collections nested deeper than this are refused before
// they can exhaust the stack; real templates stay far below it.
constexpr int kMaxNesting = 1000;

// Characters of one string on one output line.
constexpr int kLineCharacters = 64;
// Binary bytes on one output line.
constexpr int kBinaryLineBytes = 32;

constexpr char kHexDigits[] = "0123456789ABCDEF";

struct HexPairs {
    char pairs[256][2];
    constexpr HexPairs() : pairs() {
        for (int i = 0; i < 256; ++i) {
            pairs[i][0] = kHexDigits[i >> 4];
            pairs[i][1] = kHexDigits[i & 15];
        }
    }
};
constexpr HexPairs kHexPairs;

// Two upper-case hex digits per byte, high half first.
void HexEncode(const uint8_t* bytes, int32_t count, char* out) {
    int32_t i = 0;
#ifdef __SSE2__
    const __m128i lowHalf = _mm_set1_epi8(0x0F);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i letterGap = _mm_set1_epi8('A' - '0' - 10);
    auto digits = [&](__m128i halves) {
        __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(halves, nine), letterGap);
        return _mm_add_epi8(_mm_add_epi8(halves, zero), letters);
    };
    for (; i + 16 <= count; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), lowHalf);
        __m128i low = _mm_and_si128(v, lowHalf);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), digits(_mm_unpacklo_epi8(high, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), digits(_mm_unpackhi_epi8(high, low)));
    }
#endif
    for (; i < count; ++i) std::memcpy(out + 2 * i, kHexPairs.pairs[bytes[i]], 2);
}

// One conversion: the reader, the writer and the working state.
class FormTextEmitter {
public:
    FormTextEmitter(TReader& reader, TWriter& writer)
        : reader_(reader), writer_(writer), stage_(new char[kStageSize]) {}

    void EmitObject();
    // Hands the staged text to the writer.
    void FlushStage();

private:
    // The text is staged in a block and handed to the writer in large pieces,
    // so that the many small pieces do not each go through the writer.
    static constexpr size_t kStageSize = 64 * 1024;
    void Put(std::string_view text) {
        if (text.size() > kStageSize - staged_) {
            FlushStage();
            if (text.size() >= kStageSize) {
                PutLarge(text);
                return;
            }
        }
        std::memcpy(stage_.get() + staged_, text.data(), text.size());
        staged_ += text.size();
    }
    void PutLarge(std::string_view text);
    void EmitIndent();
    void EmitLineBreak();
    void EmitHeader();
    void EmitProperty();
    void EmitValue();
    void EmitList();
    void EmitSet();
    void EmitCollection();
    void EmitBinary();
    template <typename Char>
    void EmitText(const Char* text, size_t length);

    void EnterNesting();
    void LeaveNesting() { --depth_; }

    TReader& reader_;
    TWriter& writer_;
    int level_ = 0; // the indentation level
    int depth_ = 0; // objects, lists and collections currently open
    std::string objectName_;
    std::string propertyName_;
    std::unique_ptr<char[]> stage_;
    size_t staged_ = 0;
};

void FormTextEmitter::FlushStage() {
    size_t count = staged_;
    staged_ = 0;
    writer_.WriteRaw(stage_.get(), static_cast<int32_t>(count));
}

void FormTextEmitter::PutLarge(std::string_view text) {
    while (!text.empty()) {
        size_t step = std::min<size_t>(text.size(), size_t{1} << 30);
        writer_.WriteRaw(text.data(), static_cast<int32_t>(step));
        text.remove_prefix(step);
    }
}

void FormTextEmitter::EnterNesting() {
    if (++depth_ > kMaxNesting) throw EReadError("Nesting deeper than 1000 levels");
}

void FormTextEmitter::EmitIndent() {
    static const std::string spaces(1024, ' ');
    size_t count = 2 * static_cast<size_t>(level_);
    while (count > 0) {
        size_t step = std::min(count, spaces.size());
        Put(std::string_view(spaces.data(), step));
        count -= step;
    }
}

void FormTextEmitter::EmitLineBreak() {
    Put("\r\n");
    EmitIndent();
}

void FormTextEmitter::EmitObject() {
    EnterNesting();
    EmitHeader();
    ++level_;
    while (!reader_.AtEndMarker()) EmitProperty();
    reader_.ReadEndMarker();
    while (!reader_.AtEndMarker()) EmitObject();
    reader_.ReadEndMarker();
    --level_;
    EmitIndent();
    Put("end\r\n");
    LeaveNesting();
}

void FormTextEmitter::EmitHeader() {
    TReader::ObjectPrefix prefix = reader_.ReadObjectPrefix();
    std::string className = reader_.ReadShortString();
    objectName_ = reader_.ReadShortString();
    EmitIndent();
    if (prefix.Flags & ObjectFlag::Inherited) {
        Put("inherited ");
    } else if (prefix.Flags & ObjectFlag::Inline) {
        Put("inline ");
    } else {
        Put("object ");
    }
    if (!objectName_.empty()) {
        Put(objectName_);
        Put(": ");
    }
    Put(className);
    if (prefix.Flags & ObjectFlag::ChildPosition) {
        Put(" [");
        Put(IntegerText(prefix.ChildPosition));
        Put("]");
    }
    if (objectName_.empty()) objectName_ = className;
    Put("\r\n");
}

void FormTextEmitter::EmitProperty() {
    EmitIndent();
    propertyName_ = reader_.ReadShortString();
    Put(propertyName_);
    Put(" = ");
    EmitValue();
    Put("\r\n");
}

void FormTextEmitter::EmitValue() {
    uint8_t tag = reader_.PeekTag();
    switch (tag) {
    case static_cast<uint8_t>(ValueTag::Null):
    case static_cast<uint8_t>(ValueTag::Ident):
    case static_cast<uint8_t>(ValueTag::False):
    case static_cast<uint8_t>(ValueTag::True):
    case static_cast<uint8_t>(ValueTag::Nil):
        Put(reader_.ReadIdentValue());
        break;
    case static_cast<uint8_t>(ValueTag::List):
        EmitList();
        break;
    case static_cast<uint8_t>(ValueTag::Int8):
    case static_cast<uint8_t>(ValueTag::Int16):
    case static_cast<uint8_t>(ValueTag::Int32):
        Put(IntegerText(reader_.ReadInt32Value()));
        break;
    case static_cast<uint8_t>(ValueTag::Int64):
        Put(IntegerText(reader_.ReadInt64Value()));
        break;
    case static_cast<uint8_t>(ValueTag::Extended):
        Put(FixedNotation(reader_.ReadExtendedValue()));
        break;
    case static_cast<uint8_t>(ValueTag::Single):
        Put(GeneralNotation(static_cast<Extended>(reader_.ReadSingleValue())));
        Put("s");
        break;
    case static_cast<uint8_t>(ValueTag::Currency):
        Put(GeneralNotation(CurrencyToExtended(reader_.ReadCurrencyValue())));
        Put("c");
        break;
    case static_cast<uint8_t>(ValueTag::Date):
        Put(GeneralNotation(static_cast<Extended>(reader_.ReadDateValue())));
        Put("d");
        break;
    case static_cast<uint8_t>(ValueTag::String):
    case static_cast<uint8_t>(ValueTag::LString): {
        std::string text = reader_.ReadAnsiValue();
        EmitText(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        break;
    }
    case static_cast<uint8_t>(ValueTag::WString):
    case static_cast<uint8_t>(ValueTag::Utf8String): {
        std::u16string text = reader_.ReadWideValue();
        EmitText(text.data(), text.size());
        break;
    }
    case static_cast<uint8_t>(ValueTag::Binary):
        EmitBinary();
        break;
    case static_cast<uint8_t>(ValueTag::Set):
        EmitSet();
        break;
    case static_cast<uint8_t>(ValueTag::Collection):
        EmitCollection();
        break;
    default:
        throw EReadError("Error reading " + objectName_ + "." + propertyName_ + ": " + IntegerText(tag));
    }
}

void FormTextEmitter::EmitList() {
    EnterNesting();
    reader_.ReadTag();
    Put("(");
    ++level_;
    while (!reader_.AtEndMarker()) {
        EmitLineBreak();
        EmitValue();
    }
    reader_.ReadEndMarker();
    --level_;
    Put(")");
    LeaveNesting();
}

void FormTextEmitter::EmitSet() {
    reader_.ReadTag();
    Put("[");
    bool first = true;
    for (;;) {
        std::string element = reader_.ReadShortString();
        if (element.empty()) break;
        if (!first) Put(", ");
        Put(element);
        first = false;
    }
    Put("]");
}

void FormTextEmitter::EmitCollection() {
    EnterNesting();
    reader_.ReadTag();
    Put("<");
    ++level_;
    while (!reader_.AtEndMarker()) {
        EmitLineBreak();
        Put("item");
        uint8_t tag = reader_.PeekTag();
        if (tag == static_cast<uint8_t>(ValueTag::Int8) || tag == static_cast<uint8_t>(ValueTag::Int16) ||
            tag == static_cast<uint8_t>(ValueTag::Int32)) {
            Put(" [");
            EmitValue();
            Put("]");
        }
        Put("\r\n");
        reader_.ExpectTag(ValueTag::List);
        ++level_;
        while (!reader_.AtEndMarker()) EmitProperty();
        reader_.ReadEndMarker();
        --level_;
        EmitIndent();
        Put("end");
    }
    reader_.ReadEndMarker();
    --level_;
    Put(">");
    LeaveNesting();
}

void FormTextEmitter::EmitBinary() {
    reader_.ReadTag();
    Put("{");
    ++level_;
    int32_t count;
    reader_.ReadRaw(&count, 4);
    bool multiLine = count >= kBinaryLineBytes;
    if (count > 0) {
        // Each line goes straight into the staged block; the text of the
        // lines read before a failure is kept. A line always fits the block:
        // the nesting limit keeps the indentation to a few thousand spaces.
        std::string lineBreak = "\r\n" + std::string(2 * static_cast<size_t>(level_), ' ');
        size_t lineText = (multiLine ? lineBreak.size() : 0) + 2 * kBinaryLineBytes;
        uint8_t bytes[kBinaryLineBytes];
        while (count > 0) {
            if (lineText > kStageSize - staged_) FlushStage();
            char* out = stage_.get() + staged_;
            if (multiLine) {
                std::memcpy(out, lineBreak.data(), lineBreak.size());
                out += lineBreak.size();
                staged_ += lineBreak.size();
            }
            int32_t n = std::min(count, kBinaryLineBytes);
            reader_.ReadRaw(bytes, n);
            HexEncode(bytes, n, out);
            staged_ += 2 * static_cast<size_t>(n);
            count -= n;
        }
    }
    --level_;
    Put("}");
}

template <typename Char>
void FormTextEmitter::EmitText(const Char* text, size_t length) {
    constexpr bool wide = sizeof(Char) > 1;
    if (length == 0) {
        Put("''");
        return;
    }
    auto plain = [](unsigned value) { return value >= 32 && value != 39 && (!wide || value <= 127); };
    ++level_;
    if (length > kLineCharacters) EmitLineBreak();
    // Positions count from 1: text[i - 1] is the character at i.
    size_t i = 1;
    size_t k = 1;
    std::string run;
    while (i <= length) {
        bool full = false;
        unsigned value = text[i - 1];
        if (plain(value)) {
            size_t j = i;
            do {
                ++i;
            } while (i <= length && plain(text[i - 1]) && i - k < kLineCharacters);
            if (i - k >= kLineCharacters) {
                full = true;
                if constexpr (!wide) {
                    // Keep a double-byte character on one line.
                    if (i <= length && text[i - 1] != 0) {
                        size_t leads = 0;
                        while (i - 1 - leads >= 1 && IsLeadByte(text[i - 2 - leads])) ++leads;
                        if (leads % 2 == 1) --i;
                    }
                }
            }
            Put("'");
            if constexpr (wide) {
                run.clear();
                for (size_t p = j; p < i; ++p) run.push_back(static_cast<char>(text[p - 1]));
                Put(run);
            } else {
                Put(std::string_view(reinterpret_cast<const char*>(text + j - 1), i - j));
            }
            Put("'");
        } else {
            Put("#");
            Put(IntegerText(value));
            ++i;
            full = i - k >= kLineCharacters;
        }
        if (full && i <= length) {
            Put(" +");
            EmitLineBreak();
            k = i;
        }
    }
    --level_;
}

} // namespace

void BinaryToFormText(TStream& input, TStream& output) {
    // The reader is destroyed last: the writer first delivers its buffered
    // text, then the input is put back just after the last byte consumed.
    // Numbers are formatted with "." by construction; no setting changes.
    TReader reader(input, kFilerBufferSize);
    TWriter writer(output, kFilerBufferSize);
    reader.CheckSignature();
    FormTextEmitter emitter(reader, writer);
    try {
        emitter.EmitObject();
    } catch (...) {
        // The output keeps all the text written before the failing read.
        try {
            emitter.FlushStage();
        } catch (...) {
        }
        throw;
    }
    emitter.FlushStage();
    writer.FlushOutput();
}

} // namespace kep
