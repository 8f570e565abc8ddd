// Writes the large archives of the extraction benchmarks, streaming one entry
// at a time so that memory stays at a few entries whatever the archive's size.
//
//   make_bench_archive raw DIR [--entries N] [--entry-mib M] [--parts P]
//       DIR/RAWBENCH.PAK (header and index) and RAWBENCH_00.PAK... holding
//       N stored entries of M MiB each, spread evenly over P companions.
//   make_bench_archive lzo DIR [--entries N] [--entry-mib M] [--parts P]
//       DIR/LZOBENCH.PAK and its companions, every entry an LZO block made by
//       lzo1x_1, half text-like and half texture-like data; and the same
//       expanded bytes as DIR/plain/entry_NNN, for other tools to compress.
//   make_bench_archive files DIR FILE...
//       DIR/FILESBENCH.PAK and FILESBENCH_00.PAK holding each FILE as it is,
//       as an entry named by the file's own name.
//   make_bench_archive folder DIR [--archives A] [--entries N]
//       A game's folder: A entry-point archives (GLOBAL.PAK, M01_AREA01.PAK,
//       ...) with a companion each, N small entries in all, named as a
//       game's textures, models, sounds and scripts are.
//   make_bench_archive versions DIR [--mib M] [--archives A] [--entry-kib K] [--one 1]
//       Two versions of a game's folder, DIR/v1 and DIR/v2, of about M MiB of
//       stored bytes each, in A archives of K KiB entries (half LZO-compressed
//       text, half plain texture data). v2 differs from v1 in one entry of
//       every hundred (one byte near its end), and each of its archives is
//       laid out anew (an entry added at the front moves every offset).
//       With --one 1 only DIR/v1 is written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <lzo/lzo1x.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
    std::string name;
    uint32_t offset;
    uint32_t size;
    int16_t part;
};

uint64_t g_state = 0x243F6A8885A308D3ull;

uint64_t Next()
{
    g_state ^= g_state << 13;
    g_state ^= g_state >> 7;
    g_state ^= g_state << 17;
    return g_state;
}

void PutU32LE(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU32BE(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Incompressible bytes, as stored media would be; never starting "LZO".
void FillRaw(Bytes &b)
{
    for (size_t i = 0; i + 8 <= b.size(); i += 8) {
        uint64_t v = Next();
        memcpy(b.data() + i, &v, 8);
    }
    b[0] = 'R';
}

// Dialogue and script text: words from a small vocabulary, lines and numbers.
void FillText(Bytes &b)
{
    static const char *const kWords[] = {
        "the", "lantern", "of", "Duskmoor", "burns", "low", "tonight", "and", "Mira", "walks",
        "north", "to", "gate", "tower", "seal", "crow", "bell", "rings", "<event", "name=",
        "\"bridge\"", "delay=", "/>", "STRING_ID", "fenholt", "road", "is", "closed", "guard:", "moss"};
    size_t at = 0;
    int column = 0;
    while (at < b.size()) {
        const char *w = kWords[Next() % 30];
        char piece[48];
        int n = (Next() % 9 == 0) ? snprintf(piece, sizeof piece, "%s_%u ", w, static_cast<unsigned>(Next() % 1000))
                                  : snprintf(piece, sizeof piece, "%s ", w);
        column += n;
        if (column > 70) {
            piece[n - 1] = '\n';
            column = 0;
        }
        size_t k = std::min(static_cast<size_t>(n), b.size() - at);
        memcpy(b.data() + at, piece, k);
        at += k;
    }
}

// DXT5-like blocks: smooth colour endpoints, alpha mostly opaque, index bits
// that vary from block to block as a real picture's do.
void FillTexture(Bytes &b)
{
    memset(b.data(), 0, b.size());
    const uint32_t side = 1024;
    size_t at = 0;
    for (uint32_t block = 0; at + 16 <= b.size(); ++block, at += 16) {
        uint32_t bx = block % (side / 4), by = (block / (side / 4)) % (side / 4);
        uint8_t *p = b.data() + at;
        p[0] = 255;
        p[1] = (bx + by) % 7 == 0 ? 128 : 255;
        uint64_t r = Next();
        if (r % 4 == 0)  // a quarter of the blocks carry alpha detail
            memcpy(p + 2, &r, 6);
        uint16_t c0 = static_cast<uint16_t>(((bx / 8) << 11) | ((by / 4) << 5) | ((bx + by) / 16));
        uint16_t c1 = static_cast<uint16_t>(c0 + 0x0841);
        p[8] = static_cast<uint8_t>(c0);
        p[9] = static_cast<uint8_t>(c0 >> 8);
        p[10] = static_cast<uint8_t>(c1);
        p[11] = static_cast<uint8_t>(c1 >> 8);
        uint32_t idx = (r >> 32) % 3 == 0 ? static_cast<uint32_t>(r >> 16) : 0x55555555u;
        memcpy(p + 12, &idx, 4);
    }
    memcpy(b.data(), "SYT1", 4);
}

bool WriteAll(FILE *f, const uint8_t *data, size_t n)
{
    return n == 0 || fwrite(data, 1, n, f) == n;
}

bool WriteIndex(const std::string &path, const std::vector<Record> &records)
{
    Bytes index(16 + records.size() * 88, 0);
    memcpy(index.data(), "PAK_", 4);
    PutU32LE(index.data() + 4, 1);
    PutU32LE(index.data() + 8, static_cast<uint32_t>(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        uint8_t *rec = index.data() + 16 + i * 88;
        memcpy(rec, records[i].name.data(), std::min<size_t>(records[i].name.size(), 64));
        PutU32LE(rec + 72, records[i].offset);
        PutU32LE(rec + 76, records[i].size);
        rec[80] = static_cast<uint8_t>(records[i].part);
        rec[81] = static_cast<uint8_t>(static_cast<uint16_t>(records[i].part) >> 8);
    }
    FILE *f = fopen(path.c_str(), "wb");
    bool ok = f && WriteAll(f, index.data(), index.size());
    return f && fclose(f) == 0 && ok;
}

int Usage()
{
    fprintf(stderr, "usage: make_bench_archive raw|lzo DIR [--entries N] [--entry-mib M] [--parts P]\n"
                    "       make_bench_archive files DIR FILE...\n"
                    "       make_bench_archive folder DIR [--archives A] [--entries N]\n"
                    "       make_bench_archive versions DIR [--mib M] [--archives A] [--entry-kib K]\n");
    return 2;
}

// The value of option `name` in argv[3...], or `fallback`.
size_t Option(int argc, char **argv, const char *name, size_t fallback)
{
    for (int i = 3; i + 1 < argc; i += 2)
        if (strcmp(argv[i], name) == 0)
            return std::strtoul(argv[i + 1], nullptr, 10);
    return fallback;
}

std::string ArchiveName(size_t a)
{
    char name[32];
    if (a == 0)
        return "GLOBAL";
    snprintf(name, sizeof name, "M%02zu_AREA%02zu", a, a * 7 % 23);
    return name;
}

// One archive: its index and its companion _00 holding `entries` in order.
bool WriteArchive(const std::string &base, const std::vector<std::pair<std::string, Bytes>> &entries)
{
    FILE *companion = fopen((base + "_00.PAK").c_str(), "wb");
    std::vector<Record> records;
    uint64_t end = 0;
    bool ok = companion != nullptr;
    for (const auto &[name, bytes] : entries) {
        ok = ok && end + bytes.size() <= 0x7FFFFFFFu && WriteAll(companion, bytes.data(), bytes.size());
        records.push_back({name, static_cast<uint32_t>(end), static_cast<uint32_t>(bytes.size()), 0});
        end += bytes.size();
    }
    ok = companion && fclose(companion) == 0 && ok;
    return ok && WriteIndex(base + ".PAK", records);
}

int WriteFolder(const std::string &dir, size_t archives, size_t entries)
{
    static const char *const kKinds[] = {"textures", "models", "sounds", "scripts", "materials"};
    static const char *const kThings[] = {"crate", "barrel", "torch", "door", "wall", "stone", "banner", "cart"};
    std::filesystem::create_directories(dir);
    for (size_t a = 0; a < archives; ++a) {
        std::vector<std::pair<std::string, Bytes>> list;
        const size_t n = entries / archives + (a < entries % archives ? 1 : 0);
        for (size_t i = 0; i < n; ++i) {
            const char *kind = kKinds[Next() % 5];
            char name[64];
            snprintf(name, sizeof name, "%s\\area%02zu\\%s_%05u_%c", kind, a, kThings[Next() % 8],
                     static_cast<unsigned>(Next() % 100000), "dnsx"[Next() % 4]);
            Bytes bytes(16 + Next() % 48);
            FillRaw(bytes);
            list.emplace_back(name, std::move(bytes));
        }
        if (!WriteArchive(dir + "/" + ArchiveName(a), list)) {
            perror(ArchiveName(a).c_str());
            return 1;
        }
    }
    printf("%s: %zu archives, %zu entries\n", dir.c_str(), archives, entries);
    return 0;
}

int WriteVersions(const std::string &dir, size_t mib, size_t archives, size_t entryKiB, bool both)
{
    if (lzo_init() != LZO_E_OK)
        return 1;
    std::filesystem::create_directories(dir + "/v1");
    if (both)
        std::filesystem::create_directories(dir + "/v2");
    Bytes data(entryKiB << 10), work(LZO1X_1_MEM_COMPRESS);
    auto store = [&](const Bytes &plain, bool compress) {
        if (!compress)
            return plain;
        Bytes packed(12 + plain.size() + plain.size() / 16 + 64 + 3);
        lzo_uint n = 0;
        lzo1x_1_compress(plain.data(), plain.size(), packed.data() + 12, &n, work.data());
        memcpy(packed.data(), "LZO", 4);
        PutU32BE(packed.data() + 4, static_cast<uint32_t>(plain.size()));
        PutU32BE(packed.data() + 8, static_cast<uint32_t>(n));
        packed.resize(12 + n);
        return packed;
    };
    const uint64_t perArchive = (static_cast<uint64_t>(mib) << 20) / archives;
    uint64_t stored = 0;
    size_t total = 0, changed = 0;
    for (size_t a = 0; a < archives; ++a) {
        std::vector<std::pair<std::string, Bytes>> older, newer;
        Bytes front(64);
        FillRaw(front);
        newer.emplace_back("patch\\notes.txt", front);
        for (uint64_t bytes = 0; bytes < perArchive; ++total) {
            const bool text = total % 2 == 0;
            text ? FillText(data) : FillTexture(data);
            char name[64];
            snprintf(name, sizeof name, text ? "text\\dialogue_%06zu.txt" : "textures\\ground_%06zu", total);
            Bytes one = store(data, text);
            bytes += one.size();
            older.emplace_back(name, one);
            if (total % 100 == 50) {
                data[data.size() - 5] ^= 0x5A;
                one = store(data, text);
                ++changed;
            }
            newer.emplace_back(name, std::move(one));
        }
        stored += perArchive;
        if (!WriteArchive(dir + "/v1/" + ArchiveName(a), older) ||
            (both && !WriteArchive(dir + "/v2/" + ArchiveName(a), newer))) {
            perror(ArchiveName(a).c_str());
            return 1;
        }
    }
    printf("%s/v1, v2: %zu archives, %zu entries, about %ju MiB stored each; %zu entries changed, %zu added\n",
           dir.c_str(), archives, total, static_cast<uintmax_t>(stored >> 20), changed, archives);
    return 0;
}

// Each of `files` stored whole, one after the other, in the one companion.
int WriteFiles(const std::string &dir, char **files, int count)
{
    std::filesystem::create_directories(dir);
    FILE *companion = fopen((dir + "/FILESBENCH_00.PAK").c_str(), "wb");
    if (!companion) {
        perror("FILESBENCH_00.PAK");
        return 1;
    }
    std::vector<Record> records;
    uint64_t end = 0;
    for (int i = 0; i < count; ++i) {
        FILE *in = fopen(files[i], "rb");
        Bytes bytes;
        uint8_t buffer[1 << 16];
        for (size_t n; in && (n = fread(buffer, 1, sizeof buffer, in)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        const bool read = in && !ferror(in) && end + bytes.size() <= UINT32_MAX;
        if (!read || !WriteAll(companion, bytes.data(), bytes.size())) {
            fprintf(stderr, "make_bench_archive: cannot store %s\n", files[i]);
            return 1;
        }
        fclose(in);
        records.push_back({std::filesystem::path(files[i]).filename().string(), static_cast<uint32_t>(end),
                           static_cast<uint32_t>(bytes.size()), 0});
        end += bytes.size();
    }
    const bool ok = fclose(companion) == 0 && WriteIndex(dir + "/FILESBENCH.PAK", records);
    if (ok)
        printf("%s/FILESBENCH.PAK: %zu entries, %llu bytes\n", dir.c_str(), records.size(),
               static_cast<unsigned long long>(end));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return Usage();
    const std::string mode = argv[1], dir = argv[2];
    if (mode == "files")
        return argc > 3 ? WriteFiles(dir, argv + 3, argc - 3) : Usage();
    if (mode == "folder")
        return WriteFolder(dir, std::max<size_t>(1, Option(argc, argv, "--archives", 40)),
                           Option(argc, argv, "--entries", 500000));
    if (mode == "versions")
        return WriteVersions(dir, Option(argc, argv, "--mib", 2048), std::max<size_t>(1, Option(argc, argv, "--archives", 8)),
                             std::max<size_t>(1, Option(argc, argv, "--entry-kib", 256)),
                             Option(argc, argv, "--one", 0) == 0);
    const bool lzo = mode == "lzo";
    if (!lzo && mode != "raw")
        return Usage();
    size_t entries = lzo ? 96 : 256, entryMiB = 4;
    int parts = 4;
    for (int i = 3; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--entries")
            entries = std::strtoul(argv[i + 1], nullptr, 10);
        else if (a == "--entry-mib")
            entryMiB = std::strtoul(argv[i + 1], nullptr, 10);
        else if (a == "--parts")
            parts = std::max(1, atoi(argv[i + 1]));
        else
            return Usage();
    }
    if ((argc - 3) % 2 != 0 || entries == 0 || entryMiB == 0 || entryMiB > 256)
        return Usage();

    std::filesystem::create_directories(dir);
    const std::string base = dir + (lzo ? "/LZOBENCH" : "/RAWBENCH");
    if (lzo) {
        std::filesystem::create_directories(dir + "/plain");
        if (lzo_init() != LZO_E_OK)
            return 1;
    }

    std::vector<FILE *> companions(static_cast<size_t>(parts));
    std::vector<uint64_t> ends(static_cast<size_t>(parts), 0);
    for (int p = 0; p < parts; ++p) {
        char name[32];
        snprintf(name, sizeof name, "_%02d.PAK", p);
        companions[p] = fopen((base + name).c_str(), "wb");
        if (!companions[p]) {
            perror(name);
            return 1;
        }
    }

    Bytes data(entryMiB << 20), packed, work(LZO1X_1_MEM_COMPRESS);
    std::vector<Record> records;
    uint64_t stored = 0, expanded = 0;
    for (size_t i = 0; i < entries; ++i) {
        const int part = static_cast<int>(i % static_cast<size_t>(parts));
        char name[64];
        const uint8_t *bytes = data.data();
        size_t size = data.size();
        if (!lzo) {
            FillRaw(data);
            snprintf(name, sizeof name, "raw/blob_%03zu.bin", i);
        } else {
            const bool text = i % 2 == 0;
            text ? FillText(data) : FillTexture(data);
            snprintf(name, sizeof name, text ? "text/dialogue_%03zu.txt" : "textures/ground_%03zu", i);
            char plain[48];
            snprintf(plain, sizeof plain, "/plain/entry_%03zu", i);
            FILE *f = fopen((dir + plain).c_str(), "wb");
            bool ok = f && WriteAll(f, data.data(), data.size());
            if (!f || fclose(f) != 0 || !ok) {
                perror(plain);
                return 1;
            }
            packed.resize(12 + data.size() + data.size() / 16 + 64 + 3);
            lzo_uint n = 0;
            if (lzo1x_1_compress(data.data(), data.size(), packed.data() + 12, &n, work.data()) != LZO_E_OK)
                return 1;
            memcpy(packed.data(), "LZO", 4);
            PutU32BE(packed.data() + 4, static_cast<uint32_t>(data.size()));
            PutU32BE(packed.data() + 8, static_cast<uint32_t>(n));
            bytes = packed.data();
            size = 12 + n;
        }
        if (ends[part] + size > 0x7FFFFFFFu) {
            fprintf(stderr, "companion %d would pass 2 GiB: use more parts\n", part);
            return 1;
        }
        if (!WriteAll(companions[part], bytes, size)) {
            perror("write");
            return 1;
        }
        records.push_back({name, static_cast<uint32_t>(ends[part]), static_cast<uint32_t>(size),
                           static_cast<int16_t>(part)});
        ends[part] += size;
        stored += size;
        expanded += data.size();
    }
    for (FILE *f : companions) {
        if (fclose(f) != 0) {
            perror("close");
            return 1;
        }
    }
    if (!WriteIndex(base + ".PAK", records)) {
        perror("index");
        return 1;
    }
    printf("%s.PAK: %zu entries, %ju bytes stored in %d companions, %ju bytes expanded\n", base.c_str(), entries,
           static_cast<uintmax_t>(stored), parts, static_cast<uintmax_t>(expanded));
    return 0;
}
