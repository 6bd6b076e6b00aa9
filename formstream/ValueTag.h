#pragma once
#include <cstdint>

namespace kep {

// The tag byte in front of every value of a component stream.
enum class ValueTag : uint8_t {
    Null = 0, List = 1, Int8 = 2, Int16 = 3, Int32 = 4, Extended = 5, String = 6,
    Ident = 7, False = 8, True = 9, Binary = 10, Set = 11, LString = 12, Nil = 13,
    Collection = 14, Single = 15, Currency = 16, Date = 17, WString = 18, Int64 = 19,
    Utf8String = 20,
};

// The lower four bits of an object's prefix byte (hex F0 to FF).
enum ObjectFlag : uint8_t {
    Inherited = 1,
    ChildPosition = 2,
    Inline = 4,
};

} // namespace kep
