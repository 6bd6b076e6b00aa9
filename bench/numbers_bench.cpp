// Times the number texts: FixedNotation, GeneralNotation and ParseExtended
// over a million random values each.
#include "formstream/NumberText.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kCount = 1'000'000;

// Random finite extended values: a random significand and a decimal
// magnitude spread over about 10^-40 to 10^40, with either sign.
std::vector<kep::Extended> RandomValues() {
    std::mt19937_64 random(20261210);
    std::uniform_int_distribution<int> exponent(16383 - 133, 16383 + 133);
    std::vector<kep::Extended> values;
    values.reserve(kCount);
    for (size_t i = 0; i < kCount; ++i) {
        const uint64_t significand = random() | (uint64_t{1} << 63);
        const auto top = static_cast<uint16_t>(exponent(random) | ((random() & 1) << 15));
        values.push_back(kep::ExtendedFromParts(top, significand));
    }
    return values;
}

template <typename Body>
void Time(const char* name, Body body) {
    const auto start = std::chrono::steady_clock::now();
    const size_t check = body();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%-16s %9zu calls  %8.1f ms  %7.1f ns/call  (check %zu)\n", name, kCount, seconds.count() * 1e3,
                seconds.count() * 1e9 / kCount, check);
}

} // namespace

int main() {
    const std::vector<kep::Extended> values = RandomValues();

    std::vector<std::string> texts;
    texts.reserve(kCount);
    for (size_t i = 0; i < kCount; ++i)
        texts.push_back(i % 2 ? kep::GeneralNotation(values[i]) : kep::FixedNotation(values[i]));

    Time("FixedNotation", [&] {
        size_t length = 0;
        for (const auto x : values)
            length += kep::FixedNotation(x).size();
        return length;
    });
    Time("GeneralNotation", [&] {
        size_t length = 0;
        for (const auto x : values)
            length += kep::GeneralNotation(x).size();
        return length;
    });
    Time("ParseExtended", [&] {
        size_t bits = 0;
        for (const auto& text : texts)
            bits += kep::ExtendedSignificand(kep::ParseExtended(text)) & 0xFF;
        return bits;
    });
    return 0;
}
