// A scratch directory per test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempDir {
    std::string path;  // ends with '/'
    TempDir()
    {
        char name[] = "/tmp/quillon-test-XXXXXX";
        path = std::string(mkdtemp(name)) + "/";
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string &file) const { return path + file; }
};
