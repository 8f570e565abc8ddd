// Runs the real quillon-cli (and the sample maker) as a child process with
// its output captured, inside a temporary folder of the test's own.
#pragma once

#include "temp_dir.h"
#include "fixtures.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
};

// Runs `program` with `args`; stdin is /dev/null, stdout goes to `stdoutPath`
// (a capture file when empty), stderr to a capture file.
inline CliResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                            const TempDir &dir, const std::string &stdoutPath = "", const std::string &cwd = "")
{
    const std::string outPath = stdoutPath.empty() ? dir / ".stdout" : stdoutPath;
    const std::string errPath = dir / ".stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    CliResult result;
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (stdoutPath.empty())
        result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

inline CliResult RunCli(const std::vector<std::string> &args, const TempDir &dir, const std::string &stdoutPath = "")
{
    return RunProgram(QUILLON_CLI, args, dir, stdoutPath);
}

// Writes the sample archives into `folder`; false when the sample maker fails.
inline bool MakeSamples(const std::string &folder, const TempDir &dir)
{
    return RunProgram(QUILLON_MAKE_SAMPLES, {folder}, dir).status == 0;
}
