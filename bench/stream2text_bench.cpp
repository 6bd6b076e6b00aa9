// Times BinaryToFormText over two 64 MiB component streams:
//  (a) binary-heavy: a few properties with large binary values, side by side
//      with `xxd -p` over the same binary bytes in the same run;
//  (b) property-heavy: many objects with integers, short strings,
//      identifiers, sets, floats, lists and collections.
// Each case runs in a process of its own, so that the peak memory it reports
// (getrusage maxrss) belongs to that case alone.
#include "formstream/BinaryToFormText.h"
#include "formstream/Filer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace kep;

constexpr int32_t kTarget = 64 << 20;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The processor time of the last Convert, which other programs running on
// the machine at the same time do not inflate as much as the wall time.
double gLastCpu = 0;

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double MiB(int64_t bytes) { return bytes / 1048576.0; }

constexpr int kBinaryValues = 4;

void MakeBinaryHeavy(TMemoryStream& stream, std::string& binary) {
    std::mt19937_64 random(42);
    binary.resize(kTarget);
    for (size_t i = 0; i + 8 <= binary.size(); i += 8) {
        uint64_t v = random();
        std::memcpy(binary.data() + i, &v, 8);
    }
    TWriter writer(stream);
    writer.PutSignature();
    writer.WriteShortString("TImage");
    writer.WriteShortString("Picture");
    const size_t part = binary.size() / kBinaryValues;
    for (int k = 0; k < kBinaryValues; ++k) {
        writer.WriteShortString("Data" + std::to_string(k));
        writer.WriteTag(ValueTag::Binary);
        int32_t count = static_cast<int32_t>(part);
        writer.WriteRaw(&count, 4);
        writer.WriteRaw(binary.data() + k * part, count);
    }
    writer.WriteEndMarker();
    writer.WriteEndMarker();
    writer.FlushOutput();
}

void MakePropertyHeavy(TMemoryStream& stream) {
    TWriter writer(stream);
    writer.PutSignature();
    writer.WriteShortString("TForm");
    writer.WriteShortString("Form1");
    writer.WriteShortString("Caption");
    writer.WriteWideValue(u"Main menu");
    writer.WriteEndMarker();
    for (int32_t i = 0; stream.GetSize() < kTarget - 4096; ++i) {
        writer.WriteObjectPrefix(i % 7 == 0 ? ObjectFlag::ChildPosition : 0, i);
        writer.WriteShortString("TButton");
        writer.WriteShortString("Button" + std::to_string(i));
        writer.WriteShortString("Left");
        writer.WriteInt32Value(i % 800);
        writer.WriteShortString("Top");
        writer.WriteInt32Value(40000 + i);
        writer.WriteShortString("Caption");
        writer.WriteWideValue(i % 3 ? u"OK" : u"Cancel it's done\r\n");
        writer.WriteShortString("ModalResult");
        writer.WriteIdentValue("mrOk");
        writer.WriteShortString("Visible");
        writer.WriteIdentValue(i & 1 ? "True" : "False");
        writer.WriteShortString("Font.Style");
        writer.WriteTag(ValueTag::Set);
        writer.WriteShortString("fsBold");
        writer.WriteShortString("fsUnderline");
        writer.WriteShortString("");
        writer.WriteShortString("Ratio");
        writer.WriteSingleValue(0.25f * static_cast<float>(i % 13));
        if (i % 4 == 0) {
            writer.WriteShortString("Scale");
            writer.WriteExtendedValue(1.5L + i);
        }
        writer.WriteShortString("DesignSize");
        writer.WriteListOpen();
        writer.WriteInt32Value(337);
        writer.WriteInt32Value(-5);
        writer.WriteEndMarker();
        writer.WriteShortString("Columns");
        writer.WriteTag(ValueTag::Collection);
        writer.WriteInt32Value(0);
        writer.WriteListOpen();
        writer.WriteShortString("Width");
        writer.WriteInt32Value(64);
        writer.WriteEndMarker();
        writer.WriteEndMarker();
        writer.WriteEndMarker(); // properties
        writer.WriteEndMarker(); // children
    }
    writer.WriteEndMarker();
    writer.FlushOutput();
}

// Takes every byte and keeps none, as /dev/null does for xxd.
class NullStream : public TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t count) override {
        size_ += count;
        return count;
    }
    int32_t Seek(int32_t offset, SeekOrigin origin) override {
        return static_cast<int32_t>(origin == SeekOrigin::Beginning ? offset : size_ + offset);
    }
    void SetSize(int32_t) override {}
    int64_t Written() const { return size_; }

private:
    int64_t size_ = 0;
};

double Convert(TMemoryStream& input, TStream& output) {
    input.SetPosition(0);
    double cpu = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    BinaryToFormText(input, output);
    double seconds = Seconds(start);
    gLastCpu = CpuSeconds() - cpu;
    return seconds;
}

double RunXxd(const std::string& binary) {
    char path[] = "/tmp/kep-stream2text-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, binary.data(), binary.size()) != static_cast<ssize_t>(binary.size())) {
        std::perror("temporary file");
        std::exit(1);
    }
    close(fd);
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execlp("xxd", "xxd", "-p", path, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    double seconds = Seconds(start);
    unlink(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "xxd failed\n");
        return 0;
    }
    return seconds;
}

int BinaryHeavy() {
    TMemoryStream input;
    std::string binary;
    MakeBinaryHeavy(input, binary);
    NullStream sink;
    double toSink = Convert(input, sink);
    double toSinkCpu = gLastCpu;
    TMemoryStream output;
    double toMemory = Convert(input, output);
    double peak = PeakMiB();
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    double xxd = RunXxd(binary);
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto cpuOf = [](const rusage& u) {
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    double xxdCpu = cpuOf(after) - cpuOf(before);
    std::printf("(a) binary-heavy:   input %.1f MiB, text %.1f MiB\n"
                "    to a null sink %.1f ms (%.0f MiB/s of input); into a memory stream %.1f ms\n"
                "    peak RSS %.1f MiB (input + text + the binary copy kept for xxd = %.1f MiB)\n",
                MiB(input.GetSize()), MiB(output.GetSize()), toSink * 1e3, MiB(input.GetSize()) / toSink,
                toMemory * 1e3, peak,
                MiB(input.GetSize()) + MiB(output.GetSize()) + MiB(static_cast<int64_t>(binary.size())));
    if (xxd > 0) {
        std::printf("    xxd -p on the same %.1f MiB of binary bytes to /dev/null: %.1f ms; BinaryToFormText is "
                    "%.1fx faster to a null sink, %.1fx into memory\n"
                    "    processor time: xxd %.1f ms, BinaryToFormText to a null sink %.1f ms (%.1fx)\n",
                    MiB(static_cast<int64_t>(binary.size())), xxd * 1e3, xxd / toSink, xxd / toMemory, xxdCpu * 1e3,
                    toSinkCpu * 1e3, xxdCpu / toSinkCpu);
    }
    return 0;
}

int PropertyHeavy() {
    TMemoryStream input;
    MakePropertyHeavy(input);
    NullStream sink;
    double toSink = Convert(input, sink);
    double toSinkCpu = gLastCpu;
    TMemoryStream output;
    double toMemory = Convert(input, output);
    double peak = PeakMiB();
    std::printf("(b) property-heavy: input %.1f MiB, text %.1f MiB\n"
                "    to a null sink %.1f ms (%.0f MB/s of input; processor time %.1f ms, %.0f MB/s);\n"
                "    into a memory stream %.1f ms (%.0f MB/s)\n"
                "    peak RSS %.1f MiB (input + text = %.1f MiB)\n",
                MiB(input.GetSize()), MiB(output.GetSize()), toSink * 1e3, input.GetSize() / toSink / 1e6,
                toSinkCpu * 1e3, input.GetSize() / toSinkCpu / 1e6, toMemory * 1e3, input.GetSize() / toMemory / 1e6, peak, MiB(input.GetSize()) + MiB(output.GetSize()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::string which = argv[1];
        if (which == "binary") return BinaryHeavy();
        if (which == "property") return PropertyHeavy();
        std::fprintf(stderr, "usage: %s [binary|property]\n", argv[0]);
        return 2;
    }
    for (const char* which : {"binary", "property"}) {
        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], which, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    return 0;
}
