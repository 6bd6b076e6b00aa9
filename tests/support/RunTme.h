#pragma once
// Runs the tme tool as a program, the way a shell would, and catches its exit
// status and both outputs (for the tests built with KEP_TME_PATH).
#include "support/Files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace kep::test {

struct TmeResult {
    int Status = -1;
    std::string Out, Err;
};

// Runs tme with args and TMPDIR set to tmpDir; its output and error output go
// to the files "out" and "err" in ioDir.
inline TmeResult RunTme(const std::vector<std::string>& args, const std::filesystem::path& tmpDir,
                        const std::filesystem::path& ioDir) {
    std::vector<std::string> env = {"TMPDIR=" + tmpDir.string()};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> argv = {const_cast<char*>(KEP_TME_PATH)}, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string out = (ioDir / "out").string(), err = (ioDir / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    TmeResult result;
    if (posix_spawn(&pid, KEP_TME_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.Out = ReadFile(out);
    result.Err = ReadFile(err);
    return result;
}

} // namespace kep::test
