// Loading files whose size is not known in advance: a load fills its buffer
// exactly and stops at the end, and an endless source fails in bounded time.
#include "formstream/Exceptions.h"
#include "formstream/Stream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kep {
namespace {

// A pipe holds no size, so the buffer starts at 64 KiB and grows: contents
// around that size load whole, also one that fills the buffer exactly.
TEST(LoadFromFile, PipesLoadWholeAroundTheBufferSize) {
    char pattern[] = "/tmp/kep-load-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string fifo = std::string(pattern) + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (size_t size : {size_t{0}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{200000}}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + i / 256);
        std::thread writer([&] {
            FILE* f = std::fopen(fifo.c_str(), "wb");
            if (!f) return;
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        });
        TMemoryStream stream;
        stream.LoadFromFile(fifo);
        writer.join();
        ASSERT_EQ(stream.GetSize(), static_cast<int32_t>(size));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), size), bytes) << size;
    }
    std::filesystem::remove_all(pattern);
}

// An endless device under a small address-space limit: the buffer grows in
// steps of at least 64 KiB when it cannot grow geometrically, so the load
// runs out of memory quickly instead of crawling on a byte at a time.
TEST(LoadFromFile, EndlessDeviceFailsQuicklyWhenMemoryIsShort) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer needs far more address space than the limit";
#else
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct rlimit limit {};
        ::getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t{256} << 20);
        ::setrlimit(RLIMIT_AS, &limit);
        ::alarm(20);
        try {
            TMemoryStream stream;
            stream.LoadFromFile("/dev/zero");
        } catch (const EStreamError& error) {
            ::_exit(error.Message() == "Out of memory while expanding memory stream" ? 0 : 2);
        }
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

} // namespace
} // namespace kep
