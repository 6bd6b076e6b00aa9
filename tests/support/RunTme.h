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

// The argument and environment vectors of one run of tme with TMPDIR set to
// tmpDir. Not copyable: argv and envp point into the object's own strings.
class TmeCommandLine {
public:
    TmeCommandLine(const std::vector<std::string>& args, const std::filesystem::path& tmpDir)
        : args_(args) {
        env_.push_back("TMPDIR=" + tmpDir.string());
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("TMPDIR=", 0) != 0) env_.emplace_back(*e);
        argv_.push_back(const_cast<char*>(KEP_TME_PATH));
        for (auto& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
        for (auto& e : env_) envp_.push_back(e.data());
        envp_.push_back(nullptr);
    }
    TmeCommandLine(const TmeCommandLine&) = delete;
    TmeCommandLine& operator=(const TmeCommandLine&) = delete;

    char* const* Argv() const { return argv_.data(); }
    char* const* Envp() const { return envp_.data(); }

private:
    std::vector<std::string> args_, env_;
    std::vector<char*> argv_, envp_;
};

// Runs tme with args and TMPDIR set to tmpDir; its output and error output go
// to the files "out" and "err" in ioDir.
inline TmeResult RunTme(const std::vector<std::string>& args, const std::filesystem::path& tmpDir,
                        const std::filesystem::path& ioDir) {
    TmeCommandLine commandLine(args, tmpDir);
    std::string out = (ioDir / "out").string(), err = (ioDir / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    TmeResult result;
    if (posix_spawn(&pid, KEP_TME_PATH, &actions, nullptr, commandLine.Argv(), commandLine.Envp()) == 0) {
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
