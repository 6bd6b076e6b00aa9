#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "support/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

// The largest single allocation made while tracking is on: the reader must
// not allocate in proportion to a count before the data is there.
namespace {
bool gTrackAllocations = false;
size_t gLargestAllocation = 0;
} // namespace

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    if (gTrackAllocations) gLargestAllocation = std::max(gLargestAllocation, size);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace kep {
namespace {

using test::Bytes;
using test::MessageOf;

template <typename Fn>
std::string Written(Fn&& fn) {
    TStringStream out;
    {
        TWriter writer(out);
        fn(writer);
    }
    return out.DataString();
}

// A source that hands out at most `chunk` bytes per read.
class ChunkyStream : public TStringStream {
public:
    ChunkyStream(std::string data, int32_t chunk) : TStringStream(std::move(data)), chunk_(chunk) {}
    int32_t Read(void* destination, int32_t count) override {
        ++reads;
        return TStringStream::Read(destination, std::min(count, chunk_));
    }
    int reads = 0;

private:
    int32_t chunk_;
};

// A destination that takes at most `limit` bytes in all.
class LimitedStream : public TStringStream {
public:
    explicit LimitedStream(int32_t limit) : limit_(limit) {}
    int32_t Write(const void* source, int32_t count) override {
        int32_t room = std::max(0, limit_ - GetSize());
        return TStringStream::Write(source, std::min(count, room));
    }

private:
    int32_t limit_;
};

// ---- TWriter

TEST(Writer, IntegersTakeTheSmallestTag) {
    struct Case {
        int64_t value;
        std::string bytes;
    } cases[] = {
        {0, Bytes({2, 0})},
        {127, Bytes({2, 0x7F})},
        {-128, Bytes({2, 0x80})},
        {128, Bytes({3, 0x80, 0})},
        {-32768, Bytes({3, 0x00, 0x80})},
        {32767, Bytes({3, 0xFF, 0x7F})},
        {-32769, Bytes({4, 0xFF, 0x7F, 0xFF, 0xFF})},
        {2147483647, Bytes({4, 0xFF, 0xFF, 0xFF, 0x7F})},
        {-2147483648LL, Bytes({4, 0, 0, 0, 0x80})},
        {2147483648LL, Bytes({19, 0, 0, 0, 0x80, 0, 0, 0, 0})},
        {-2147483649LL, Bytes({19, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Written([&](TWriter& w) { w.WriteInt64Value(c.value); }), c.bytes) << c.value;
        if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
            EXPECT_EQ(Written([&](TWriter& w) { w.WriteInt32Value(static_cast<int32_t>(c.value)); }), c.bytes);
        }
        TStringStream in(c.bytes);
        TReader reader(in);
        EXPECT_EQ(reader.ReadInt64Value(), c.value);
    }
}

TEST(Writer, WideTextChoosesItsTag) {
    struct Case {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"", Bytes({18, 0, 0, 0, 0})},
        {u"abc", Bytes({6, 3, 'a', 'b', 'c'})},
        {u"\u00E9", Bytes({18, 1, 0, 0, 0, 0xE9, 0})},
        {u"a\u00E9", Bytes({20, 3, 0, 0, 0, 'a', 0xC3, 0xA9})},
        {u"\U0001F600", Bytes({18, 2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE})},
        {u"ab\u20AC", Bytes({20, 5, 0, 0, 0, 'a', 'b', 0xE2, 0x82, 0xAC})},
        {std::u16string(256, u'x'), Bytes({12, 0, 1, 0, 0}) + std::string(256, 'x')},
        {std::u16string(255, u'x'), Bytes({6, 255}) + std::string(255, 'x')},
    };
    for (const Case& c : cases) {
        std::string bytes = Written([&](TWriter& w) { w.WriteWideValue(c.text); });
        EXPECT_EQ(bytes, c.bytes);
        TStringStream in(bytes);
        TReader reader(in);
        if (reader.PeekTag() == 6 || reader.PeekTag() == 12) {
            EXPECT_EQ(reader.ReadAnsiValue(), std::string(c.text.begin(), c.text.end()));
        } else {
            EXPECT_EQ(reader.ReadWideValue(), c.text);
        }
    }
}

TEST(Writer, IdentifiersAndNames) {
    struct Case {
        std::string name;
        std::string bytes;
    } cases[] = {
        {"TRUE", Bytes({9})},
        {"true", Bytes({9})},
        {"False", Bytes({8})},
        {"NULL", Bytes({0})},
        {"NIL", Bytes({13})},
        {"Truth", Bytes({7, 5, 'T', 'r', 'u', 't', 'h'})},
        {"Tru", Bytes({7, 3, 'T', 'r', 'u'})},
        {"n\xC9l", Bytes({7, 3, 'n', 0xC9, 'l'})}, // only a to z match without case
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Written([&](TWriter& w) { w.WriteIdentValue(c.name); }), c.bytes) << c.name;
    }
    std::string longName(300, 'n');
    longName[254] = 'L';
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteShortString(longName); }),
              Bytes({255}) + longName.substr(0, 255));
}

TEST(Writer, FixedSizeValuesAndPrefixes) {
    std::string bytes = Written([](TWriter& w) {
        w.PutSignature();
        w.WriteObjectPrefix(0, 9);
        w.WriteObjectPrefix(ObjectFlag::ChildPosition | ObjectFlag::Inherited, 300);
        w.WriteObjectPrefix(ObjectFlag::Inline, 300);
        w.WriteExtendedValue(ExtendedFromParts(0x3FFF, 0xC000000000000000ULL));
        w.WriteSingleValue(1.0f);
        w.WriteCurrencyValue(-1);
        w.WriteDateValue(0.5);
        w.WriteBinaryValue([](TStream& s) { s.Write("\x01\x02\x03", 3); });
        w.WriteListOpen();
        w.WriteEndMarker();
    });
    EXPECT_EQ(bytes, "TPF0" + Bytes({0xF3, 3, 0x2C, 0x01, 0xF4}) +
                         Bytes({5, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F}) + Bytes({15, 0, 0, 0x80, 0x3F}) +
                         Bytes({16, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) +
                         Bytes({17, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F}) + Bytes({10, 3, 0, 0, 0, 1, 2, 3}) +
                         Bytes({1, 0}));

    TStringStream in(bytes);
    TReader reader(in);
    reader.CheckSignature();
    auto prefix = reader.ReadObjectPrefix();
    EXPECT_EQ(prefix.Flags, 3);
    EXPECT_EQ(prefix.ChildPosition, 300);
    EXPECT_EQ(reader.ReadObjectPrefix().Flags, 4);
    Extended x = reader.ReadExtendedValue();
    EXPECT_EQ(ExtendedTopWord(x), 0x3FFF);
    EXPECT_EQ(ExtendedSignificand(x), 0xC000000000000000ULL);
    EXPECT_EQ(reader.ReadSingleValue(), 1.0f);
    EXPECT_EQ(reader.ReadCurrencyValue(), -1);
    EXPECT_EQ(reader.ReadDateValue(), 0.5);
}

// ---- TReader

TEST(Reader, ObjectPrefixes) {
    {
        TStringStream in(Bytes({0xF2, 2, 5, 6}));
        TReader reader(in);
        auto prefix = reader.ReadObjectPrefix();
        EXPECT_EQ(prefix.Flags, 2);
        EXPECT_EQ(prefix.ChildPosition, 5);
        EXPECT_EQ(reader.ReadTag(), 6);
    }
    {
        TStringStream in(Bytes({0xF0, 6}));
        TReader reader(in);
        EXPECT_EQ(reader.ReadObjectPrefix().Flags, 0);
        EXPECT_EQ(reader.ReadTag(), 6);
    }
    {
        TStringStream in(Bytes({0x06}));
        TReader reader(in);
        EXPECT_EQ(reader.ReadObjectPrefix().Flags, 0);
        EXPECT_EQ(reader.PeekTag(), 6);
    }
    {
        TStringStream in(Bytes({0xFA, 7}));
        TReader reader(in);
        EXPECT_EQ(MessageOf([&] { reader.ReadObjectPrefix(); }), "Invalid property value");
    }
}

TEST(Reader, Utf8PayloadsDecodeLiterally) {
    struct Case {
        std::string payload;
        std::u16string text;
    } cases[] = {
        {Bytes({0xC3}), u""},
        {Bytes({0xC3, 0x41}), u""},
        {Bytes({'a', 0xC3}), u""},
        {Bytes({0xE2, 0x82, 0xAC}), u"\u20AC"},
        {Bytes({0xE2, 0x82}), u""},
        {Bytes({0xE2, 0x82, 0x41}), u""},
        {Bytes({'a', 0xC3, 0xA9, 'b'}), u"a\u00E9b"},
        {Bytes({0x80, 0x80}), std::u16string(1, u'\0')}, // 80 leads like any byte with bit 7 set
        {Bytes({0xF0, 0x9F, 0x98}), u"\u07D8"},      // F0 leads three bytes
        {Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), u"\xD83D\xDE00"},
        {Bytes({}), u""},
    };
    for (const Case& c : cases) {
        std::string count(4, '\0');
        count[0] = static_cast<char>(c.payload.size());
        TStringStream in(Bytes({20}) + count + c.payload + "!");
        TReader reader(in);
        EXPECT_EQ(reader.ReadWideValue(), c.text) << ::testing::PrintToString(c.payload);
        EXPECT_EQ(reader.ReadTag(), '!'); // the whole payload is consumed
    }
}

TEST(Reader, TagsAnOperationDoesNotAccept) {
    struct Case {
        std::string bytes;
        std::string expected; // the value, or the message
    } cases[] = {
        {Bytes({7, 3, 'a', 'b', 'c'}), "abc"},
        {Bytes({0}), "Null"},
        {Bytes({8}), "False"},
        {Bytes({9}), "True"},
        {Bytes({13}), "nil"},
        {Bytes({6, 1, 'x'}), "Invalid property value"},
        {Bytes({21}), "Invalid property value"},
        {Bytes({200}), "Invalid property value"},
        {Bytes({7, 3, 'a'}), "Stream read error"},
    };
    for (const Case& c : cases) {
        TStringStream in(c.bytes);
        TReader reader(in);
        std::string got;
        std::string message = MessageOf([&] { got = reader.ReadIdentValue(); });
        EXPECT_EQ(got.empty() ? message : got, c.expected);
    }
    for (int tag : {0, 1, 5, 19, 128, 255}) {
        TStringStream in(Bytes({tag, 0, 0, 0, 0, 0, 0, 0, 0}));
        TReader reader(in);
        EXPECT_EQ(MessageOf([&] { reader.ReadInt32Value(); }), "Invalid property value") << tag;
    }
    TStringStream in(Bytes({1, 0}));
    TReader reader(in);
    EXPECT_EQ(MessageOf([&] { reader.ExpectTag(ValueTag::Collection); }), "Invalid property value");
    EXPECT_NO_THROW(reader.ReadEndMarker());
}

TEST(Reader, Signature) {
    for (std::string input : {std::string("TPF"), std::string("")}) {
        TStringStream in(input);
        TReader reader(in);
        EXPECT_EQ(MessageOf([&] { reader.CheckSignature(); }), "Stream read error");
    }
    TStringStream in("TPF1");
    TReader reader(in);
    EXPECT_EQ(MessageOf([&] { reader.CheckSignature(); }), "Invalid stream format");
}

TEST(Reader, UntrustedCountsFailWithoutLargeAllocations) {
    struct Case {
        std::string bytes;
        bool wide;
    } cases[] = {
        {Bytes({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}), false},
        {Bytes({12, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}), false},
        {Bytes({12, 0x00, 0x00, 0x00, 0x80}), false},
        {Bytes({18, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}), true},
        {Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}), true},
        {Bytes({18, 0x00, 0x00, 0x00, 0x40, 'a', 0}), true},
        {Bytes({18, 0xA0, 0x86, 0x01, 0, 'a', 0}), true}, // 200000 bytes claimed
        {Bytes({20, 0xFE, 0xFF, 0xFF, 0xFF, 'a'}), true},
        {Bytes({20, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}), true},
        {Bytes({20, 0x40, 0x0D, 0x03, 0, 'a'}), true}, // 200000 bytes claimed, 100001 there
    };
    for (const Case& c : cases) {
        TStringStream in(c.bytes + std::string(100000, 'z'));
        TReader reader(in);
        gLargestAllocation = 0;
        gTrackAllocations = true;
        std::string message = MessageOf([&] {
            if (c.wide) {
                reader.ReadWideValue();
            } else {
                reader.ReadAnsiValue();
            }
        });
        gTrackAllocations = false;
        EXPECT_EQ(message, "Stream read error") << ::testing::PrintToString(c.bytes);
        EXPECT_LE(gLargestAllocation, 4u << 20) << ::testing::PrintToString(c.bytes);
    }
}

// Inputs that end exactly at, and one byte past, a buffer boundary, read from
// a source that delivers everything at once and from one that delivers 7
// bytes at a time.
TEST(Reader, InputsEndingAroundBufferBoundaries) {
    for (int32_t size : {4095, 4096, 4097, 8192, 8193}) {
        for (int32_t chunk : {kFilerBufferSize, 7}) {
            std::string payload;
            for (int32_t i = 0; i < size - 9; ++i) payload.push_back(static_cast<char>('a' + i % 26));
            std::string bytes = "TPF0" + Written([&](TWriter& w) {
                w.WriteTag(ValueTag::LString);
                int32_t count = static_cast<int32_t>(payload.size());
                w.WriteRaw(&count, 4);
                w.WriteRaw(payload.data(), count);
            });
            ASSERT_EQ(static_cast<int32_t>(bytes.size()), size);
            SCOPED_TRACE(::testing::Message() << "size " << size << " chunk " << chunk);
            {
                ChunkyStream in(bytes, chunk);
                TReader reader(in);
                reader.CheckSignature();
                EXPECT_EQ(reader.ReadAnsiValue(), payload);
                EXPECT_EQ(MessageOf([&] { reader.PeekTag(); }), "Stream read error");
            }
            {
                // Byte by byte up to the end, then one byte too many.
                ChunkyStream in(bytes, chunk);
                TReader reader(in);
                std::string copy;
                for (int32_t i = 0; i < size; ++i) copy.push_back(static_cast<char>(reader.ReadTag()));
                EXPECT_EQ(copy, bytes);
                EXPECT_EQ(MessageOf([&] { reader.ReadTag(); }), "Stream read error");
                if (chunk == kFilerBufferSize) {
                    EXPECT_EQ(in.reads, (size + 4095) / 4096 + 1);
                }
            }
            {
                // The same value with its last byte missing.
                ChunkyStream in(bytes.substr(0, bytes.size() - 1), chunk);
                TReader reader(in);
                reader.CheckSignature();
                EXPECT_EQ(MessageOf([&] { reader.ReadAnsiValue(); }), "Stream read error");
            }
        }
    }
}

TEST(Reader, DestructionPutsTheSourceJustAfterTheLastByteConsumed) {
    std::string bytes = "TPF0" + std::string(10000, '\x02');
    {
        TStringStream in(bytes);
        in.SetPosition(1); // the reader starts at the stream's position
        {
            TReader reader(in);
            char three[3];
            reader.ReadRaw(three, 3);
            EXPECT_EQ(std::string(three, 3), "PF0");
            reader.ReadInt32Value();
            EXPECT_EQ(in.Position(), 4097);
        }
        EXPECT_EQ(in.Position(), 6);
    }
    {
        // After a failure: the byte that failed was consumed.
        TStringStream in(bytes);
        {
            TReader reader(in);
            reader.CheckSignature();
            EXPECT_THROW(reader.ExpectTag(ValueTag::List), EReadError);
        }
        EXPECT_EQ(in.Position(), 5);
    }
    {
        // After the source ran out.
        TStringStream in("TPF0\x06\x09xy");
        {
            TReader reader(in);
            reader.CheckSignature();
            EXPECT_THROW(reader.ReadAnsiValue(), EReadError);
        }
        EXPECT_EQ(in.Position(), 8);
    }
}

TEST(Writer, DestructionDeliversTheBufferedBytes) {
    TStringStream out;
    {
        TWriter writer(out);
        std::string data(5000, 'w');
        writer.WriteRaw(data.data(), 5000);
        EXPECT_EQ(out.GetSize(), 4096); // a full buffer goes to the stream whole
        try {
            TStringStream in("TPF0");
            TReader reader(in);
            reader.CheckSignature();
            writer.WriteRaw("tail", 4);
            reader.ReadTag(); // a conversion failing mid-way
        } catch (const EReadError&) {
        }
    }
    EXPECT_EQ(out.DataString(), std::string(5000, 'w') + "tail");
}

TEST(Writer, ShortWritesFailAndTheDestructorNeverThrows) {
    LimitedStream out(5000);
    {
        TWriter writer(out);
        std::string data(8192, 'w');
        EXPECT_EQ(MessageOf([&] { writer.WriteRaw(data.data(), 8192); }), "Stream write error");
        EXPECT_EQ(out.GetSize(), 5000);
        writer.WriteRaw("more", 4); // refused again when the writer is destroyed
    }
    EXPECT_EQ(out.GetSize(), 5000);
    LimitedStream small(2);
    {
        TWriter writer(small);
        writer.WriteRaw("abc", 3);
        EXPECT_THROW(writer.FlushOutput(), EWriteError);
    }
    EXPECT_EQ(small.DataString(), "ab");
}

} // namespace
} // namespace kep
