// What a test needs of the system it runs on where Linux and Windows differ:
// scratch streams, pipes, FIFOs, a device whose writes fail, the environment.
// The Windows build runs its tests under Wine, so a case that needs something
// Windows lacks (a FIFO, a mount) asks `kOnWindows` and skips only itself.
#pragma once

#include "fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// A nameless file for reading and writing, gone when closed.
inline FILE *ScratchFile()
{
#ifdef _WIN32
    // The C runtime's tmpfile() makes its file in the root of the drive, which
    // a user may not write to: a name in the temporary folder instead, opened
    // to be deleted on close ("D").
    std::random_device random;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-scratch-" + std::to_string(random()));
    return _wfopen(path.c_str(), L"w+bD");
#else
    return tmpfile();
#endif
}

// Everything in `file`, whoever wrote it (its stream or its descriptor).
inline Bytes StreamBytes(FILE *file)
{
    Bytes bytes;
    if (fflush(file) != 0 || fseek(file, 0, SEEK_SET) != 0)
        return bytes;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    return bytes;
}

// A pipe in binary mode: fds[0] reads what fds[1] writes.
inline bool MakePipe(int fds[2])
{
#ifdef _WIN32
    return _pipe(fds, 65536, _O_BINARY) == 0;
#else
    return pipe(fds) == 0;
#endif
}

// A FIFO named `path`; false on Windows, whose file system has none.
inline bool MakeFifo(const std::string &path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return mkfifo(path.c_str(), 0644) == 0;
#endif
}

// A descriptor, and a stream, that take writes and fail every one of them: the
// full device on Linux; on Windows, which has none, the null device opened for
// reading only.
inline int OpenFailingWrites()
{
#ifdef _WIN32
    return open("NUL", O_RDONLY | O_BINARY);
#else
    return open("/dev/full", O_WRONLY);
#endif
}
inline FILE *FailingWriteStream()
{
#ifdef _WIN32
    return fopen("NUL", "rb");
#else
    return fopen("/dev/full", "wb");
#endif
}

// Whether the build machine's program behind the shell command `probe` runs.
// Never on Windows: the reference readers (oggdec, ogginfo, Pillow, ...) are
// the build machine's Linux programs, which a test under Wine cannot start.
inline bool Installed(const std::string &probe)
{
#ifdef _WIN32
    (void)probe;
    return false;
#else
    return system((probe + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

// This process's largest resident size so far, in kilobytes.
#ifdef _WIN32
long PeakResidentKb();  // host_win.cpp
#else
inline long PeakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
#endif

// Sets (or with nullptr removes) an environment variable that child processes inherit.
inline void SetEnv(const char *name, const char *value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

// An environment variable set for as long as the object lives.
struct EnvVar {
    const char *name;
    EnvVar(const char *n, const std::string &value) : name(n) { SetEnv(n, value.c_str()); }
    ~EnvVar() { SetEnv(name, nullptr); }
};
