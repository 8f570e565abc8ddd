// Opening a large archive: the index read (every displayName formed) through
// Pak_OpenArchive, then the list's sorted line order. Times several runs and
// measures the heap at its peak against the slots' own size.
// Usage: bench_open [--entries N] [--runs R] [--dir DIR] [--keep]
// (bench_open --rss-of PATH is the fresh process that measures resident memory.)
#include "fixtures.h"
#include "pak/pak.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

// ---- heap accounting: every operator new of this program is counted ----

static size_t g_heapNow = 0;
static size_t g_heapPeak = 0;

void *operator new(size_t n)
{
    void *p = malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    g_heapNow += malloc_usable_size(p);
    g_heapPeak = std::max(g_heapPeak, g_heapNow);
    return p;
}

void *operator new[](size_t n)
{
    return operator new(n);
}

void operator delete(void *p) noexcept
{
    if (p) {
        g_heapNow -= malloc_usable_size(p);
        free(p);
    }
}

void operator delete[](void *p) noexcept
{
    operator delete(p);
}

void operator delete(void *p, size_t) noexcept
{
    operator delete(p);
}

void operator delete[](void *p, size_t) noexcept
{
    operator delete(p);
}

namespace {

uint64_t g_seed = 0x5157494C4C4F4E21ull;

uint64_t Next()
{
    uint64_t z = (g_seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Names as a game archive holds them: folders of mixed case, words, numbers.
std::string MakeName()
{
    static const char *const kDirs[] = {"textures/characters/", "Textures/World/", "models/props/",
                                        "sounds/ambience/", "xml/events/", "materials/stone/",
                                        "effects/fire/", "Shaders/", "characters/anim/", "ui/"};
    static const char *const kWords[] = {"rock", "Gate", "lantern", "mira", "tower", "bell", "crow",
                                         "fenholt", "bridge", "ember", "Wall", "moss", "seal", "road"};
    static const char *const kExts[] = {"", ".xml", ".txt", "_d", "_n", ".mat"};
    std::string name = kDirs[Next() % 10];
    name += kWords[Next() % 14];
    name += "_" + std::to_string(Next() % 100000);
    if (Next() % 3 == 0) {
        name += "_";
        name += kWords[Next() % 14];
    }
    name += kExts[Next() % 6];
    return name.substr(0, 64);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In a fresh process, so that nothing else has touched memory yet: the
// growth of the peak resident size over one open and sort.
int MeasureRss(const std::string &path)
{
    const long before = MaxRssKiB();
    PakArchive archive;
    if (Pak_OpenArchive(path, archive) != PakOpenResult::Ok)
        return 1;
    const std::vector<int> order = Pak_SortedLines(archive);
    printf("%ld\n", MaxRssKiB() - before);
    return order.empty() ? 1 : 0;
}

long RssOfFreshOpen(const std::string &path)
{
    const std::string command = "/proc/" + std::to_string(getpid()) + "/exe --rss-of '" + path + "'";
    FILE *child = popen(command.c_str(), "r");
    long kib = -1;
    if (!child || fscanf(child, "%ld", &kib) != 1)
        kib = -1;
    if (child)
        pclose(child);
    return kib;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--rss-of") == 0)
        return MeasureRss(argv[2]);
    size_t entries = 100000;
    int runs = 11;
    std::string dir;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--entries" && i + 1 < argc)
            entries = std::strtoul(argv[++i], nullptr, 10);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--keep")
            keep = true;
        else {
            fprintf(stderr, "usage: bench_open [--entries N] [--runs R] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            perror("mkdtemp");
            return 1;
        }
        dir = pattern;
    }
    const std::string path = dir + "/GLOBAL.PAK";

    // The archive: the index in the entry-point file, the bytes in four
    // companions, one record in a thousand skipped.
    size_t skipped = 0;
    {
        FixtureArchive archive;
        archive.entries.reserve(entries);
        for (size_t i = 0; i < entries; ++i) {
            FixtureEntry e;
            e.name = MakeName();
            e.bytes.assign(16, static_cast<uint8_t>('a' + i % 26));
            e.part = static_cast<int16_t>(i % 4);
            e.skipped = i % 1000 == 999;
            skipped += e.skipped;
            archive.entries.push_back(std::move(e));
        }
        if (!Fixture_WritePak(path, archive)) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const size_t slotBytes = entries * sizeof(PakEntry);
    printf("archive: %s, %zu records (%zu skipped), entry-point file %ju bytes\n", path.c_str(), entries,
           skipped, static_cast<uintmax_t>(std::filesystem::file_size(path)));
    printf("sizeof(PakEntry) = %zu, slots' own size = %zu x %zu = %.1f MB\n", sizeof(PakEntry), entries,
           sizeof(PakEntry), slotBytes / 1e6);

    std::vector<double> total, open, sort;
    size_t peakOverBase = 0;
    const long rssGrowthKiB = RssOfFreshOpen(path);
    size_t lines = 0;
    for (int run = 0; run < runs; ++run) {
        const size_t base = g_heapNow;
        g_heapPeak = base;
        PakArchive archive;
        size_t sunk = 0;
        const auto t0 = std::chrono::steady_clock::now();
        if (Pak_OpenArchive(path, archive, [&](const PakEntry &) { ++sunk; }) != PakOpenResult::Ok) {
            fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        const std::vector<int> order = Pak_SortedLines(archive);
        const auto t2 = std::chrono::steady_clock::now();
        lines = order.size();
        if (sunk != lines || lines != entries - skipped) {
            fprintf(stderr, "read %zu lines (sink %zu), expected %zu\n", lines, sunk, entries - skipped);
            return 1;
        }
        peakOverBase = std::max(peakOverBase, g_heapPeak - base);
        using ms = std::chrono::duration<double, std::milli>;
        open.push_back(ms(t1 - t0).count());
        sort.push_back(ms(t2 - t1).count());
        total.push_back(ms(t2 - t0).count());
    }

    const double median = Median(total), best = *std::min_element(total.begin(), total.end());
    const double ratio = static_cast<double>(peakOverBase) / static_cast<double>(slotBytes);
    printf("lines: %zu\n", lines);
    printf("open + sorted lines: median %.1f ms, best %.1f ms, worst %.1f ms over %d runs "
           "(open median %.1f ms, sort median %.1f ms)\n",
           median, best, *std::max_element(total.begin(), total.end()), runs, Median(open), Median(sort));
    printf("time target <= 100 ms (median): %s\n", median <= 100.0 ? "met" : "MISSED");
    printf("peak heap during open + sort: %.1f MB = %.2f x the slots' own size; peak resident growth of one "
           "open + sort in a fresh process: %.1f MB (%.2f x)\n",
           peakOverBase / 1e6, ratio, rssGrowthKiB * 1024 / 1e6, rssGrowthKiB * 1024.0 / slotBytes);
    printf("memory target <= 2.00 x: %s\n", ratio <= 2.0 ? "met" : "MISSED");

    if (!keep) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    return 0;
}
