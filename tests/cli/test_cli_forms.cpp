// quillon-cli's forms for other programs: extract's per-kind forms on the
// sample archives, models as OBJ+MTL into one folder and as .glb (checked by
// the Khronos validator; assimp reads both writers' output in tests/convert),
// sounds as WAV files, list --json.
#include "cli_run.h"
#include "export/mtl_writer.h"

#include "../convert/readers.h"
#include "model/model.h"
#include "ogg_fixtures.h"
#include "pak/pak.h"
#include "sound/sound.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace {

// The samples of a 16-bit PCM WAV file, after checking its 44-byte header.
Bytes WavSamples(const Bytes &wav, uint32_t rate, uint32_t channels)
{
    const size_t headerSize = std::min<size_t>(wav.size(), 44);
    const uint32_t data = static_cast<uint32_t>(wav.size() - headerSize);
    Bytes header = Fixture_FromString("RIFF....WAVEfmt ....................data....");
    for (auto [at, value, size] : {std::tuple{4, data + 36, 4}, {16, 16u, 4}, {20, 1u, 2}, {22, channels, 2},
                                   {24, rate, 4}, {28, rate * channels * 2, 4}, {32, channels * 2, 2}, {34, 16u, 2},
                                   {40, data, 4}})
        for (int i = 0; i < size; ++i)
            header[at + i] = static_cast<uint8_t>(value >> (8 * i));
    EXPECT_EQ(Bytes(wav.begin(), wav.begin() + long(headerSize)), header);
    return Bytes(wav.begin() + long(headerSize), wav.end());
}

// Vertices the faces use and triangles, as a reader of the OBJ text sees them.
std::string ParseCounts(const Model &model)
{
    long vertices = 0, faces = 0;
    for (const ModelSurface &s : model.surfaces) {
        vertices += static_cast<long>(std::set<uint16_t>(s.indices.begin(), s.indices.end()).size());
        faces += s.indicesPerElement == 3 ? s.elementCount : s.elementCount - 2;
    }
    return std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces";
}

const std::string kUndecodable = "This sound could not be decoded, so it has no .wav form.";

}  // namespace

// The samples are the same on every run. Extract's per-kind forms over
// GLOBAL.PAK (9 textures, 4 models, 5 sounds; the rest as their bytes); each
// .wav holds what the decoder (compared with oggdec in tests/sound) gives for
// the .ogg extracted as it is.
TEST(CliSamples, ExtractAndExportEachKindsForm)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    ASSERT_TRUE(MakeSamples(dir / "again", dir));
    EXPECT_EQ(FilesUnder(dir / "again"), FilesUnder(dir / "s"));
    for (const std::string &f : FilesUnder(dir / "s"))
        EXPECT_EQ(Fixture_ReadFile(dir / "s/" + f), Fixture_ReadFile(dir / "again/" + f)) << f;
    // options, the number of files of each extension
    const std::pair<std::vector<std::string>, std::map<std::string, int>> rows[] = {
        {{"--png", "--glb", "--wav"}, {{".png", 9}, {".glb", 4}, {".wav", 5}, {".ogg", 0}, {".dds", 0}}},
        {{"--gltf"}, {{".gltf", 4}, {".bin", 4}, {".ogg", 5}}},
        {{"--obj-mtl", "--interpreted"}, {{".obj", 4}, {".mtl", 1}, {".dds", 9}, {".png", 7}}},
    };
    int n = 0;
    for (const auto &[options, extensions] : rows) {
        const std::string out = dir / ("x" + std::to_string(n++));
        std::vector<std::string> args{"extract", dir / "s/GLOBAL.PAK", "-o", out};
        args.insert(args.end(), options.begin(), options.end());
        const CliResult result = RunCli(args, dir);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find(" 0 skipped, 0 failed\n"), std::string::npos) << result.out;
        std::map<std::string, int> counts;
        for (const std::string &f : FilesUnder(out))
            ++counts[std::filesystem::path(f).extension().string()];
        for (const auto &[extension, count] : extensions)
            EXPECT_EQ(counts[extension], count) << options[0] << " " << extension;
    }
    // A model of a level archive (its floor texture the level's own, the rest
    // GLOBAL's) exported beside the extracted ones: one .mtl names all their
    // materials, and textures that are on disk; every .glb passes the validator.
    const std::string models = dir / "x2/models/env/";
    for (const char *form : {"--obj-mtl", "--glb"}) {
        const std::string path = models + (form[2] == 'o' ? "m5.obj" : "m5.glb");
        const CliResult result = RunCli({"export", dir / "s/M01_NIGHTMARE.PAK", "#5", "-o", path, form}, dir);
        ASSERT_EQ(result.status, 0) << result.err;
    }
    const std::string mtl = ReadText(models + "dkexport.mtl");
    for (const std::string material : {"env\\stone_wall", "env\\crate_broken", "env\\iron_plate", "env\\lava_flow",
                                       "m01\\floor_tiles"})
        EXPECT_NE(mtl.find("newmtl materials\\" + material + ".mat\n"), std::string::npos) << material;
    std::istringstream lines(mtl);
    int maps = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("map_", 0) == 0 || line.rfind("bump ", 0) == 0) {
            EXPECT_TRUE(std::filesystem::is_regular_file(models + line.substr(line.find(' ') + 1))) << line;
            ++maps;
        }
    }
    EXPECT_GE(maps, 5);
    EXPECT_TRUE(std::filesystem::is_regular_file(models + "textures/" + Mtl_TextureFileName("textures\\m01\\floor_tiles_d")));
    // assimp reads each extracted OBJ with our parse's counts; export writes the same file.
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "s/GLOBAL.PAK", archive), PakOpenResult::Ok);
    int objs = 0;
    for (const PakEntry &e : archive.entries) {
        std::string obj = dir / ("x2/" + std::string(e.name, strnlen(e.name, sizeof e.name)) + ".obj");
        std::replace(obj.begin(), obj.end(), '\\', '/');
        if (!Installed(kAssimp) || !std::filesystem::exists(obj))
            continue;
        Bytes bytes;
        ASSERT_EQ(Pak_LoadEntry(archive, e, bytes), PakLoadResult::Ok);
        Model *model = Model_Parse(bytes.data(), bytes.size());
        ASSERT_NE(model, nullptr) << obj;
        EXPECT_EQ(AssimpCounts(obj), ParseCounts(*model)) << obj;
        Model_Free(model);
        const CliResult one = RunCli({"export", dir / "s/GLOBAL.PAK", "#" + std::to_string(e.index), "-o",
                                      dir / "one.obj", "--interpreted"}, dir);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(ReadText(dir / "one.obj"), ReadText(obj));
        ++objs;
    }
    EXPECT_TRUE(objs == 4 || !Installed(kAssimp));
    const bool validate = Installed(kGltfValidatorProbe);
    for (const std::string &f : FilesUnder(dir.path)) {
        if (validate && f.ends_with(".glb")) {
            EXPECT_EQ(GltfValidatorErrors(dir / f), "") << f;
        }
    }
    for (const std::string &f : FilesUnder(dir / "x1")) {
        if (!f.ends_with(".ogg"))
            continue;
        Bytes pcm;
        int32_t rate = 0, channels = 0;
        ASSERT_TRUE(S_DecodeAll(Fixture_ReadFile(dir / ("x1/" + f)), pcm, rate, channels)) << f;
        const Bytes wav = Fixture_ReadFile(dir / ("x0/" + f.substr(0, f.size() - 4) + ".wav"));
        EXPECT_EQ(WavSamples(wav, uint32_t(rate), uint32_t(channels)), pcm) << f;
    }
}

// list --json: JSON Lines python reads, names with bytes above 127 read as
// Latin-1, each object agreeing with list --long's columns; the exact bytes of
// every line (a lone 0xC3 and a real "\xc3\x83" read alike as text), and the
// companion file as found on disk.
TEST(CliForms, ListJsonAgreesWithLongList)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"caf\xe9\\\xfc" "ber", Fixture_FromString("text")},
                                                  {"plain", Fixture_FromString("more"), 0},
                                                  {"a\xc3", Fixture_FromString("lone")},
                                                  {"a\xc3\x83", Fixture_FromString("utf-8")}}}));
    std::filesystem::rename(dir / "X_00.PAK", dir / "x_00.pak");
    for (const std::string &archive : {dir / "s/GLOBAL.PAK", dir / "X.PAK"}) {
        SCOPED_TRACE(archive);
        ASSERT_EQ(RunCli({"list", archive, "--json"}, dir, dir / "json").status, 0);
        ASSERT_EQ(RunCli({"list", archive, "--long"}, dir, dir / "long").status, 0);
        const std::string check =
            "import json, sys\n"
            "objs = [json.loads(l) for l in open(sys.argv[1], encoding='utf-8')]\n"
            "rows = [l.rstrip(b'\\n').split(b'\\t') for l in open(sys.argv[2], 'rb')]\n"
            "assert len(objs) == len(rows), (len(objs), len(rows))\n"
            "for o, r in zip(objs, rows):\n"
            "    assert bytes.fromhex(o['lineBytes']) == r[0], (o, r)\n"
            "    assert (o['size'], o['storedSize'], o['file'], o['compressed']) == "
            "(int(r[2]), int(r[3]), r[4].decode(), r[5] == b'yes'), (o, r)\n"
            "    assert o['line'].endswith('[%04d]' % o['record']), o\n"
            "    assert ('width' in o) == (o['kind'] == 'texture') and ('triangles' in o) == (o['kind'] == 'model')\n"
            "print(' '.join(sorted({o['file'] for o in objs})))\n";
        int status;
        const std::string out = Output("/usr/bin/python3 -c " + Quoted(check) + " " + Quoted(dir / "json") + " " +
                                           Quoted(dir / "long") + " 2>&1",
                                       &status);
        EXPECT_EQ(status, 0) << out;
        if (archive == dir / "X.PAK") {
            EXPECT_EQ(out, "X.PAK x_00.pak\n");
        }
    }
}

// A sound that does not decode fails alone; export --wav writes the same file or none.
TEST(CliWav, ExtractAndExportWriteSoundsAsWav)
{
    TempDir dir;
    const Bytes mono = Fixture_OggVorbis({.rate = 22050, .seconds = 0.4});
    const Bytes stereo = Fixture_OggVorbis({.channels = 2, .seconds = 0.3});
    const Bytes texture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"fx\\one.OGG", mono},
                                                  {"fx\\two", stereo},
                                                  {"fx\\bad.ogg", Bytes(mono.begin(), mono.begin() + 200)},
                                                  {"notes.txt", Fixture_FromString("words")},
                                                  {"wall", texture}}}));
    const std::string out = dir / "out";
    CliResult r = RunCli({"extract", dir / "X.PAK", "-o", out, "--wav", "--interpreted"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "fx\\bad.ogg [0002]: " + kUndecodable + " (fx/bad.wav)\n");
    EXPECT_EQ(FilesUnder(out), (std::set<std::string>{"fx/one.wav", "fx/two.wav", "notes.txt", "wall.dds"}));
    // (what the .wav files hold: CliSamples.ExtractAndExportEachKindsForm)
    const Bytes one = Fixture_ReadFile(out + "/fx/one.wav"), two = Fixture_ReadFile(out + "/fx/two.wav");
    EXPECT_EQ(r.out, "4 entries written, " + std::to_string(one.size() + two.size() + 5 + texture.size()) +
                         " bytes, 0 skipped, 1 failed\n");
    r = RunCli({"export", dir / "X.PAK", "fx\\two [0001]", "--wav", "-o", "-"}, dir);
    EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), two);

    const std::pair<const char *, std::string> refusals[] = {
        {"notes.txt [0003]", "This resource is not an Ogg Vorbis sound, so it has no .wav form.\n"},
        {"fx\\bad.ogg [0002]", kUndecodable + "\n"},
    };
    for (const auto &[entry, err] : refusals) {
        r = RunCli({"export", dir / "X.PAK", entry, "--wav", "-o", dir / "refused.wav"}, dir);
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.err, err) << entry;
        EXPECT_FALSE(std::filesystem::exists(dir / "refused.wav")) << entry;
    }
}
