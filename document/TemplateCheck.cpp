// The round-trip check of template code, and the description of the first
// value that a save of unchanged code would store differently.
#include "document/TemplateCheck.h"

#include "document/PackFormat.h"
#include "document/PathParts.h"
#include "document/TemplateDocument.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kep {

namespace {

const char* const kTagNames[] = {"Null",   "List",  "Int8",    "Int16",      "Int32",  "Extended", "String",
                                 "Ident",  "False", "True",    "Binary",     "Set",    "LString",  "Nil",
                                 "Collection", "Single", "Currency", "Date", "WString", "Int64", "Utf8String"};

// One piece of a component stream: a value (with its tag), a name, a marker.
struct Item {
    int64_t Offset = 0;
    int64_t Length = 0;
    std::string Kind;  // a tag name for values, otherwise "class name", "end marker", ...
    int Tag = -1;      // the value's tag, -1 for what is not a value
    std::string Value; // the value as text, for messages
    std::string Where; // the object and property it belongs to
};

constexpr int kMaxDepth = 1000;
constexpr size_t kShownCharacters = 40;

std::string Quoted(const std::string& text) {
    std::string shown = "'";
    size_t count = 0;
    for (unsigned char c : text) {
        if (++count > kShownCharacters) {
            shown += "'...";
            return shown;
        }
        if (c < 32 || c == 127)
            shown += "'#" + std::to_string(c) + "'";
        else if (c == '\'')
            shown += "''";
        else
            shown += static_cast<char>(c);
    }
    return shown + "'";
}

std::string QuotedWide(const uint8_t* units, int64_t count) {
    std::string text;
    for (int64_t i = 0; i < count && i <= static_cast<int64_t>(kShownCharacters); ++i) {
        unsigned unit = units[2 * i] | (units[2 * i + 1] << 8);
        text += unit < 128 ? std::string(1, static_cast<char>(unit)) : "'#" + std::to_string(unit) + "'";
    }
    return Quoted(text);
}

std::string HexText(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// Splits a component stream into items. Stops at the first byte it cannot
// read; what follows becomes one item of its own.
class Flattener {
public:
    Flattener(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int64_t>(size)) {}

    std::vector<Item> Run() {
        try {
            if (size_ < 4 || std::memcmp(data_, "TPF0", 4) != 0) Fail();
            Add(0, 4, "signature", -1, "TPF0", "");
            pos_ = 4;
            Object("", 0);
        } catch (const Stop&) {
        }
        if (pos_ < size_) {
            Item rest;
            rest.Offset = pos_;
            rest.Length = size_ - pos_;
            rest.Kind = stopped_ ? "unreadable bytes" : "bytes after the root object";
            items_.push_back(rest);
        }
        return std::move(items_);
    }

private:
    struct Stop {};

    [[noreturn]] void Fail() {
        stopped_ = true;
        throw Stop();
    }
    void Need(int64_t count) {
        if (count < 0 || size_ - pos_ < count) Fail();
    }
    uint8_t Byte() {
        Need(1);
        return data_[pos_++];
    }
    int64_t Signed(int width) {
        Need(width);
        uint64_t raw = ReadLE(data_ + pos_, width);
        pos_ += width;
        int shift = 64 - 8 * width;
        return static_cast<int64_t>(raw << shift) >> shift;
    }
    std::string ShortString() {
        int64_t length = Byte();
        Need(length);
        std::string text(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(length));
        pos_ += length;
        return text;
    }
    void Add(int64_t start, int64_t end, std::string kind, int tag, std::string value, const std::string& where) {
        items_.push_back(Item{start, end - start, std::move(kind), tag, std::move(value), where});
    }

    void Object(const std::string& parent, int depth) {
        if (depth > kMaxDepth) Fail();
        int64_t start = pos_;
        Need(1);
        uint8_t flags = 0;
        if (data_[pos_] >= 0xF0) {
            flags = data_[pos_++] & 0x0F;
            Add(start, pos_, "object prefix", -1, "F" + HexText(&flags, 1).substr(1), parent);
        }
        if (flags & 2) Value(parent.empty() ? "the root object's child position" : parent + " (child position)", depth);
        start = pos_;
        std::string className = ShortString();
        Add(start, pos_, "class name", -1, Quoted(className), parent);
        start = pos_;
        std::string objectName = ShortString();
        std::string self = objectName.empty() ? className : objectName;
        std::string where = parent.empty() ? self : parent + "." + self;
        Add(start, pos_, "object name", -1, Quoted(objectName), where);
        Properties(where, depth);
        while (Peek() != 0) Object(where, depth + 1);
        EndMarker(where, "end of the child objects");
    }

    uint8_t Peek() {
        Need(1);
        return data_[pos_];
    }

    void EndMarker(const std::string& where, const char* kind) {
        int64_t start = pos_;
        if (Byte() != 0) Fail();
        Add(start, pos_, kind, -1, "", where);
    }

    void Properties(const std::string& where, int depth) {
        while (Peek() != 0) {
            int64_t start = pos_;
            std::string name = ShortString();
            std::string property = where + "." + name;
            Add(start, pos_, "property name", -1, Quoted(name), property);
            Value(property, depth);
        }
        EndMarker(where, "end of the properties");
    }

    void Value(const std::string& where, int depth) {
        if (depth > kMaxDepth) Fail();
        int64_t start = pos_;
        uint8_t tag = Byte();
        if (tag > 20) Fail();
        std::string value;
        switch (tag) {
        case 0: value = "Null"; break;
        case 8: value = "False"; break;
        case 9: value = "True"; break;
        case 13: value = "nil"; break;
        case 2: value = std::to_string(Signed(1)); break;
        case 3: value = std::to_string(Signed(2)); break;
        case 4: value = std::to_string(Signed(4)); break;
        case 19: value = std::to_string(Signed(8)); break;
        case 5: {
            Need(10);
            long double x = 0;
            static_assert(sizeof(long double) >= 10);
            std::memcpy(&x, data_ + pos_, 10);
            char text[64];
            std::snprintf(text, sizeof text, "%.19Lg (%s)", x, HexText(data_ + pos_, 10).c_str());
            value = text;
            pos_ += 10;
            break;
        }
        case 15: {
            Need(4);
            float x;
            std::memcpy(&x, data_ + pos_, 4);
            char text[64];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(x));
            value = text;
            pos_ += 4;
            break;
        }
        case 16: value = std::to_string(Signed(8)) + " (ten-thousandths)"; break;
        case 17: {
            Need(8);
            double x;
            std::memcpy(&x, data_ + pos_, 8);
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", x);
            value = text;
            pos_ += 8;
            break;
        }
        case 6:
        case 7: {
            std::string text = ShortString();
            value = tag == 6 ? Quoted(text) : text;
            break;
        }
        case 12:
        case 20: {
            int64_t count = Signed(4);
            Need(count);
            value = Quoted(std::string(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(count)));
            pos_ += count;
            break;
        }
        case 18: {
            int64_t count = Signed(4);
            Need(2 * count);
            value = QuotedWide(data_ + pos_, count);
            pos_ += 2 * count;
            break;
        }
        case 10: {
            int64_t count = Signed(4);
            // A negative count is shown as an empty block and reads nothing more.
            if (count > 0) {
                Need(count);
                pos_ += count;
            }
            value = std::to_string(count) + " bytes";
            break;
        }
        case 11: {
            value = "[";
            for (std::string element = ShortString(); !element.empty(); element = ShortString())
                value += (value.size() > 1 ? ", " : "") + element;
            value += "]";
            break;
        }
        case 1: {
            Add(start, pos_, "List", 1, "(", where);
            while (Peek() != 0) Value(where, depth + 1);
            EndMarker(where, "end of the list");
            return;
        }
        case 14: {
            Add(start, pos_, "Collection", 14, "<", where);
            int index = 0;
            while (Peek() != 0) {
                std::string item = where + " item " + std::to_string(index++);
                uint8_t next = Peek();
                if (next >= 2 && next <= 4) Value(item + " (order)", depth + 1);
                int64_t itemStart = pos_;
                if (Byte() != 1) Fail();
                Add(itemStart, pos_, "item", -1, "", item);
                Properties(item, depth + 1);
            }
            EndMarker(where, "end of the collection");
            return;
        }
        }
        Add(start, pos_, kTagNames[tag], tag, value, where);
    }

    const uint8_t* data_;
    int64_t size_;
    int64_t pos_ = 0;
    bool stopped_ = false;
    std::vector<Item> items_;
};

std::string DescribeItem(const Item& item) {
    if (item.Kind == "bytes after the root object" || item.Kind == "unreadable bytes")
        return std::to_string(item.Length) + " " + item.Kind;
    if (item.Tag == 0 || item.Tag == 8 || item.Tag == 9 || item.Tag == 13) return "the " + item.Kind + " tag";
    if (item.Tag >= 0) return item.Kind + " " + item.Value;
    if (item.Value.empty()) return item.Kind;
    return item.Kind + " " + item.Value;
}

std::string DescribePair(const Item& before, const Item& after) {
    std::string where = before.Where.empty() ? "" : "in " + before.Where + ": ";
    if (before.Tag >= 0 && after.Tag >= 0) {
        if (before.Tag != after.Tag) {
            bool sameValue = before.Value == after.Value;
            if (sameValue && after.Length < before.Length)
                return where + before.Kind + " tag where " + after.Kind + " suffices (value " + before.Value + ")";
            if (sameValue) return where + before.Kind + " tag becomes " + after.Kind + " (value " + before.Value + ")";
            return where + DescribeItem(before) + " becomes " + DescribeItem(after);
        }
        return where + before.Kind + " value " + before.Value + " becomes " + after.Value;
    }
    if (before.Kind == "object prefix" && after.Kind != "object prefix")
        return where + "the object prefix " + before.Value + " is dropped";
    if (before.Kind == after.Kind) return where + before.Kind + " " + before.Value + " becomes " + after.Value;
    return where + DescribeItem(before) + " becomes " + DescribeItem(after);
}

// The stream's length, after the checks that the code reader makes; subject
// begins the message ("The template file").
uint32_t StreamLength(const uint8_t* file, size_t size, const std::string& subject) {
    if (size < static_cast<size_t>(kTemplateHeaderSize))
        throw EDocumentError(subject + " is shorter than its 42-byte header.");
    auto length = static_cast<uint32_t>(ReadLE(file + kStreamLengthOffset, 4));
    if (size - kTemplateHeaderSize < length)
        throw EDocumentError(subject + " holds " + std::to_string(size) + " bytes, fewer than its header and its " +
                             std::to_string(length) + "-byte component stream.");
    return length;
}

std::string StreamToCode(const uint8_t* stream, uint32_t length) {
    TMemoryStream input;
    input.WriteBuffer(stream, static_cast<int32_t>(length));
    input.SetPosition(0);
    TStringStream text;
    BinaryToFormText(input, text);
    return text.TakeDataString();
}

} // namespace

std::string DescribeStreamDifference(const uint8_t* before, size_t beforeSize, const uint8_t* after,
                                     size_t afterSize, int64_t& offset) {
    size_t common = std::min(beforeSize, afterSize);
    size_t first = 0;
    while (first < common && before[first] == after[first]) ++first;
    if (first == common && beforeSize == afterSize) {
        offset = -1;
        return {};
    }
    offset = static_cast<int64_t>(first);
    std::vector<Item> a = Flattener(before, beforeSize).Run();
    std::vector<Item> b = Flattener(after, afterSize).Run();
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        if (i >= a.size()) return "the converted stream has more: " + DescribeItem(b[i]);
        if (i >= b.size()) {
            bool run = a[i].Kind == "bytes after the root object" || a[i].Kind == "unreadable bytes";
            return (a[i].Where.empty() ? "" : "in " + a[i].Where + ": ") + DescribeItem(a[i]) +
                   (run ? " are dropped" : " is dropped");
        }
        const Item& x = a[i];
        const Item& y = b[i];
        bool same = x.Length == y.Length && std::memcmp(before + x.Offset, after + y.Offset, x.Length) == 0;
        if (!same) return DescribePair(x, y);
    }
    size_t shown = std::min<size_t>(8, first < beforeSize ? beforeSize - first : 0);
    size_t shownAfter = std::min<size_t>(8, first < afterSize ? afterSize - first : 0);
    return "bytes " + HexText(before + first, shown) + " become " + HexText(after + first, shownAfter);
}

TemplateCheckResult CheckTemplateBytes(const uint8_t* file, size_t size) {
    TemplateCheckResult result;
    result.OriginalSize = static_cast<int64_t>(size);
    std::string converted;
    uint32_t length = 0;
    try {
        length = StreamLength(file, size, "The template file");
        std::string code = StreamToCode(file + kTemplateHeaderSize, length);
        TStringStream text(std::move(code));
        TMemoryStream stream;
        FormTextToBinary(text, stream);
        converted.assign(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
    } catch (const Exception& error) {
        result.Error = error.Message();
        return result;
    }
    result.Converts = true;
    auto newLength = static_cast<int64_t>(converted.size());
    result.ConvertedSize = kTemplateHeaderSize + newLength;
    const auto* newStream = reinterpret_cast<const uint8_t*>(converted.data());

    int64_t streamOffset = -1;
    std::string streamChange = DescribeStreamDifference(file + kTemplateHeaderSize, length, newStream,
                                                        converted.size(), streamOffset);
    std::string at = streamOffset >= 0 ? "at offset " + std::to_string(kTemplateHeaderSize + streamOffset) + ", " : "";
    if (newLength != static_cast<int64_t>(length)) {
        uint8_t oldField[4], newField[4];
        WriteLE(oldField, length, 4);
        WriteLE(newField, static_cast<uint64_t>(newLength), 4);
        int first = 0;
        while (oldField[first] == newField[first]) ++first;
        result.FirstDifference = kStreamLengthOffset + first;
        result.Difference = "the stream length " + std::to_string(length) + " becomes " + std::to_string(newLength) +
                            "; first change in the stream " + at + streamChange;
    } else if (streamOffset >= 0) {
        result.FirstDifference = kTemplateHeaderSize + streamOffset;
        result.Difference = streamChange;
    } else if (size > static_cast<size_t>(result.ConvertedSize)) {
        result.FirstDifference = result.ConvertedSize;
        result.Difference = std::to_string(size - static_cast<size_t>(result.ConvertedSize)) +
                            " bytes after the stream are dropped";
    }
    result.SameBytes = result.FirstDifference < 0;
    return result;
}

std::vector<TemplateCheckResult> CheckDocument(const TemplateDocument& document) {
    const DocumentState& state = document.State;
    std::vector<std::string> names;
    if (state.IsPack)
        names.assign(state.FileNames.begin() + 1, state.FileNames.begin() + 1 + state.FileCount);
    else if (!state.TemplateFileName.empty() && !state.WorkDir.empty())
        names.push_back(ExtractFileName(state.TemplateFileName));
    std::vector<TemplateCheckResult> results;
    for (const std::string& name : names) {
        TemplateCheckResult result;
        if (state.IsPack && ExtractFileExt(name) != ".tme") {
            result.IsTemplate = false;
        } else {
            try {
                TMemoryStream file;
                file.LoadFromFile(state.WorkDir + "/" + name);
                result = CheckTemplateBytes(file.Memory(), static_cast<size_t>(file.GetSize()));
            } catch (const Exception& error) {
                result.Error = error.Message();
            }
        }
        result.Name = name;
        results.push_back(std::move(result));
    }
    return results;
}

std::string FormatCheckReport(const std::vector<TemplateCheckResult>& results) {
    std::string report;
    for (const TemplateCheckResult& result : results) {
        std::string name = PrintableName(result.Name);
        if (!result.IsTemplate)
            report += name + ": not a template\n";
        else if (!result.Converts)
            report += name + ": does not convert: " + result.Error + "\n";
        else if (result.SameBytes)
            report += name + ": same bytes\n";
        else
            report += name + ": differs at offset " + std::to_string(result.FirstDifference) + ": " +
                      result.Difference + "\n";
    }
    return report;
}

bool EveryTemplateConverts(const std::vector<TemplateCheckResult>& results) {
    return std::all_of(results.begin(), results.end(),
                       [](const TemplateCheckResult& r) { return !r.IsTemplate || r.Converts; });
}

std::string TemplateFileCode(const std::string& path) {
    TMemoryStream file;
    file.LoadFromFile(path);
    uint32_t length = StreamLength(file.Memory(), static_cast<size_t>(file.GetSize()),
                                   "Damaged menu template \"" + path + "\": the file");
    return StreamToCode(file.Memory() + kTemplateHeaderSize, length);
}

} // namespace kep
