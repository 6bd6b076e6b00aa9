// Opening and unpacking, and rebuilding, a pack of 100 members totalling
// 256 MiB, each timed against `cp` of the pack's bytes in the same run.
// Usage: pack_bench [FOLDER] (default: the system's temporary folder).
#include "document/PackFormat.h"
#include "document/NullDocumentWindow.h"
#include "document/TemplateDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace kep;
namespace fs = std::filesystem;

constexpr int kMembers = 100;
constexpr int64_t kTotal = 256ll << 20;
constexpr int kRuns = 5;

// Member sizes from about 0.5 to 4.6 MiB, adding up to 256 MiB.
std::vector<int64_t> MemberSizes() {
    std::vector<int64_t> sizes;
    int64_t sum = 0;
    for (int i = 0; i < kMembers; ++i) {
        sizes.push_back((512 << 10) + (static_cast<int64_t>(i * 37 % 100) * (42 << 10)));
        sum += sizes.back();
    }
    sizes.back() += kTotal - sum;
    return sizes;
}

void WriteMember(const fs::path& path, int64_t size, int seed) {
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 131 + static_cast<size_t>(seed)) >> 3);
    std::ofstream out(path, std::ios::binary);
    for (int64_t left = size; left > 0; left -= static_cast<int64_t>(block.size()))
        out.write(block.data(), static_cast<std::streamsize>(std::min<int64_t>(left, static_cast<int64_t>(block.size()))));
}

void ClearFolder(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

// The median of kRuns timings; the disk is synced before each run so that
// writeback of an earlier run does not land in a later one.
double Median(const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> seconds;
    for (int i = 0; i < kRuns; ++i) {
        prepare();
        ::sync();
        auto start = std::chrono::steady_clock::now();
        run();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[kRuns / 2];
}

void Copy(const fs::path& from, const fs::path& to) {
    std::string a = from.string(), b = to.string();
    char* argv[] = {const_cast<char*>("cp"), a.data(), b.data(), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) < 0 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "cp failed\n");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    std::string pattern = (base / "pack-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path root = pattern;
    try {
        fs::path source = root / "source", app = root / "app", out = root / "out";
        fs::create_directories(source);
        fs::create_directories(app);
        fs::create_directories(out);
        std::vector<int64_t> sizes = MemberSizes();
        NullDocumentWindow window;
        TemplateDocument document(window);
        DocumentState& state = document.State;
        state.WorkDir = source.string();
        state.PackHeader = std::string(kPackMagic) + kPackVersion;
        state.PackName = "Bench";
        state.PackNameLength = 5;
        for (int i = 1; i <= kMembers; ++i) {
            state.FileNames[i] = "member" + std::to_string(i) + (i % 3 ? ".jpg" : ".tme");
            WriteMember(source / state.FileNames[i], sizes[static_cast<size_t>(i - 1)], i);
            state.FileInfo[i] = {sizes[static_cast<size_t>(i - 1)], 0};
        }
        state.FileCount = kMembers;
        fs::path pack = root / "Bench.tme";
        document.RebuildPack(pack.string());
        int64_t packSize = static_cast<int64_t>(fs::file_size(pack));
        int64_t largest = *std::max_element(sizes.begin(), sizes.end());

        double cp = Median([&] { ClearFolder(out); }, [&] { Copy(pack, out / "copy.tme"); });
        document.AppDir = app.string();
        double open = Median([&] { ClearFolder(app); },
                             [&] {
                                 state.TemplateFileName = pack.string();
                                 document.LoadTemplate(pack.string());
                             });
        double rebuild = Median([&] { ClearFolder(out); }, [&] { document.RebuildPack((out / "rebuilt.tme").string()); });
        bool same = fs::file_size(out / "rebuilt.tme") == static_cast<uintmax_t>(packSize);

        rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        double peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
        double limitMiB = static_cast<double>(packSize + largest) / (1 << 20) + 64;
        std::printf("pack: %d members, %.1f MiB, largest member %.2f MiB; median of %d runs\n", kMembers,
                    static_cast<double>(packSize) / (1 << 20), static_cast<double>(largest) / (1 << 20), kRuns);
        std::printf("cp of the pack:      %.3f s\n", cp);
        std::printf("open and unpack:     %.3f s  (%.2fx cp, target 2x: %s)\n", open, open / cp,
                    open <= 2 * cp ? "met" : "MISSED");
        std::printf("rebuild:             %.3f s  (%.2fx cp, target 2x: %s)%s\n", rebuild, rebuild / cp,
                    rebuild <= 2 * cp ? "met" : "MISSED", same ? "" : "  SIZE DIFFERS");
        std::printf("peak memory (RSS):   %.1f MiB  (limit %.1f MiB: %s)\n", peakMiB, limitMiB,
                    peakMiB <= limitMiB ? "met" : "MISSED");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pack_bench: %s\n", error.what());
        fs::remove_all(root);
        return 1;
    }
    fs::remove_all(root);
    return 0;
}
