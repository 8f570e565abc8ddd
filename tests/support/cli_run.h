// Runs the real quillon-cli (and the sample maker) as a child process with
// its output captured, inside a temporary folder of the test's own.
#pragma once

#include "temp_dir.h"
#include "fixtures.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

struct CliResult {
    int status = -1;  // exit status, or 128 + signal (kKilledStatus past the time limit)
    std::string out, err;
    long peakKb = 0;  // the child's largest resident set in kilobytes (at least what the caller held)
};

// Every run has a time limit, so that a hang fails its test instead of blocking CI.
constexpr auto kRunTimeLimit = std::chrono::seconds(60);

// The status of a program killed (SIGKILL on Linux); on Windows, which has no
// signals, the status a killed run is given and a stopped writer exits with.
#ifdef SIGKILL
constexpr int kKilledStatus = 128 + SIGKILL;
#else
constexpr int kKilledStatus = 137;
#endif

#ifdef _WIN32
// The same run through CreateProcessW (host_win.cpp).
CliResult RunProgram(const std::string &program, const std::vector<std::string> &args, const TempDir &dir,
                     const std::string &stdoutPath = "", const std::string &cwd = "");
#else

// Runs `program` with `args`; stdin is /dev/null, stdout goes to `stdoutPath`
// (a capture file when empty), stderr to a capture file.
inline CliResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                            const TempDir &dir, const std::string &stdoutPath = "", const std::string &cwd = "")
{
    const std::string outPath = stdoutPath.empty() ? dir / ".stdout" : stdoutPath;
    const std::string errPath = dir / ".stderr";
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    // fork, not posix_spawn: a vfork child would start with this process's
    // peak resident size as its own and hide the program's.
    CliResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (in >= 0 && out >= 0 && err >= 0 && dup2(in, 0) == 0 && dup2(out, 1) == 1 && dup2(err, 2) == 2 &&
            (cwd.empty() || chdir(cwd.c_str()) == 0))
            execve(program.c_str(), argv.data(), environ);
        _exit(127);
    }
    if (pid > 0) {
        int status = 0;
        rusage usage{};
        const auto deadline = std::chrono::steady_clock::now() + kRunTimeLimit;
        for (auto pause = std::chrono::microseconds(200);; pause = std::min(pause * 2, decltype(pause)(20000))) {
            const pid_t done = wait4(pid, &status, WNOHANG, &usage);
            if (done == pid || (done < 0 && errno != EINTR))
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
                }
                break;
            }
            std::this_thread::sleep_for(pause);
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.peakKb = usage.ru_maxrss;
    }
    if (stdoutPath.empty())
        result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}
#endif

inline CliResult RunCli(const std::vector<std::string> &args, const TempDir &dir, const std::string &stdoutPath = "")
{
    return RunProgram(QUILLON_CLI, args, dir, stdoutPath);
}

// Writes the sample archives into `folder`; false when the sample maker fails.
inline bool MakeSamples(const std::string &folder, const TempDir &dir)
{
    return RunProgram(QUILLON_MAKE_SAMPLES, {folder}, dir).status == 0;
}
