// quillon-make-samples DIR: writes a small, realistic set of archives to try
// the viewer and quillon-cli on. The output is the same byte for byte on
// every run.
#include "fixtures.h"
#include "model_fixtures.h"
#include "ogg_fixtures.h"

#include "base/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// ---- textures ----

Rgb NormalColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    // A flat normal map with a faint brick pattern.
    return ((by % 4 == 0) || ((bx + (by / 4) * 2) % 8 == 0)) ? Rgb{110, 110, 250} : Rgb{128, 128, 255};
}

Rgb MissingColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return ((bx + by) % 2) ? Rgb{255, 0, 255} : Rgb{0, 0, 0};
}

Rgb FlameColour(uint32_t bx, uint32_t by, uint32_t blocksX, uint32_t blocksY)
{
    // Hot at the bottom centre, cooling upwards.
    int dx = static_cast<int>(bx * 2 + 1) - static_cast<int>(blocksX);
    int heat = static_cast<int>(by * 255 / (blocksY ? blocksY : 1)) - (dx < 0 ? -dx : dx) * 24;
    if (heat < 0)
        heat = 0;
    return Rgb{static_cast<uint8_t>(60 + heat * 195 / 255), static_cast<uint8_t>(heat * 160 / 255),
               static_cast<uint8_t>(heat / 6)};
}

Rgb TileColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return ((bx / 4 + by / 4) % 2) ? Rgb{90, 80, 70} : Rgb{150, 140, 120};
}

// ---- texts ----

const char kReadme[] =
    "Duskmoor sample archives\n"
    "========================\n"
    "\n"
    "These archives were written by quillon-make-samples so that Quillon has\n"
    "something to open. GLOBAL.PAK keeps most of its bytes in GLOBAL_00.PAK and\n"
    "GLOBAL_01.PAK, the way the game's own archives do.\n"
    "\n"
    "  docs\\readme.txt                 this text\n"
    "  textures\\env\\stone_wall_d       DXT1, 256 x 256, 9 mip levels: a ring on stripes\n"
    "  textures\\ui\\compass             DXT5, 128 x 64, stored LZO-compressed\n"
    "  materials\\env\\stone_wall        the material that names both stone_wall maps\n"
    "  scripts\\level01.xml             XML without a byte-order mark\n"
    "  scripts\\events\\intro.xml        XML with a UTF-8 byte-order mark\n"
    "  effects\\torch_fire              an effect container and its dependencies\n"
    "  characters\\hero\\hero_idle       character animation data\n"
    "  data\\navmesh\\level01.nav        bytes no preview knows\n"
    "  sounds\\ui\\chime.ogg             a bell chime, mono 44100 Hz, under a second\n"
    "  sounds\\ui\\confirm.ogg           two rising notes, stereo 22050 Hz\n"
    "  sounds\\fx\\water_drip.ogg        a drip and its echo, mono 22050 Hz\n"
    "  sounds\\amb\\dusk_sweep.ogg       a slow sweep, mono 44100 Hz, four seconds\n"
    "  sounds\\music\\chapel_bells.ogg   four bells, stereo 44100 Hz, stored LZO-compressed\n"
    "  models\\env\\iron_door          iron with normal and specular maps, and a strip\n"
    "  models\\env\\crate_broken       its material's texture is missing: __missingtexture\n"
    "  models\\env\\lava_pool          a scrolling material, stored LZO-compressed\n"
    "  models\\env\\colonnade          thirty surfaces in one shared vertex buffer\n"
    "  (M01_NIGHTMARE.PAK: models\\m01\\altar takes materials from both archives)\n"
    "\n"
    "Open GLOBAL.PAK with File > Open and pick a line on the left. F2 exports\n"
    "the raw bytes, F3 the interpreted form (.dds for textures, .obj for models,\n"
    ".ogg for sounds).\n"
    "Sounds play when they are selected with \"Play on click\" ticked.\n";

const char kStoneWallMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\env\\chapel\\stone_wall.rtm\n"
    "Class Standard\n"
    "numTextures 2\n"
    "Texture 0 WRAP WRAP textures\\env\\stone_wall_d\n"
    "Texture 1 WRAP WRAP textures\\env\\stone_wall_n\n"
    "AlphaTestMode NONE\n"
    "FinalBlend NONE\n"
    "RenderState\n"
    "{\n"
    "    ZTest TRUE\n"
    "    ZWrite TRUE\n"
    "    BackfaceCull TRUE\n"
    "}\n"
    "UVelocity 0.000000\n"
    "VVelocity 0.000000\n";

const char kFlameMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\fx\\fire\\flame_additive.rtm\n"
    "Class Particle\n"
    "numTextures 1\n"
    "Texture 0 CLAMP WRAP textures\\fx\\flame_d\n"
    "AlphaTestMode NONE\n"
    "FinalBlend ADD\n"
    "RenderState\n"
    "{\n"
    "    ZTest TRUE\n"
    "    ZWrite FALSE\n"
    "    BackfaceCull FALSE\n"
    "}\n"
    "UVelocity 0.000000\n"
    "VVelocity -0.350000\n";

const char kFloorMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\m01\\floor_tiles.rtm\n"
    "Class Standard\n"
    "numTextures 1\n"
    "Texture 0 WRAP WRAP textures\\m01\\floor_tiles_d\n"
    "AlphaTestMode NONE\n"
    "FinalBlend NONE\n"
    "UVelocity 0.000000\n"
    "VVelocity 0.000000\n";

const char kWaterMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: shaders\\water.rtm\n"
    "Class Water\n"
    "numTextures 2\n"
    "Texture 0 WRAP WRAP textures\\env\\water_d\n"
    "Texture 1 WRAP WRAP textures\\env\\water_n\n"
    "FinalBlend ALPHA\n"
    "ZWrite FALSE\n"
    "UVelocity 0.020000\n"
    "VVelocity 0.015000\n";

const char kGlassMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: shaders\\glass.rtm\n"
    "Class Standard\n"
    "numTextures 1\n"
    "Texture 0 CLAMP CLAMP textures\\env\\glass_d\n"
    "AlphaTestMode ALPHA\n"
    "FinalBlend MULTIPLY\n"
    "BackfaceCull FALSE\n";

const char kLevelXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<level name=\"level01\" title=\"The Chapel Ruins\">\n"
    "  <spawn id=\"player\" x=\"12.5\" y=\"-4.0\" z=\"0.0\" yaw=\"90\"/>\n"
    "  <trigger id=\"chapel_door\" script=\"scripts\\events\\intro.xml\" once=\"true\"/>\n"
    "  <light type=\"point\" x=\"3.0\" y=\"2.0\" z=\"4.5\" radius=\"12\" colour=\"1.0 0.8 0.5\"/>\n"
    "  <prop model=\"models\\env\\pew_broken\" material=\"materials\\env\\stone_wall\"/>\n"
    "  <effect name=\"effects\\torch_fire\" x=\"3.0\" y=\"2.0\" z=\"3.9\"/>\n"
    "</level>\n";

const char kIntroXmlBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- chapel door cut-scene -->\n"
    "<events>\n"
    "  <event at=\"0.0\" action=\"fade_in\" seconds=\"2.0\"/>\n"
    "  <event at=\"1.5\" action=\"say\" who=\"hero\" line=\"Someone has been here before me.\"/>\n"
    "  <event at=\"4.0\" action=\"camera\" target=\"chapel_door\" seconds=\"3.0\"/>\n"
    "  <event at=\"7.5\" action=\"play\" sound=\"sounds\\fx\\door_creak\"/>\n"
    "</events>\n";

const char kNightmareXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<level name=\"m01_nightmare\" title=\"Nightmare\">\n"
    "  <spawn id=\"player\" x=\"0.0\" y=\"0.0\" z=\"0.0\" yaw=\"0\"/>\n"
    "  <fog colour=\"0.1 0.05 0.15\" start=\"4\" end=\"40\"/>\n"
    "  <effect name=\"effects\\m01\\candle\" x=\"1.0\" y=\"2.0\" z=\"1.1\"/>\n"
    "</level>\n";

const char kVertexProgram[] =
    "!!ARBvp1.0\n"
    "# per-pixel lighting: light vector into tangent space\n"
    "ATTRIB pos = vertex.position;\n"
    "PARAM mvp[4] = { state.matrix.mvp };\n"
    "PARAM light = program.local[0];\n"
    "TEMP l;\n"
    "DP4 result.position.x, mvp[0], pos;\n"
    "DP4 result.position.y, mvp[1], pos;\n"
    "DP4 result.position.z, mvp[2], pos;\n"
    "DP4 result.position.w, mvp[3], pos;\n"
    "SUB l, light, pos;\n"
    "DP3 result.texcoord[1].x, l, vertex.attrib[9];\n"
    "DP3 result.texcoord[1].y, l, vertex.attrib[10];\n"
    "DP3 result.texcoord[1].z, l, vertex.normal;\n"
    "MOV result.texcoord[0], vertex.texcoord[0];\n"
    "END\n";

const char kFragmentProgram[] =
    "!!ARBfp1.0\n"
    "# diffuse times the normal map's dot product with the light vector\n"
    "TEMP n, l, d;\n"
    "TEX d, fragment.texcoord[0], texture[0], 2D;\n"
    "TEX n, fragment.texcoord[0], texture[1], 2D;\n"
    "MAD n, n, 2.0, -1.0;\n"
    "DP3 l.w, fragment.texcoord[1], fragment.texcoord[1];\n"
    "RSQ l.w, l.w;\n"
    "MUL l, fragment.texcoord[1], l.w;\n"
    "DP3_SAT l, n, l;\n"
    "MUL result.color, d, l;\n"
    "END\n";

const char kNotes[] =
    "m01 nightmare - level notes\n"
    "\n"
    "- the candles must stay lit while the player is in the nave\n"
    "- floor tiles use materials\\m01\\floor_tiles\n"
    "- fog fades in over four seconds after the door closes\n";

// A long dialogue script: repetitive, as such files are, so it compresses well.
std::string DialogueText()
{
    const char *speakers[] = {"HERO", "SEXTON", "WIDOW MARL", "HERO"};
    const char *lines[] = {
        "The bell has not rung since the flood.",
        "Then who lit the candles in the nave?",
        "Nobody goes past the chapel door after dark.",
        "I will need the key from the sexton's house.",
        "Mind the stones by the well, they move at night.",
    };
    std::string text = "; chapter 1 dialogue, generated from the writers' sheet\n";
    for (int scene = 1; scene <= 40; ++scene) {
        char head[64];
        snprintf(head, sizeof head, "\n[scene %02d]\n", scene);
        text += head;
        for (int i = 0; i < 8; ++i) {
            text += speakers[(scene + i) % 4];
            text += ": ";
            text += lines[(scene * 3 + i) % 5];
            text += "\n";
        }
    }
    return text;
}

// ---- sounds ----

using Channels = std::vector<std::vector<float>>;

Channels Silence(int channels, long rate, double seconds)
{
    return Channels(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(std::lround(seconds * rate))));
}

// One struck bell added into `out` from `start` seconds: inharmonic partials
// that die away faster the higher they are, after a 4 ms attack. Partials too
// high for the rate are left out rather than folded back as false tones.
void AddBell(std::vector<float> &out, long rate, double start, double hz, double gain, double ring)
{
    static const double kRatios[] = {1.0, 2.76, 5.40, 8.93};
    static const double kLevels[] = {1.0, 0.45, 0.22, 0.10};
    const long first = std::lround(start * rate);
    for (long i = first; i < static_cast<long>(out.size()); ++i) {
        const double t = static_cast<double>(i - first) / rate;
        const double attack = t < 0.004 ? t / 0.004 : 1.0;
        double v = 0.0;
        for (int p = 0; p < 4 && hz * kRatios[p] < 0.45 * rate; ++p)
            v += kLevels[p] * std::exp(-t * (p + 1) / ring) * std::sin(2.0 * M_PI * hz * kRatios[p] * t);
        out[static_cast<size_t>(i)] += static_cast<float>(gain * attack * v);
    }
}

Bytes Chime()
{
    const long rate = 44100;
    Channels c = Silence(1, rate, 0.8);
    AddBell(c[0], rate, 0.0, 880.0, 0.35, 0.25);
    AddBell(c[0], rate, 0.09, 1318.5, 0.2, 0.2);
    return Fixture_OggVorbisPcm(c, rate, 0.4f);
}

// Two rising notes, the first leaning left and the second right.
Bytes Confirm()
{
    const long rate = 22050;
    Channels c = Silence(2, rate, 0.6);
    AddBell(c[0], rate, 0.0, 1046.5, 0.3, 0.15);
    AddBell(c[1], rate, 0.0, 1046.5, 0.12, 0.15);
    AddBell(c[0], rate, 0.12, 1568.0, 0.12, 0.18);
    AddBell(c[1], rate, 0.12, 1568.0, 0.3, 0.18);
    return Fixture_OggVorbisPcm(c, rate, 0.4f);
}

// A short upward glide, then the same again quieter as its echo.
Bytes WaterDrip()
{
    const long rate = 22050;
    Channels c = Silence(1, rate, 0.5);
    for (const double start : {0.02, 0.22}) {
        const double gain = start < 0.1 ? 0.5 : 0.18;
        double phase = 0.0;
        const long first = std::lround(start * rate);
        for (long i = first; i < static_cast<long>(c[0].size()); ++i) {
            const double t = static_cast<double>(i - first) / rate;
            const double hz = 600.0 + 900.0 * (1.0 - std::exp(-t / 0.015));
            phase += 2.0 * M_PI * hz / rate;
            c[0][static_cast<size_t>(i)] += static_cast<float>(gain * std::exp(-t / 0.04) * std::sin(phase));
        }
    }
    return Fixture_OggVorbisPcm(c, rate, 0.4f);
}

// Four seconds gliding from 220 Hz up two octaves and halfway back, with a
// slow swell: longer than one 256 KiB block of the player's PCM.
Bytes DuskSweep()
{
    const long rate = 44100;
    const double seconds = 4.0;
    Channels c = Silence(1, rate, seconds);
    double phase = 0.0;
    for (size_t i = 0; i < c[0].size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double octaves = t < 2.5 ? 2.0 * t / 2.5 : 2.0 - (t - 2.5) / 1.5;
        phase += 2.0 * M_PI * 220.0 * std::exp2(octaves) / rate;
        const double fade = std::min({1.0, t / 0.3, (seconds - t) / 0.5});
        const double swell = 0.75 + 0.25 * std::sin(2.0 * M_PI * 0.5 * t);
        const double v = std::sin(phase) + 0.2 * std::sin(3.0 * phase);
        c[0][i] = static_cast<float>(0.5 * fade * swell * v);
    }
    return Fixture_OggVorbisPcm(c, rate, 0.3f);
}

// Four bells struck in turn, leaning left and right by turns.
Bytes ChapelBells()
{
    const long rate = 44100;
    Channels c = Silence(2, rate, 3.5);
    const double notes[] = {659.25, 523.25, 587.33, 392.0};
    for (int i = 0; i < 4; ++i) {
        const double near = 0.3, far = 0.1;
        AddBell(c[0], rate, 0.7 * i, notes[i], i % 2 ? far : near, 0.9);
        AddBell(c[1], rate, 0.7 * i, notes[i], i % 2 ? near : far, 0.9);
    }
    return Fixture_OggVorbisPcm(c, rate, 0.3f);
}

// ---- models ----

const char kIronPlateMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\env\\keep\\iron_plate.rtm\n"
    "Class Standard\n"
    "numTextures 3\n"
    "Texture 0 WRAP WRAP textures\\env\\iron_plate_d\n"
    "Texture 1 WRAP WRAP textures\\env\\iron_plate_n\n"
    "Texture 2 WRAP WRAP textures\\env\\iron_plate_s\n"
    "AlphaTestMode NONE\n"
    "FinalBlend NONE\n";

// Names a texture no archive holds: the surface shows "__missingtexture".
const char kCrateMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\env\\keep\\crate_broken.rtm\n"
    "Class Standard\n"
    "numTextures 1\n"
    "Texture 0 WRAP WRAP textures\\env\\crate_broken_d\n"
    "AlphaTestMode NONE\n";

const char kLavaMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "; source: art\\env\\caves\\lava_flow.rtm\n"
    "Class Standard\n"
    "numTextures 1\n"
    "Texture 0 WRAP WRAP textures\\env\\lava_d\n"
    "AlphaTestMode NONE\n"
    "RenderState\n"
    "{\n"
    "    BackfaceCull FALSE\n"
    "}\n"
    "UVelocity 0.080000\n"
    "VVelocity -0.250000\n";

Rgb IronColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    // Riveted plates: a darker seam every eight blocks.
    return (bx % 8 == 0 || by % 8 == 0) ? Rgb{70, 72, 78} : Rgb{120, 124, 132};
}

Rgb IronNormalColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return bx % 8 == 0 ? Rgb{90, 128, 240} : by % 8 == 0 ? Rgb{128, 90, 240} : Rgb{128, 128, 255};
}

Rgb IronSpecularColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return (bx % 8 == 0 || by % 8 == 0) ? Rgb{40, 40, 40} : Rgb{220, 220, 220};
}

Rgb LavaColour(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    const uint32_t wave = (bx * 3 + by * 5 + (bx * by) % 7) % 16;
    return Rgb{static_cast<uint8_t>(180 + wave * 4), static_cast<uint8_t>(40 + wave * 9), 10};
}

constexpr const char *kStoneWall = "materials\\env\\stone_wall.mat";
constexpr const char *kIronPlate = "materials\\env\\iron_plate.mat";

// A box given as (x, depth, up): the models stand with their y axis up, which
// the viewer turns to the screen's up.
ModelFixtureSurface Box(const char *material, float x, float depth, float up, float hx, float hdepth, float hup)
{
    const float centre[3] = {x, up, depth}, half[3] = {hx, hup, hdepth};
    return Fixture_Box(material, centre, half);
}

// The opened archive's floor tiles under a slab of GLOBAL.PAK's stone.
Bytes AltarModel()
{
    ModelFixture m;
    m.surfaces.push_back(Box("materials\\m01\\floor_tiles.mat", 0, 0, 0.45f, 0.8f, 0.5f, 0.45f));
    m.surfaces.push_back(Box(kStoneWall, 0, 0, 0.98f, 0.95f, 0.65f, 0.08f));
    return Fixture_Model(m);
}

// Normal and specular maps: drawn with the lighting programs where they run.
Bytes IronDoorModel()
{
    ModelFixture m;
    m.texCoordStride = 16;  // the coordinates sit after a second pair
    m.uvOffset = 8;
    m.surfaces.push_back(Box(kIronPlate, 0, 0, 1.1f, 0.6f, 0.06f, 1.0f));
    m.surfaces.push_back(Fixture_StripPanel(kStoneWall, -1.2f, 0.0f, 2.4f, 2.4f, -0.3f, 6));  // the wall behind
    return Fixture_Model(m);
}

// One surface's material names a texture that is nowhere; one names no material.
Bytes CrateModel()
{
    ModelFixture m;
    m.surfaces.push_back(Box("materials\\env\\crate_broken.mat", 0, 0, 0.4f, 0.4f, 0.4f, 0.4f));
    m.surfaces.push_back(Box("", 0.7f, 0.2f, 0.15f, 0.15f, 0.15f, 0.15f));
    return Fixture_Model(m);
}

// A scrolling fall of lava between two stone columns.
Bytes LavaPoolModel()
{
    ModelFixture m;
    m.surfaces.push_back(Fixture_StripPanel("materials\\env\\lava_flow.mat", -1.2f, 0.0f, 2.4f, 1.8f, 0.0f, 8));
    m.surfaces.push_back(Box(kStoneWall, -1.35f, 0, 0.9f, 0.15f, 0.15f, 0.95f));
    m.surfaces.push_back(Box(kStoneWall, 1.35f, 0, 0.9f, 0.15f, 0.15f, 0.95f));
    return Fixture_Model(m);
}

// Thirty surfaces in one shared buffer: two rows of pillars on a base, each
// surface indexing the buffer from its start (rebased when read).
Bytes ColonnadeModel()
{
    ModelFixture m;
    m.sharedBuffer = true;
    m.surfaces.push_back(Box(kStoneWall, 0, 0, -10, 420, 120, 10));
    for (int i = 0; i < 29; ++i) {
        const int row = i % 2, column = i / 2;
        const float height = 150.0f + static_cast<float>((i * 37) % 5) * 20.0f;
        m.surfaces.push_back(Box(i % 3 == 0 ? kIronPlate : kStoneWall, -390.0f + 55.0f * column,
                                 row ? 80.0f : -80.0f, height, 18, 18, height));
    }
    return Fixture_Model(m);
}

// ---- binary resources ----

void PutU32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutFloat(Bytes &b, float f)
{
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    PutU32(b, bits);
}

// Character animation data: the 57 E0 E0 57 mark, a bone count, a frame
// count and per-frame bone rotations.
Bytes CharacterData()
{
    Bytes b = {0x57, 0xE0, 0xE0, 0x57};
    const uint32_t bones = 24, frames = 30;
    PutU32(b, 2);  // version
    PutU32(b, bones);
    PutU32(b, frames);
    PutFloat(b, 30.0f);  // frames per second
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t bone = 0; bone < bones; ++bone)
            for (int axis = 0; axis < 4; ++axis)
                PutFloat(b, static_cast<float>((f * 7 + bone * 13 + axis * 29) % 200) / 100.0f - 1.0f);
    return b;
}

// A navigation mesh: a small grid of float vertices after a short header.
Bytes NavMesh()
{
    Bytes b = {'N', 'A', 'V', 0x02};
    PutFloat(b, -12.5f);
    const uint32_t side = 16;
    PutU32(b, side * side);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            PutFloat(b, static_cast<float>(x) * 1.5f - 12.0f);
            PutFloat(b, static_cast<float>(y) * 1.5f - 12.0f);
            PutFloat(b, static_cast<float>((x * y) % 5) * 0.1f);
        }
    return b;
}

// An "EIFF" container of a type no preview knows: a fog volume.
Bytes FogVolume()
{
    Bytes b(64, 0);
    memcpy(b.data(), "EIFF", 4);
    b[4] = 1;
    memcpy(b.data() + 16, "FOGV", 4);
    PutFloat(b, 0.1f);
    PutFloat(b, 0.05f);
    PutFloat(b, 0.15f);
    PutFloat(b, 40.0f);
    return b;
}

Bytes Text(const std::string &text)
{
    return Fixture_FromString(text);
}

FixtureEntry Entry(const std::string &name, Bytes bytes, int16_t part = -1, uint16_t location = 0)
{
    FixtureEntry e;
    e.name = name;
    e.bytes = std::move(bytes);
    e.part = part;
    e.location = location;
    return e;
}

FixtureArchive GlobalArchive()
{
    FixtureArchive a;
    auto &e = a.entries;
    e.push_back(Entry("docs\\readme.txt", Text(kReadme)));
    e.push_back(Entry("textures\\env\\stone_wall_d", Fixture_Texture(256, 256, 1, 9, Fixture_PictureColour), 0));
    e.push_back(Entry("textures\\env\\stone_wall_n", Fixture_Texture(128, 128, 1, 8, NormalColour), 0));
    e.push_back(Entry("materials\\env\\stone_wall", Text(kStoneWallMaterial), 0));
    e.push_back(Entry("textures\\ui\\compass",
                      Fixture_LzoBlock(Fixture_Texture(128, 64, 5, 8, Fixture_PictureColour), true), 1));
    e.push_back(Entry("__missingtexture", Fixture_Texture(64, 64, 1, 7, MissingColour)));
    e.push_back(Entry("scripts\\level01.xml", Text(kLevelXml), 1));
    // part 0, but location 3 keeps it in the entry-point file.
    e.push_back(Entry("scripts\\events\\intro.xml", Text(std::string("\xEF\xBB\xBF") + kIntroXmlBody), 0, 3));
    FixtureEntry removed = Entry("scripts\\old\\removed.xml", Text(kLevelXml), 1);
    removed.skipped = true;
    e.push_back(removed);
    e.push_back(Entry("effects\\torch_fire",
                      Fixture_EffectContainer({"textures\\fx\\flame_d", "materials\\fx\\flame_additive",
                                               "sounds\\fx\\torch_loop", "effects\\smoke_column"}),
                      1));
    e.push_back(Entry("characters\\hero\\hero_idle", CharacterData(), 0));
    e.push_back(Entry("data\\navmesh\\level01.nav", NavMesh()));
    e.push_back(Entry("effects\\ambient\\fog_volume", FogVolume(), 1));
    const std::string dialogue = DialogueText();
    e.push_back(Entry("scripts\\dialogue\\chapter1.txt",
                      Fixture_LzoBlock(std::span(reinterpret_cast<const uint8_t *>(dialogue.data()), dialogue.size()),
                                       false),
                      1));
    const Bytes flame = Text(kFlameMaterial);
    e.push_back(Entry("materials\\fx\\flame_additive", Fixture_LzoBlock(flame, true)));
    e.push_back(Entry("textures\\fx\\flame_d", Fixture_Texture(64, 128, 5, 8, FlameColour), 0));
    e.push_back(Entry("sounds\\ui\\chime.ogg", Chime()));
    e.push_back(Entry("sounds\\ui\\confirm.ogg", Confirm(), 0));
    e.push_back(Entry("sounds\\fx\\water_drip.ogg", WaterDrip(), 1));
    e.push_back(Entry("sounds\\amb\\dusk_sweep.ogg", DuskSweep(), 1));
    e.push_back(Entry("sounds\\music\\chapel_bells.ogg", Fixture_LzoBlock(ChapelBells(), true), 0));
    e.push_back(Entry("models\\env\\iron_door", IronDoorModel(), 0));
    e.push_back(Entry("materials\\env\\iron_plate", Text(kIronPlateMaterial)));
    e.push_back(Entry("textures\\env\\iron_plate_d", Fixture_Texture(64, 128, 1, 6, IronColour), 0));
    e.push_back(Entry("textures\\env\\iron_plate_n", Fixture_Texture(64, 128, 1, 6, IronNormalColour), 1));
    e.push_back(Entry("textures\\env\\iron_plate_s", Fixture_Texture(64, 128, 1, 6, IronSpecularColour), 1));
    e.push_back(Entry("models\\env\\crate_broken", CrateModel()));
    e.push_back(Entry("materials\\env\\crate_broken", Text(kCrateMaterial), 1));
    e.push_back(Entry("models\\env\\lava_pool", Fixture_LzoBlock(LavaPoolModel(), true), 1));
    e.push_back(Entry("materials\\env\\lava_flow", Fixture_LzoBlock(Text(kLavaMaterial), true), 0));
    e.push_back(Entry("textures\\env\\lava_d", Fixture_LzoBlock(Fixture_Texture(64, 64, 1, 7, LavaColour), true), 0));
    e.push_back(Entry("models\\env\\colonnade", ColonnadeModel(), 0));
    return a;
}

FixtureArchive ShaderArchive()
{
    FixtureArchive a;
    a.shaderForm = true;
    a.entries.push_back(Entry("programs\\lighting_vp", Text(kVertexProgram)));
    a.entries.push_back(Entry("programs\\lighting_fp", Text(kFragmentProgram)));
    a.entries.push_back(Entry("materials\\shaders\\water", Text(kWaterMaterial)));
    a.entries.push_back(Entry("materials\\shaders\\glass", Text(kGlassMaterial)));
    return a;
}

FixtureArchive NightmareArchive()
{
    FixtureArchive a;
    a.entries.push_back(Entry("scripts\\m01\\nightmare.xml", Text(kNightmareXml), 0));
    a.entries.push_back(Entry("textures\\m01\\floor_tiles_d", Fixture_Texture(128, 128, 1, 8, TileColour), 0));
    a.entries.push_back(Entry("materials\\m01\\floor_tiles", Text(kFloorMaterial)));
    a.entries.push_back(Entry("scripts\\m01\\notes.txt", Fixture_LzoBlock(Text(kNotes), true), 0));
    a.entries.push_back(Entry("effects\\m01\\candle",
                              Fixture_EffectContainer({"textures\\fx\\flame_d", "materials\\fx\\flame_additive"})));
    a.entries.push_back(Entry("models\\m01\\altar", AltarModel(), 0));
    return a;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: quillon-make-samples DIR\n"
                        "Writes GLOBAL.PAK (+ _00, _01), SHADERS.PAK and M01_NIGHTMARE.PAK (+ _00) into DIR.\n");
        return argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") ? 0 : 2;
    }
    const std::string dir = argv[1];
    (void)Sys_MakeFolders(dir);

    const struct {
        const char *file;
        FixtureArchive archive;
    } archives[] = {
        {"GLOBAL.PAK", GlobalArchive()},
        {"SHADERS.PAK", ShaderArchive()},
        {"M01_NIGHTMARE.PAK", NightmareArchive()},
    };
    for (const auto &a : archives) {
        const std::string path = dir + "/" + a.file;
        if (!Fixture_WritePak(path, a.archive)) {
            fprintf(stderr, "quillon-make-samples: could not write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
