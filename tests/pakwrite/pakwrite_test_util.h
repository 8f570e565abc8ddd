// A set with entries of every kind of place (entry-point file, two
// companions, location 3, a skipped record, a compressed block with a
// non-zero byte 3) and its state as the project's own reader sees it.
#pragma once

#include "pak/pak.h"
#include "temp_dir.h"

#include <cstring>
#include <map>
#include <string>

inline Bytes Pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto &v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

inline Bytes TextBytes(size_t n, char c)
{
    return Bytes(n, static_cast<uint8_t>(c));
}

// Writes the set as DIR/SET.PAK (or SHADERS.PAK); the header's unknown words are made non-zero.
inline std::string WriteTestSet(const TempDir &dir, bool shader = false)
{
    FixtureArchive a;
    a.shaderForm = shader;
    Bytes block = Fixture_LzoBlock(TextBytes(5000, 'z'));
    block[3] = 0x5A;
    a.entries = {
        {"ep\\first.txt", TextBytes(300, 'a')},
        {"ep\\packed", block},
        {"c0\\one.bin", Pattern(4000, 1), 0},
        {"gone", TextBytes(10, 'g'), -1, 0, true},
        {"c1\\two.bin", Pattern(3000, 2), 1},
        {"loc3\\three", TextBytes(200, 'c'), 0, 3},
        {"c0\\packed", Fixture_LzoBlock(TextBytes(9000, 'y'), false), 0},
    };
    if (shader)
        for (auto &e : a.entries)
            e.part = -1;
    const std::string path = dir / (shader ? "SHADERS.PAK" : "SET.PAK");
    Fixture_WritePak(path, a);
    Bytes ep = Fixture_ReadFile(path);
    for (int i = 0; i < 4; ++i) {
        ep[4 + i] = static_cast<uint8_t>(0xA0 + i);
        ep[12 + i] = static_cast<uint8_t>(0xB0 + i);
    }
    Fixture_WriteFile(path, ep);
    return path;
}

// Every file of the folder, by name; writers' lock files (which stay) left out.
inline std::map<std::string, Bytes> FolderBytes(const TempDir &dir)
{
    std::map<std::string, Bytes> files;
    for (const std::string &name : FilesUnder(dir.path))
        if (name[0] != '.' && !(name.size() > 5 && name.compare(name.size() - 5, 5, ".lock") == 0))
            files[name] = Fixture_ReadFile(dir / name);
    return files;
}

// One record as the reader sees it: its 88-byte record (unknown words included,
// offset zeroed), its stored bytes and its resource; absent for skipped records.
struct SeenEntry {
    PakEntry record;
    Bytes stored, resource;
};

inline std::map<int, SeenEntry> ReadBack(const std::string &path)
{
    PakArchive archive;
    std::map<int, SeenEntry> seen;
    if (Pak_OpenArchive(path, archive) != PakOpenResult::Ok)
        return seen;
    for (const PakEntry &e : archive.entries) {
        if (e.displayName[0] == '\0')
            continue;
        SeenEntry s;
        s.record = e;
        s.record.offset = 0;
        if (FILE *file = fopen(GetEntryFilePath(archive, e).c_str(), "rb")) {
            s.stored.resize(e.size);
            if (fseeko(file, e.offset, SEEK_SET) != 0 || fread(s.stored.data(), 1, e.size, file) != e.size)
                s.stored.clear();
            fclose(file);
        }
        Pak_LoadEntry(archive, e, s.resource);
        seen[e.index] = s;
    }
    return seen;
}

inline bool SameRecord(const PakEntry &a, const PakEntry &b)
{
    return memcmp(&a, &b, 88) == 0 && a.index == b.index;
}
