// quillon-cli putting images, .dds and WAV files into archives: the modder's
// loop through pack, extract and update, read back by the project's own
// texture decoder and WAV export; --as and the refusals.
#include "cli_run.h"
#include "import_fixtures.h"
#include "ogg_fixtures.h"

#include "texture/texture_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

uint32_t U32(const Bytes &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// Peak signal to noise of the colour channels, in dB.
double Psnr(const Bytes &a, const Bytes &b)
{
    double error = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3)
            error += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return error == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (error / (a.size() * 3 / 4)));
}

// An entry's resource as `export` writes it.
Bytes Exported(const std::string &archive, const std::string &entry, const TempDir &dir,
               const std::string &form = "")
{
    std::vector<std::string> args = {"export", archive, entry, "-o", dir / "exported"};
    if (!form.empty())
        args.push_back(form);
    return RunCli(args, dir).status == 0 ? Fixture_ReadFile(dir / "exported") : Bytes{};
}

}  // namespace

// pack converts by extension and names entries as extract names them back;
// extract's forms put back unchanged rewrite nothing; one edited PNG, .dds or
// WAV file replaces exactly its entry.
TEST(CliImport, ThePackExtractUpdateLoop)
{
    TempDir dir;
    const TextureImage smooth = Fixture_SmoothImage(256, 256, false);
    std::filesystem::create_directories(dir / "in/textures");
    std::filesystem::create_directories(dir / "in/sounds");
    Fixture_WriteFile(dir / "in/textures/smooth.png", Fixture_Png(smooth));
    Fixture_WriteFile(dir / "in/textures/other.tga", Fixture_Tga(Fixture_SmoothImage(64, 32, true)));
    WavFixture wav;
    wav.channels = 2;
    wav.rate = 22050;
    wav.frames = 30000;
    Fixture_WriteFile(dir / "in/sounds/tone.wav", Fixture_Wav(wav));
    Fixture_WriteFile(dir / "in/notes.txt", Fixture_FromString("left as it is"));
    const std::string p = dir / "P.PAK";
    CliResult r = RunCli({"pack", dir / "in", "-o", p, "--jobs", "2"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"list", p}, dir);
    EXPECT_EQ(r.out, "notes.txt [0000]\nsounds\\tone.ogg [0001]\ntextures\\other [0002]\ntextures\\smooth [0003]\n");

    // The texture decodes close to the image it came from.
    TextureImage decoded;
    ASSERT_TRUE(Texture_DecodeLevel(Exported(p, "#3", dir), 0, decoded, nullptr));
    ASSERT_EQ(decoded.rgba.size(), smooth.rgba.size());
    EXPECT_GT(Psnr(decoded.rgba, smooth.rgba), 35);
    // The sound comes back as a WAV of the same shape.
    const Bytes back = Exported(p, "#1", dir, "--wav");
    ASSERT_GE(back.size(), 44u);
    EXPECT_EQ(U32(back, 24), wav.rate);
    EXPECT_EQ(back[22], wav.channels);
    EXPECT_NEAR(double(U32(back, 40)) / 4, wav.frames, 2048);

    for (const char *form : {"--png", "--interpreted", "--wav"}) {
        SCOPED_TRACE(form);
        std::filesystem::remove_all(dir / "work");
        ASSERT_EQ(RunCli({"extract", p, "-o", dir / "work", form}, dir).status, 0);
        const Bytes before = Fixture_ReadFile(p);
        r = RunCli({"update", p, dir / "work"}, dir);
        EXPECT_EQ(r.out, "0 entries replaced, 0 entries added\n") << r.err;
        EXPECT_EQ(Fixture_ReadFile(p), before);
    }

    struct Edit {
        const char *form, *file, *entry, *conversion;
    };
    const Edit edits[] = {
        {"--png", "textures/smooth.png", "textures\\smooth [0003]", "image to texture"},
        {"--interpreted", "textures/other.dds", "textures\\other [0002]", ".dds to texture"},
        {"--wav", "sounds/tone.wav", "sounds\\tone.ogg [0001]", "WAV to Ogg Vorbis"},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.file);
        std::filesystem::remove_all(dir / "work");
        std::filesystem::remove_all(dir / "raw");
        ASSERT_EQ(RunCli({"extract", p, "-o", dir / "work", e.form}, dir).status, 0);
        ASSERT_EQ(RunCli({"extract", p, "-o", dir / "raw"}, dir).status, 0);
        const std::string file = dir / ("work/" + std::string(e.file));
        Bytes edited = Fixture_ReadFile(file);
        if (std::string(e.form) == "--png") {
            edited = Fixture_Png(Fixture_NoisyImage(128, 128, 20));
        } else if (std::string(e.form) == "--interpreted") {
            std::swap_ranges(edited.begin() + 128, edited.begin() + 144, edited.begin() + 144);  // two blocks
        } else {
            wav.toneHz = 880;
            edited = Fixture_Wav(wav);
        }
        Fixture_WriteFile(file, edited);

        r = RunCli({"update", p, dir / "work", "--dry-run"}, dir);
        EXPECT_EQ(r.out, "replace " + std::string(e.entry) + " (" + file + ", " + e.conversion +
                             ")\n1 entry replaced, 0 entries added (dry run: nothing changed)\n")
            << r.err;
        r = RunCli({"update", p, dir / "work"}, dir);
        EXPECT_EQ(r.out.rfind("1 entry replaced, 0 entries added, ", 0), 0u) << r.out << r.err;
        // Again: the file now makes the resource the entry holds.
        EXPECT_EQ(RunCli({"update", p, dir / "work"}, dir).out, "0 entries replaced, 0 entries added\n");
        EXPECT_EQ(RunCli({"verify", p}, dir).status, 0);

        // Every other entry holds what it held.
        std::filesystem::remove_all(dir / "after");
        ASSERT_EQ(RunCli({"extract", p, "-o", dir / "after"}, dir).status, 0);
        std::map<std::string, Bytes> was = FileTree(dir / "raw"), now = FileTree(dir / "after");
        const std::string name = std::string(e.entry).substr(0, std::string(e.entry).find(' '));
        std::string changed = name;
        std::replace(changed.begin(), changed.end(), '\\', '/');
        EXPECT_NE(was[changed], now[changed]);
        was.erase(changed);
        now.erase(changed);
        EXPECT_EQ(was, now);
        if (std::string(e.form) == "--interpreted") {  // .dds blocks go in unchanged
            EXPECT_EQ(Exported(p, e.entry, dir, "--interpreted"), edited);
        }
    }
}

// --as overrides the extension; what cannot be converted is refused with a
// message and leaves the archive as it was.
TEST(CliImport, AsOverridesAndRefusals)
{
    TempDir dir;
    Bytes texture = Fixture_Texture(64, 64, 1, 1, Fixture_PictureColour);
    texture[60] = 0xAB;  // a header byte nothing reads
    FixtureArchive a;
    a.entries = {{"sounds\\chime.ogg", Fixture_OggVorbis({})}, {"textures\\wall", texture}};
    const std::string p = dir / "A.PAK";
    ASSERT_TRUE(Fixture_WritePak(p, a));
    const Bytes png = Fixture_Png(Fixture_SmoothImage(32, 32, true));
    Fixture_WriteFile(dir / "image.png", png);
    Fixture_WriteFile(dir / "image.bin", png);
    Fixture_WriteFile(dir / "notes.txt", Fixture_FromString("text"));
    Fixture_WriteFile(dir / "model.obj", Fixture_FromString("v 0 0 0\n"));
    std::filesystem::create_directories(dir / "folder");
    Fixture_WriteFile(dir / "folder/model.obj", Fixture_FromString("v 0 0 0\n"));

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;  // in standard output (status 0) or error
    };
    const Case cases[] = {
        {{"add", p, "a", dir / "image.png", "--as", "raw"}, 0, "1 entry added as a [0002], "},
        {{"add", p, "b", dir / "image.bin", "--as", "texture"}, 0, "(image to texture)"},
        {{"add", p, "c", dir / "model.obj", "--as", "raw"}, 0, "1 entry added as c [0004], "},
        {{"replace", p, "#1", dir / "image.png"}, 0, "1 entry replaced (image to texture)"},
        {{"replace", p, "#0", dir / "image.png", "-o", dir / "B.PAK"}, 0, "1 entry replaced (image to texture)"},
        {{"add", p, "x", dir / "notes.txt", "--as", "texture"}, 1, "not a PNG, TGA, JPEG or BMP image"},
        {{"replace", p, "#0", dir / "notes.txt", "--as", "sound"}, 1, "notes.txt: "},
        {{"add", p, "x", dir / "model.obj"}, 1, "models are not made from files"},
        {{"pack", dir / "folder", "-o", dir / "C.PAK"}, 1, "models are not made from files"},
        {{"replace", p, "#1", dir / "model.obj"}, 1, "models are not made from files"},
        {{"add", p, "x", dir / "model.obj", "--as", "model"}, 1, "only gives new vertex data to an entry that holds a model"},
        {{"add", p, "x", dir / "image.png", "--as", "mesh"}, 2, "--as takes raw, texture, sound or model"},
        {{"add", p, "x", dir / "image.png", "--quality", "1.5"}, 2, "--quality needs a number from -0.1 to 1.0"},
        {{"add", p, "x", dir / "image.png", "--format", "dxt2"}, 2, "--format takes dxt1, dxt3 or dxt5"},
        {{"add", p, "d", dir / "image.png", "--format", "DXT3", "--cluster-fit"}, 0, "1 entry added as d [0005]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[c.args.size() - 1]);
        const Bytes before = Fixture_ReadFile(p);
        const CliResult r = RunCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.said), std::string::npos) << r.out << r.err;
        if (c.status != 0) {
            EXPECT_EQ(Fixture_ReadFile(p), before);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "C.PAK"));
    EXPECT_EQ(Exported(p, "#2", dir), png);
    EXPECT_NE(RunCli({"show", p, "#3", "--json"}, dir).out.find("\"kind\":\"texture\""), std::string::npos);
    EXPECT_NE(RunCli({"show", p, "#5", "--json"}, dir).out.find("\"format\":\"DXT3\""), std::string::npos);
    // A replaced texture keeps its format and the header bytes nothing reads;
    // a texture in place of a sound takes nothing from the sound's bytes.
    const Bytes wall = Exported(p, "#1", dir), fromSound = Exported(dir / "B.PAK", "#0", dir);
    ASSERT_GE(wall.size(), 128u);
    ASSERT_GE(fromSound.size(), 128u);
    EXPECT_EQ(U32(wall, 48), 1u);
    EXPECT_EQ(wall[60], 0xAB);
    EXPECT_EQ(Bytes(fromSound.begin(), fromSound.begin() + 28), Bytes({'S', 'Y', 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The sample models exported as OBJ, moved by a script's transform and put
// back: the OBJ exported again holds the moved positions and the same faces;
// an unchanged .glb leaves its entry alone; a file with a triangle fewer is
// refused naming the surface, and nothing is written.
TEST(CliImport, ModelVertexDataFromExportedFiles)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    const std::string p = dir / "s/GLOBAL.PAK";
    // x, y, z -> 2z + 1, y - 3, -0.5x: every v line of an OBJ.
    auto moved = [](const std::string &obj, bool move) {
        std::istringstream in(obj);
        std::string out, line;
        while (std::getline(in, line)) {
            double x, y, z;
            if (move && sscanf(line.c_str(), "v  %lf %lf %lf", &x, &y, &z) == 3) {
                char text[128];
                snprintf(text, sizeof text, "v  %.06f %.06f %.06f", 2 * z + 1, y - 3, -0.5 * x);
                line = text;
            }
            if (move || line.rfind("v  ", 0) != 0)
                out += line + "\n";
        }
        return out;
    };
    // The list lines of the models, as ENTRY arguments.
    std::vector<std::string> models;
    std::istringstream listed(RunCli({"list", p, "--long"}, dir).out);
    for (std::string line; std::getline(listed, line);)
        if (line.find("\tmodel\t") != std::string::npos || line.find("\tModel\t") != std::string::npos)
            models.push_back(line.substr(0, line.find('\t')));
    ASSERT_EQ(models.size(), 4u);
    for (const std::string &entry : models) {
        SCOPED_TRACE(entry);
        const Bytes objBytes = Exported(p, entry, dir, "--interpreted");
        const std::string obj(objBytes.begin(), objBytes.end());
        ASSERT_FALSE(obj.empty());
        Fixture_WriteFile(dir / "moved.obj", Fixture_FromString(moved(obj, true)));
        CliResult r = RunCli({"replace", p, entry, dir / "moved.obj"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("1 entry replaced (new model vertex data), ", 0), 0u) << r.out;
        const Bytes againBytes = Exported(p, entry, dir, "--interpreted");
        const std::string again(againBytes.begin(), againBytes.end());
        // All but the positions as they were; the positions as moved, within the floats the model holds.
        EXPECT_EQ(moved(again, false), moved(obj, false));
        std::istringstream want(moved(obj, true)), got(again);
        std::string w, g;
        int positions = 0;
        while (std::getline(want, w) && std::getline(got, g)) {
            double a[3], b[3];
            if (sscanf(w.c_str(), "v  %lf %lf %lf", &a[0], &a[1], &a[2]) != 3)
                continue;
            ASSERT_EQ(sscanf(g.c_str(), "v  %lf %lf %lf", &b[0], &b[1], &b[2]), 3);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(b[i], a[i], 2e-6 * std::max(1.0, std::fabs(a[i]))) << w << " | " << g;
            ++positions;
        }
        EXPECT_GT(positions, 0);
    }
    EXPECT_EQ(RunCli({"verify", p}, dir).status, 0);

    // The .glb and .gltf forms of extract, put back unchanged, change nothing.
    for (const char *form : {"--glb", "--gltf"}) {
        std::filesystem::remove_all(dir / "work");
        ASSERT_EQ(RunCli({"extract", p, "-o", dir / "work", form}, dir).status, 0);
        const Bytes before = Fixture_ReadFile(p);
        const CliResult r = RunCli({"update", p, dir / "work"}, dir);
        EXPECT_EQ(r.out, "0 entries replaced, 0 entries added\n") << r.err;
        EXPECT_EQ(Fixture_ReadFile(p), before);
    }

    const Bytes objBytes = Exported(p, models[0], dir, "--interpreted");
    std::string fewer(objBytes.begin(), objBytes.end());
    const size_t lastFace = fewer.rfind("\nf ");
    fewer.erase(lastFace, fewer.find('\n', lastFace + 1) - lastFace);
    Fixture_WriteFile(dir / "fewer.obj", Fixture_FromString(fewer));
    const Bytes before = Fixture_ReadFile(p);
    const CliResult r = RunCli({"replace", p, models[0], dir / "fewer.obj"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("in the model, "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("fewer.obj: surface "), std::string::npos) << r.err;
    EXPECT_EQ(Fixture_ReadFile(p), before);
}
