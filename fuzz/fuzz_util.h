// Helpers shared by the fuzz targets: a private scratch folder for the
// readers that take a path, and a check that stops the run on a broken
// promise of the code under test (the fuzzer then keeps the input).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

[[noreturn]] inline void FuzzFail(const char *what, const char *file, int line)
{
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    abort();
}

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : FuzzFail(#cond, __FILE__, __LINE__))

// A folder of this process's own, on tmpfs when there is one, so that
// writing the input as a file per run stays cheap. Removed with its files at exit.
class FuzzScratch {
public:
    static FuzzScratch &Get()
    {
        static FuzzScratch scratch;
        return scratch;
    }

    const std::string &Dir() const { return dir_; }

    std::string Path(const char *name) const { return dir_ + "/" + name; }

    // Writes the bytes as the file `name` in the folder; false when it cannot.
    bool Write(const char *name, const uint8_t *data, size_t size) const
    {
        FILE *f = fopen(Path(name).c_str(), "wb");
        if (!f)
            return false;
        bool ok = size == 0 || fwrite(data, 1, size, f) == size;
        return fclose(f) == 0 && ok;
    }

    // Makes `alias` a second name of the file `target` in the folder.
    void Alias(const char *target, const char *alias) const
    {
        unlink(Path(alias).c_str());
        if (symlink(target, Path(alias).c_str()) != 0) {
            perror("symlink");
            abort();
        }
    }

private:
    FuzzScratch()
    {
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/quillon-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            perror("mkdtemp");
            abort();
        }
        dir_ = pattern;
    }

    ~FuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string dir_;
};

inline uint32_t FuzzReadU32BE(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
