// Stream -> text -> stream gives the same bytes, over many random streams
// written with TWriter, within what the text form can carry: integers in their
// smallest tag, strings in the tag the writer picks for their value, floats
// whose text holds every digit they need, no flag 8 and no Null in lists.
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/NumberText.h"
#include "support/Streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace kep {
namespace {

using test::StreamToText;
using test::TextToStream;

class RandomStream {
public:
    explicit RandomStream(uint32_t seed) : rng_(seed) {}

    std::string Make(int maxDepth) {
        TStringStream bytes;
        {
            TWriter writer(bytes);
            w_ = &writer;
            maxDepth_ = maxDepth;
            writer.PutSignature();
            Object(1);
            writer.FlushOutput();
        }
        return bytes.TakeDataString();
    }

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(rng_); }
    bool Chance(int percent) { return Pick(100) < percent; }

    std::string Name(size_t maxLength = 12) {
        static const char kFirst[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
        static const char kRest[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_0123456789";
        for (;;) {
            std::string name(1, kFirst[Pick(sizeof kFirst - 1)]);
            size_t length = 1 + static_cast<size_t>(Pick(static_cast<int>(maxLength)));
            while (name.size() < length) name += kRest[Pick(sizeof kRest - 1)];
            // Words the grammar reads as keywords or as the single-byte identifiers.
            std::string lower;
            for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            if (lower != "end" && lower != "object" && lower != "inherited" && lower != "inline" &&
                lower != "item" && lower != "false" && lower != "true" && lower != "null" && lower != "nil")
                return name;
        }
    }

    std::string DottedName() {
        std::string name = Name();
        while (Chance(20)) name += "." + Name();
        return name;
    }

    void Object(int depth) {
        // Every flag combination the text form can show: inherited and inline
        // exclude each other, and a child position is never negative.
        static const uint8_t kFlags[] = {0, 0, 0, ObjectFlag::Inherited, ObjectFlag::Inline, ObjectFlag::ChildPosition,
                                         ObjectFlag::Inherited | ObjectFlag::ChildPosition,
                                         ObjectFlag::Inline | ObjectFlag::ChildPosition};
        uint8_t flags = kFlags[Pick(sizeof kFlags)];
        int32_t position = Chance(50) ? Pick(300) : std::uniform_int_distribution<int32_t>(0, INT32_MAX)(rng_);
        std::string className = Chance(5) ? std::string(240 + static_cast<size_t>(Pick(30)), 'C') : "T" + Name();
        if (flags == 0 && className.size() >= 240) {
            const uint8_t emptyPrefix = 0xF0;
            w_->WriteRaw(&emptyPrefix, 1);
        }
        w_->WriteObjectPrefix(flags, position);
        w_->WriteShortString(className);
        w_->WriteShortString(Chance(30) ? std::string() : Name());
        Properties(depth);
        w_->WriteEndMarker();
        if (depth < maxDepth_) {
            for (int i = Pick(3); i > 0; --i) Object(depth + 1);
        }
        w_->WriteEndMarker();
    }

    void Properties(int depth) {
        for (int i = Pick(6); i > 0; --i) {
            w_->WriteShortString(DottedName());
            Value(depth, false);
        }
    }

    std::u16string Text(size_t length) {
        // Printable ASCII, control characters, apostrophes, DEL, Latin-1,
        // other BMP characters and surrogate pairs.
        std::u16string text;
        while (text.size() < length) {
            switch (Pick(8)) {
            case 0: text += static_cast<char16_t>(Pick(32)); break;
            case 1: text += u'\''; break;
            case 2: text += static_cast<char16_t>(127 + Pick(129)); break;
            case 3:
                if (Chance(10)) text += static_cast<char16_t>(0x100 + Pick(0xD700));
                else text += {char16_t(0xD83D), char16_t(0xDE00)};
                break;
            default: text += static_cast<char16_t>(32 + Pick(95)); break;
            }
        }
        text.resize(length);
        return text;
    }

    std::u16string AsciiText(size_t length) {
        std::u16string text;
        while (text.size() < length) text += static_cast<char16_t>(Chance(20) ? Pick(32) : Chance(10) ? '\'' : 32 + Pick(95));
        return text;
    }

    Extended DecimalExtended() {
        // Values whose text comes back exactly: below 10, whose fixed notation
        // (16 digits, 18 decimals) is a 19-digit integer that the parse
        // accumulates exactly, or 10^17 and above, written in exponent form.
        int64_t mantissa = std::uniform_int_distribution<int64_t>(-999999999999, 999999999999)(rng_);
        std::string text = std::to_string(mantissa);
        int digits = static_cast<int>(text.size()) - (mantissa < 0 ? 1 : 0);
        int exponent = Chance(70) ? -(digits - 1 + Pick(3)) : 18 - digits + Pick(10);
        return ParseExtended(text + "e" + std::to_string(exponent));
    }

    void Value(int depth, bool inList) {
        bool nested = depth < maxDepth_;
        switch (Pick(nested ? 22 : 19)) {
        case 0: w_->WriteInt64Value(std::uniform_int_distribution<int64_t>(-200, 200)(rng_)); break;
        case 1: w_->WriteInt64Value(std::uniform_int_distribution<int64_t>(INT32_MIN, INT32_MAX)(rng_)); break;
        case 2: w_->WriteInt64Value(std::uniform_int_distribution<int64_t>(INT64_MIN, INT64_MAX)(rng_)); break;
        case 3: w_->WriteExtendedValue(DecimalExtended()); break;
        case 4: {
            // Any finite single but negative zero.
            uint32_t bits;
            do bits = std::uniform_int_distribution<uint32_t>()(rng_);
            while ((bits & 0x7F800000u) == 0x7F800000u || bits == 0x80000000u);
            float value;
            std::memcpy(&value, &bits, 4);
            w_->WriteSingleValue(value);
            break;
        }
        case 5: w_->WriteCurrencyValue(std::uniform_int_distribution<int64_t>(-99999999999999, 99999999999999)(rng_)); break;
        case 6: w_->WriteDateValue(std::uniform_int_distribution<int64_t>(-(int64_t{1} << 40), int64_t{1} << 40)(rng_) / 4.0); break;
        case 7: {
            static const size_t kLengths[] = {0, 1, 63, 64, 65, 300};
            size_t length = Chance(50) ? kLengths[Pick(6)] : static_cast<size_t>(Pick(80));
            w_->WriteWideValue(Chance(50) ? Text(length) : AsciiText(length));
            break;
        }
        case 8: w_->WriteIdentValue(DottedName()); break;
        case 9: w_->WriteTag(Chance(50) ? ValueTag::True : ValueTag::False); break;
        case 10: w_->WriteTag(ValueTag::Nil); break;
        case 11:
            // Null stands for itself only outside lists.
            w_->WriteTag(inList ? ValueTag::Nil : ValueTag::Null);
            break;
        case 12: {
            w_->WriteTag(ValueTag::Set);
            for (int i = Pick(4); i > 0; --i) w_->WriteShortString(Chance(80) ? Name() : std::to_string(Pick(1000)));
            w_->WriteShortString(std::string());
            break;
        }
        case 13: {
            static const int kSizes[] = {0, 31, 32, 33, 1, 100};
            int size = kSizes[Pick(6)];
            w_->WriteBinaryValue([&](TStream& bytes) {
                for (int i = 0; i < size; ++i) {
                    auto byte = static_cast<uint8_t>(Pick(256));
                    bytes.Write(&byte, 1);
                }
            });
            break;
        }
        case 14: w_->WriteWideValue(AsciiText(256 + static_cast<size_t>(Pick(50)))); break; // tag 12
        case 15: w_->WriteExtendedValue(static_cast<Extended>(Pick(2001) - 1000) / 8); break;
        case 16: w_->WriteExtendedValue(0); break;
        case 17: w_->WriteSingleValue(static_cast<float>(Pick(1000)) / 16); break;
        case 18: w_->WriteInt32Value(Pick(2) ? 127 : -32769); break;
        case 19:
        case 20: {
            w_->WriteListOpen();
            for (int i = Pick(4); i > 0; --i) Value(depth + 1, true);
            w_->WriteEndMarker();
            break;
        }
        default: {
            w_->WriteTag(ValueTag::Collection);
            for (int i = Pick(3); i > 0; --i) {
                if (Chance(50)) {
                    int32_t order = Chance(70) ? Pick(400) - 100 : std::uniform_int_distribution<int32_t>()(rng_);
                    if (order == -1) order = 0; // -1 means "no order" in the text form
                    w_->WriteInt32Value(order);
                }
                w_->WriteListOpen();
                for (int j = Pick(4); j > 0; --j) {
                    w_->WriteShortString(DottedName());
                    Value(depth + 1, false);
                }
                w_->WriteEndMarker();
            }
            w_->WriteEndMarker();
            break;
        }
        }
    }

    std::mt19937 rng_;
    TWriter* w_ = nullptr;
    int maxDepth_ = 1;
};

TEST(RoundTrip, RandomStreamsComeBackByteForByte) {
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        std::string stream = RandomStream(seed).Make(1 + static_cast<int>(seed % 5));
        std::string text = StreamToText(stream);
        std::string back;
        try {
            back = TextToStream(text);
        } catch (const Exception& e) {
            ADD_FAILURE() << "seed " << seed << ": " << e.what() << "\n" << text;
            continue;
        }
        ASSERT_EQ(back, stream) << "seed " << seed << "\n" << text;
        ASSERT_EQ(StreamToText(back), text) << "seed " << seed;
    }
}

// The two directions agree on the nesting limit: 500 objects and 500 lists
// are the deepest nesting allowed, and one list more is refused.
std::string DeepStream(int lists) {
    TStringStream bytes;
    {
        TWriter writer(bytes);
        writer.PutSignature();
        for (int i = 0; i < 500; ++i) {
            writer.WriteShortString("TObj");
            writer.WriteShortString("");
            if (i < 499) writer.WriteEndMarker(); // no properties but in the innermost
        }
        writer.WriteShortString("P");
        for (int i = 0; i < lists; ++i) writer.WriteListOpen();
        writer.WriteInt32Value(1);
        for (int i = 0; i < lists; ++i) writer.WriteEndMarker();
        for (int i = 0; i < 501; ++i) writer.WriteEndMarker();
    }
    return bytes.TakeDataString();
}

TEST(RoundTrip, DeepestNestingAllowed) {
    std::string stream = DeepStream(500);
    std::string text = StreamToText(stream);
    EXPECT_EQ(TextToStream(text), stream);
    EXPECT_THROW(StreamToText(DeepStream(501)), EReadError);
}

} // namespace
} // namespace kep
