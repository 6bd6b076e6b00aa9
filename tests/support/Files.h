#pragma once
// Whole-file reads and writes and fresh temporary folders for the tests and
// benchmarks (no GoogleTest here, so that the benchmarks can use it too).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kep::test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A new, empty folder named prefix-XXXXXX in the system's temporary folder;
// an empty path when it cannot be made.
inline fs::path MakeTempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

} // namespace kep::test
