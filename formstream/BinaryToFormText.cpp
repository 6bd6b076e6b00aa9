#include "formstream/BinaryToFormText.h"

#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "formstream/NumberText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

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

// One conversion: the reader, the writer and the working state.
class FormTextEmitter {
public:
    FormTextEmitter(TReader& reader, TWriter& writer) : reader_(reader), writer_(writer) {}

    void EmitObject();

private:
    void Put(std::string_view text) { writer_.WriteRaw(text.data(), static_cast<int32_t>(text.size())); }
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
};

void FormTextEmitter::EnterNesting() {
    if (++depth_ > kMaxNesting) throw EReadError("Nesting deeper than 1000 levels");
}

void FormTextEmitter::EmitIndent() {
    static const std::string spaces(256, ' ');
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
        // Lines are assembled in a block of text and handed to the writer in
        // large pieces; the text of the lines read before a failure is kept.
        std::string lineBreak = "\r\n" + std::string(2 * static_cast<size_t>(level_), ' ');
        size_t lineText = (multiLine ? lineBreak.size() : 0) + 2 * kBinaryLineBytes;
        size_t linesPerBlock = std::max<size_t>(1, (64 * 1024) / lineText);
        std::string block(linesPerBlock * lineText, '\0');
        char* out = block.data();
        auto flush = [&] {
            writer_.WriteRaw(block.data(), static_cast<int32_t>(out - block.data()));
            out = block.data();
        };
        uint8_t bytes[kBinaryLineBytes];
        try {
            while (count > 0) {
                if (multiLine) {
                    std::memcpy(out, lineBreak.data(), lineBreak.size());
                    out += lineBreak.size();
                }
                int32_t n = std::min(count, kBinaryLineBytes);
                reader_.ReadRaw(bytes, n);
                for (int32_t i = 0; i < n; ++i) {
                    std::memcpy(out, kHexPairs.pairs[bytes[i]], 2);
                    out += 2;
                }
                count -= n;
                if (static_cast<size_t>(block.data() + block.size() - out) < lineText) flush();
            }
        } catch (...) {
            flush();
            throw;
        }
        flush();
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
            run.assign(1, '\'');
            for (size_t p = j; p < i; ++p) run.push_back(static_cast<char>(text[p - 1]));
            run.push_back('\'');
            Put(run);
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
    FormTextEmitter(reader, writer).EmitObject();
    writer.FlushOutput();
}

} // namespace kep
