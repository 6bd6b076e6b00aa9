// Text-to-binary speed and memory over two 64 MiB component streams:
//  (a) binary-heavy: a few properties with large binary values; compared, in
//      the same run, with "xxd -r -p" over xxd's hex of the same bytes;
//  (b) property-heavy: many objects with integers, short strings,
//      identifiers, sets, floats, lists and collections.
// Each conversion runs in a child process that holds only the text, so that
// its peak resident memory (getrusage) shows what the conversion itself needs.
//
// Usage: conversion_bench [MiB]   (default 64)
#include "formstream/BinaryToFormText.h"
#include "formstream/Filer.h"
#include "formstream/FormTextToBinary.h"
#include "tests/support/Streams.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kep;

namespace {

constexpr int kRuns = 3;
constexpr double kMiB = 1024.0 * 1024.0;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string BinaryHeavyStream(size_t total, size_t* largest, std::string* payload) {
    TStringStream bytes;
    std::mt19937_64 rng(1);
    {
        TWriter writer(bytes);
        writer.PutSignature();
        writer.WriteShortString("TImageList");
        writer.WriteShortString("Images");
        writer.WriteShortString("Width");
        writer.WriteInt32Value(720);
        const size_t kValues = 4;
        for (size_t i = 0; i < kValues; ++i) {
            size_t size = total / kValues - 64;
            std::string data(size, '\0');
            for (size_t j = 0; j + 8 <= size; j += 8) {
                uint64_t r = rng();
                std::memcpy(&data[j], &r, 8);
            }
            *largest = std::max(*largest, size);
            payload->append(data);
            writer.WriteShortString("Bitmap" + std::to_string(i));
            writer.WriteBinaryValue([&](TStream& out) { out.WriteBuffer(data.data(), static_cast<int32_t>(size)); });
        }
        writer.WriteEndMarker();
        writer.WriteEndMarker();
    }
    return bytes.TakeDataString();
}

std::string PropertyHeavyStream(size_t total) {
    TStringStream bytes;
    std::mt19937 rng(2);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    static const char* kIdents[] = {"clBtnFace", "clRed", "alClient", "taCenter", "bsDialog", "poScreenCenter"};
    static const char* kElements[] = {"akLeft", "akTop", "akRight", "akBottom", "fsBold", "fsItalic"};
    {
        TWriter writer(bytes);
        writer.PutSignature();
        writer.WriteShortString("TMenuPage");
        writer.WriteShortString("Page");
        writer.WriteShortString("Caption");
        writer.WriteWideValue(u"Main menu");
        writer.WriteEndMarker();
        int n = 0;
        while (static_cast<size_t>(bytes.GetSize()) + 4096 < total) {
            writer.WriteObjectPrefix(n % 7 == 0 ? ObjectFlag::ChildPosition : 0, n % 50);
            writer.WriteShortString(n % 3 ? "TMenuButton" : "TLabel");
            writer.WriteShortString("Button" + std::to_string(n++));
            writer.WriteShortString("Left");
            writer.WriteInt32Value(pick(800));
            writer.WriteShortString("Top");
            writer.WriteInt32Value(pick(600) - 20);
            writer.WriteShortString("Tag");
            writer.WriteInt64Value(static_cast<int64_t>(pick(1 << 30)) * 1000);
            writer.WriteShortString("Caption");
            writer.WriteWideValue(u"Chapter " + std::u16string(1, static_cast<char16_t>('A' + pick(26))) + u"'s title");
            writer.WriteShortString("Color");
            writer.WriteIdentValue(kIdents[pick(6)]);
            writer.WriteShortString("Visible");
            writer.WriteIdentValue(pick(2) ? "True" : "False");
            writer.WriteShortString("Anchors");
            writer.WriteTag(ValueTag::Set);
            for (int i = pick(4); i >= 0; --i) writer.WriteShortString(kElements[pick(6)]);
            writer.WriteShortString("");
            writer.WriteShortString("Font.Height");
            writer.WriteInt32Value(-11 - pick(20));
            writer.WriteShortString("Scale");
            writer.WriteExtendedValue(1 + pick(64) / 16.0L);
            writer.WriteShortString("Opacity");
            writer.WriteSingleValue(pick(1000) / 1000.0f);
            writer.WriteShortString("Price");
            writer.WriteCurrencyValue(pick(1000000));
            writer.WriteShortString("Points");
            writer.WriteListOpen();
            for (int i = pick(6); i >= 0; --i) writer.WriteInt32Value(pick(70000));
            writer.WriteEndMarker();
            writer.WriteShortString("Columns");
            writer.WriteTag(ValueTag::Collection);
            for (int i = pick(3); i >= 0; --i) {
                if (pick(2)) writer.WriteInt32Value(i);
                writer.WriteListOpen();
                writer.WriteShortString("Width");
                writer.WriteInt32Value(pick(300));
                writer.WriteShortString("Title");
                writer.WriteWideValue(u"Column");
                writer.WriteEndMarker();
            }
            writer.WriteEndMarker();
            writer.WriteEndMarker(); // properties
            writer.WriteEndMarker(); // no children
        }
        writer.WriteEndMarker();
    }
    return bytes.TakeDataString();
}

using test::StreamToText;

struct ChildReport {
    double bestSeconds;
    double outputBytes;
    double peakBytes;
    double startBytes;
};

// Converts text to a stream kRuns times in a child process that holds only
// the text; returns the best time, the output size and the peak memory.
ChildReport TimeTextToStream(std::string& text) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        ChildReport report{1e9, 0, 0, 0};
        {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            report.startBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
        }
        TStringStream input(std::move(text));
        for (int run = 0; run < kRuns; ++run) {
            input.SetPosition(0);
            TMemoryStream output;
            auto start = std::chrono::steady_clock::now();
            FormTextToBinary(input, output);
            report.bestSeconds = std::min(report.bestSeconds, Seconds(std::chrono::steady_clock::now() - start));
            report.outputBytes = output.GetSize();
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        report.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
        if (write(pipeEnds[1], &report, sizeof report) != sizeof report) _exit(1);
        _exit(0);
    }
    close(pipeEnds[1]);
    ChildReport report{};
    if (read(pipeEnds[0], &report, sizeof report) != sizeof report) {
        std::fprintf(stderr, "the conversion failed\n");
        std::exit(1);
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return report;
}

void PrintReport(double textBytes, const ChildReport& r, double largestBinary) {
    double bound = textBytes + r.outputBytes + largestBinary + 16 * kMiB;
    std::printf("  text2stream: %.3f s for %.1f MiB of text: %.0f MB/s of input\n", r.bestSeconds,
                textBytes / kMiB, textBytes / r.bestSeconds / 1e6);
    std::printf("  resident at start %.1f MiB\n", r.startBytes / kMiB);
    std::printf("  peak memory: %.1f MiB (bound: text %.1f + output %.1f + largest binary %.1f + 16 MiB = %.1f MiB)%s\n",
                r.peakBytes / kMiB, textBytes / kMiB, r.outputBytes / kMiB, largestBinary / kMiB, bound / kMiB,
                r.peakBytes <= bound ? "" : "  OVER");
}

// xxd's hex of the payload, in a fresh folder; empty when xxd is missing.
std::string WriteXxdHex(const std::string& payload, std::string* folder) {
    char name[] = "/tmp/kep-bench-XXXXXX";
    if (!mkdtemp(name)) return {};
    *folder = name;
    std::string raw = *folder + "/payload.bin";
    std::string hex = *folder + "/payload.hex";
    FILE* f = std::fopen(raw.c_str(), "wb");
    if (!f) return {};
    std::fwrite(payload.data(), 1, payload.size(), f);
    std::fclose(f);
    if (std::system(("xxd -p '" + raw + "' > '" + hex + "' 2>/dev/null").c_str()) != 0) return {};
    std::filesystem::remove(raw);
    return hex;
}

double TimeXxdReverse(const std::string& hex) {
    double best = -1;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(("xxd -r -p '" + hex + "' > /dev/null").c_str()) != 0) return -1;
        double s = Seconds(std::chrono::steady_clock::now() - start);
        best = best < 0 ? s : std::min(best, s);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    // Large buffers get mappings of their own, so that growing a memory
    // stream moves its pages instead of copying them; without this glibc
    // raises the threshold as big blocks are freed, and a later growth inside
    // the heap briefly holds the old and the new block.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    size_t total = mib << 20;
    std::printf("text2stream (FormTextToBinary), best of %d runs; MB = 10^6 bytes\n", kRuns);

    {
        size_t largest = 0;
        std::string payload;
        std::string text;
        {
            std::string stream = BinaryHeavyStream(total, &largest, &payload);
            std::printf("(a) binary-heavy stream: %.1f MiB\n", stream.size() / kMiB);
            text = StreamToText(stream);
        }
        std::string folder;
        std::string hex = WriteXxdHex(payload, &folder);
        std::string().swap(payload);
        malloc_trim(0);
        double textBytes = static_cast<double>(text.size());
        ChildReport report = TimeTextToStream(text);
        PrintReport(textBytes, report, static_cast<double>(largest));
        double xxd = hex.empty() ? -1 : TimeXxdReverse(hex);
        if (xxd > 0) {
            std::printf("  xxd -r -p: %.3f s on %.1f MiB of xxd's hex of the same bytes: text2stream is %.1fx faster "
                        "(target >= 10x)\n",
                        xxd, static_cast<double>(std::filesystem::file_size(hex)) / kMiB, xxd / report.bestSeconds);
        } else {
            std::printf("  xxd -r -p: xxd not available, no comparison\n");
        }
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
    {
        std::string text;
        {
            std::string stream = PropertyHeavyStream(total);
            std::printf("(b) property-heavy stream: %.1f MiB\n", stream.size() / kMiB);
            text = StreamToText(stream);
        }
        malloc_trim(0);
        double textBytes = static_cast<double>(text.size());
        ChildReport report = TimeTextToStream(text);
        PrintReport(textBytes, report, 0);
        std::printf("  target: >= 100 MB/s of input\n");
    }
    return 0;
}
