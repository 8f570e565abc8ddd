// A scratch directory per test, removed with everything in it afterwards, and
// reading back what was written into it.
#pragma once

#include "fixtures.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>

struct TempDir {
    std::string path;  // ends with '/'
    TempDir()
    {
#ifdef _WIN32
        // No mkdtemp: a random name under the system's temporary folder,
        // tried until one is new.
        const std::string base = std::filesystem::temp_directory_path().generic_string();
        std::random_device random;
        do
            path = base + "/quillon-test-" + std::to_string(random()) + "/";
        while (!std::filesystem::create_directory(path));
#else
        char name[] = "/tmp/quillon-test-XXXXXX";
        path = std::string(mkdtemp(name)) + "/";
#endif
    }
    ~TempDir()
    {
#ifdef _WIN32
        // Windows will not delete a read-only file, and tests make some.
        std::error_code ignored;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(path, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
#endif
        std::filesystem::remove_all(path);
    }
    std::string operator/(const std::string &file) const { return path + file; }
};

inline std::string ReadText(const std::string &path)
{
    Bytes b = Fixture_ReadFile(path);
    return std::string(b.begin(), b.end());
}

// Regular files and links under `root`, as relative paths.
inline std::set<std::string> FilesUnder(const std::string &root)
{
    namespace fs = std::filesystem;
    std::set<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_directory() || it->is_symlink())
            files.insert(fs::relative(it->path(), root).string());
    return files;
}

// Every regular file under `root` with its bytes, by relative path.
inline std::map<std::string, Bytes> FileTree(const std::string &root)
{
    std::map<std::string, Bytes> files;
    for (const std::string &name : FilesUnder(root))
        if (std::filesystem::is_regular_file(root + "/" + name))
            files[name] = Fixture_ReadFile(root + "/" + name);
    return files;
}
