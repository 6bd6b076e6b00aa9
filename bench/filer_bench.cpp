// Times TWriter and TReader moving a 64 MiB component stream of small values
// (integers, short strings, identifiers, tags) through their 4096-byte buffers.
#include "formstream/Filer.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int32_t kTarget = 64 << 20;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    using namespace kep;
    const std::string names[] = {"Left", "Caption", "Font.Height", "TabOrder", "Visible"};
    TMemoryStream stream;
    int64_t values = 0;

    auto start = std::chrono::steady_clock::now();
    {
        TWriter writer(stream);
        writer.PutSignature();
        for (int32_t i = 0; stream.GetSize() < kTarget; ++i) {
            writer.WriteShortString(names[i % 5]);
            switch (i % 5) {
            case 0: writer.WriteInt32Value(i % 200); break;
            case 1: writer.WriteIdentValue(names[(i / 5) % 5]); break;
            case 2: writer.WriteInt32Value(-i); break;
            case 3: writer.WriteInt64Value(int64_t{i} << 20); break;
            default: writer.WriteIdentValue(i & 8 ? "True" : "False"); break;
            }
            ++values;
        }
        writer.FlushOutput();
    }
    double writeSeconds = Seconds(start);
    int32_t size = stream.GetSize();

    stream.SetPosition(0);
    int64_t check = 0;
    start = std::chrono::steady_clock::now();
    {
        TReader reader(stream);
        reader.CheckSignature();
        for (int64_t n = 0; n < values; ++n) {
            check += static_cast<int64_t>(reader.ReadShortString().size());
            uint8_t tag = reader.PeekTag();
            if (tag == static_cast<uint8_t>(ValueTag::Int64) || (tag >= 2 && tag <= 4)) {
                check += reader.ReadInt64Value();
            } else {
                check += static_cast<int64_t>(reader.ReadIdentValue().size());
            }
        }
    }
    double readSeconds = Seconds(start);

    double mib = size / 1048576.0;
    std::printf("stream: %.1f MiB, %lld names and values\n", mib, static_cast<long long>(values));
    std::printf("TWriter  %8.1f ms  %7.1f MiB/s\n", writeSeconds * 1e3, mib / writeSeconds);
    std::printf("TReader  %8.1f ms  %7.1f MiB/s  (check %lld)\n", readSeconds * 1e3, mib / readSeconds,
                static_cast<long long>(check));
    return 0;
}
