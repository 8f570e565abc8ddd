// Random edit sequences on random archives. The input lays out a small set
// (entries in the entry-point file and companions, compressed or not,
// skipped records, optionally the shader form), then a run of edits and
// saves. After every save the check of every record passes, and every entry
// reads back, through the project's own reader, as the sequence says.
#include "fixtures.h"
#include "fuzz_util.h"
#include "pakwrite/pakwrite.h"

#include <optional>

namespace {

struct Cursor {
    const uint8_t *data;
    size_t size, pos = 0;
    uint8_t Next() { return pos < size ? data[pos++] : 0; }
    bool More() const { return pos < size; }
};

Bytes Resource(uint8_t seed, size_t size)
{
    Bytes b(size);
    uint32_t x = seed;
    // Runs and noise alike, so that some compress and some do not.
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = (seed & 1) ? static_cast<uint8_t>(x >> 16) : static_cast<uint8_t>('a' + (i / 97) % 3);
    }
    return b;
}

struct Expected {
    std::string name;
    Bytes resource;
};

std::string Name(Cursor &in)
{
    const size_t length = in.Next() % 70;
    std::string name;
    for (size_t i = 0; i < length; ++i)
        name += static_cast<char>('a' + in.Next() % 26);
    if (in.Next() & 1)
        name = "d\\" + name;
    return name;
}

void Check(const std::string &path, const std::vector<std::optional<Expected>> &model)
{
    PakVerifyReport report;
    std::string error;
    FUZZ_CHECK(PakWrite_Verify(path, report, error));
    FUZZ_CHECK(report.broken.empty());
    PakArchive archive;
    FUZZ_CHECK(Pak_OpenArchive(path, archive) == PakOpenResult::Ok);
    FUZZ_CHECK(archive.entries.size() == model.size());
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < model.size(); ++i) {
        const PakEntry &e = archive.entries[i];
        FUZZ_CHECK((e.displayName[0] != '\0') == model[i].has_value());
        if (!model[i])
            continue;
        FUZZ_CHECK(std::string(e.name, strnlen(e.name, 64)) == model[i]->name);
        FUZZ_CHECK(Pak_LoadEntry(archive, e, bytes) == PakLoadResult::Ok);
        FUZZ_CHECK(bytes == model[i]->resource);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Cursor in{data, size};
    FuzzScratch &scratch = FuzzScratch::Get();
    std::filesystem::remove_all(scratch.Dir());
    std::filesystem::create_directories(scratch.Dir());

    FixtureArchive fixture;
    fixture.shaderForm = in.Next() & 1;
    const size_t entries = in.Next() % 8;
    std::vector<std::optional<Expected>> model;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t place = in.Next(), seed = in.Next();
        Expected e{"e" + std::to_string(i), Resource(seed, (in.Next() * 37u) % 3000)};
        FixtureEntry f{e.name, e.resource, static_cast<int16_t>(place % 3 - 1), static_cast<uint16_t>(place & 4 ? 3 : 0)};
        if (place & 8)
            f.bytes = Fixture_LzoBlock(e.resource, false);
        f.skipped = place & 16;
        if (fixture.shaderForm)
            f.part = -1;
        fixture.entries.push_back(f);
        model.push_back(f.skipped ? std::nullopt : std::optional<Expected>(e));
    }
    const std::string path = scratch.Path(fixture.shaderForm ? "SHADERS.PAK" : "SET.PAK");
    FUZZ_CHECK(Fixture_WritePak(path, fixture));

    PakWriter w;
    std::string error;
    FUZZ_CHECK(PakWrite_Open(path, w, error));
    for (int ops = 0; in.More() && ops < 24; ++ops) {
        const uint8_t op = in.Next();
        const int32_t record = model.empty() ? 0 : static_cast<int32_t>(in.Next() % model.size());
        const bool isEntry = record < static_cast<int32_t>(model.size()) && model[record].has_value();
        const PakCompress mode = static_cast<PakCompress>(op / 8 % 4);
        PakSaveReport report;
        switch (op % 7) {
        case 0: {
            Bytes r = Resource(in.Next(), in.Next() * 53u);
            FUZZ_CHECK(PakWrite_Replace(w, record, r, mode, error) == isEntry);
            if (isEntry)
                model[record]->resource = r;
            break;
        }
        case 1: {
            const std::string name = Name(in);
            Bytes r = Resource(in.Next(), in.Next() * 29u);
            const int32_t added = PakWrite_Add(w, name, r, mode, error);
            FUZZ_CHECK((added >= 0) == (!name.empty() && name.size() <= 64));
            if (added >= 0) {
                FUZZ_CHECK(added == static_cast<int32_t>(model.size()));
                model.push_back(Expected{name, r});
            }
            break;
        }
        case 2:
            FUZZ_CHECK(PakWrite_Remove(w, record, error) == isEntry);
            if (isEntry)
                model[record].reset();
            break;
        case 3: {
            const std::string name = Name(in);
            const bool valid = isEntry && !name.empty() && name.size() <= 64;
            FUZZ_CHECK(PakWrite_Rename(w, record, name, error) == valid);
            if (valid)
                model[record]->name = name;
            break;
        }
        case 6: {
            FUZZ_CHECK(PakWrite_Save(w, {"", true}, report, error));
            std::vector<std::optional<Expected>> kept;
            for (auto &e : model)
                if (e)
                    kept.push_back(std::move(e));
            model.swap(kept);
            Check(path, model);
            break;
        }
        default:
            FUZZ_CHECK(PakWrite_Save(w, {}, report, error));
            Check(path, model);
            break;
        }
    }
    PakSaveReport report;
    FUZZ_CHECK(PakWrite_Save(w, {}, report, error));
    Check(path, model);
    return 0;
}
