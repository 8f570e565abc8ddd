// Writes the seed corpora of the fuzz targets, one folder per target, from
// the same writers the tests use: realistic archives and their usual
// corruptions, LZO blocks from both liblzo2 compressors, textures, effect
// containers, texts, XML and materials.
// Usage: quillon_fuzz_seeds OUTDIR
#include "fixtures.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string g_outDir;
int g_failures = 0;

void Seed(const std::string &target, const std::string &name, std::span<const uint8_t> bytes)
{
    const std::string dir = g_outDir + "/" + target;
    std::filesystem::create_directories(dir);
    if (!Fixture_WriteFile(dir + "/" + name, bytes)) {
        fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
        ++g_failures;
    }
}

Bytes Prefixed(std::initializer_list<uint8_t> prefix, std::span<const uint8_t> rest)
{
    Bytes out(prefix);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

void PutU32BE(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// ---- resources ----

const char kMaterial[] =
    "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
    "shader stone_wall\n{\n\tdiffuse textures/stone_wall_d\n\tnormal textures/stone_wall_n\n"
    "\tspecular 0.25\n}\n";

const char kXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<events>\n"
    "  <event name=\"gate_open\" delay=\"2.5\"><sound ref=\"gate01\"/></event>\n"
    "  <!-- the bell rings at dusk -->\n  <event name=\"bell\"/>\n</events>\n";

const char kText[] =
    "Mira: The road north is closed.\nGuard: Not to those who carry the seal.\r\n"
    "Mira: Then let me pass.\n\nSTRING_ID_0042=The tower stands empty\n";

Bytes Text()
{
    return Fixture_FromString(kText);
}

Bytes LongText()
{
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line " + std::to_string(i) + ": the lanterns of Duskmoor burn low tonight\n";
    return Fixture_FromString(text);
}

Bytes XmlWithBom()
{
    return Prefixed({0xEF, 0xBB, 0xBF}, Fixture_FromString(kXml));
}

Bytes Texture(uint32_t w, uint32_t h, uint32_t format, uint32_t mips)
{
    return Fixture_Texture(w, h, format, mips, Fixture_PictureColour);
}

Bytes Effect()
{
    return Fixture_EffectContainer({"textures/fire01", "sounds/crackle", "", "models/brazier.mdl"});
}

Bytes EiffWith(const char *tag)
{
    Bytes b = Fixture_EffectContainer({"x"});
    memcpy(b.data() + 16, tag, 4);
    return b;
}

Bytes Binary()
{
    Bytes b(200);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 37 + 11);
    return b;
}

Bytes CharacterData()
{
    Bytes b = {0x57, 0xE0, 0xE0, 0x57, 0x02, 0x00, 0x00, 0x00};
    b.resize(64, 0x11);
    return b;
}

Bytes Ogg()
{
    Bytes b = Fixture_FromString("OggS");
    b.resize(60, 0);
    return b;
}

// ---- archives ----

FixtureEntry Entry(const std::string &name, Bytes bytes)
{
    FixtureEntry e;
    e.name = name;
    e.bytes = std::move(bytes);
    return e;
}

FixtureArchive Realistic()
{
    FixtureArchive a;
    a.entries.push_back(Entry("dialogue/intro.txt", Text()));
    a.entries.push_back(Entry("events/gate.xml", XmlWithBom()));
    a.entries.push_back(Entry("materials/stone_wall", Fixture_FromString(kMaterial)));
    a.entries.push_back(Entry("effects/brazier_fire", Effect()));
    FixtureEntry skipped = Entry("removed", {});
    skipped.skipped = true;
    a.entries.push_back(skipped);
    a.entries.push_back(Entry("textures/ring_small", Texture(8, 8, 1, 2)));
    a.entries.push_back(Entry("text/long_lzo", Fixture_LzoBlock(LongText(), true)));
    a.entries.push_back(Entry("Characters/Mira", CharacterData()));
    a.entries.push_back(Entry(std::string(64, 'N'), Fixture_FromString("a name that fills the field")));
    a.entries.push_back(Entry("", Fixture_FromString("nameless")));
    return a;
}

void PakIndexSeeds()
{
    const std::string t = "fuzz_pak_index";
    Seed(t, "realistic.pak", Fixture_PakBytes(Realistic()));

    FixtureArchive companions = Realistic();
    companions.entries[0].part = 0;        // companion 00
    companions.entries[1].part = 3;        // a missing companion
    companions.entries[2].part = 0;
    companions.entries[2].location = 3;    // in the entry-point file after all
    companions.entries[3].part = -7;
    Seed(t, "companions.pak", Fixture_PakBytes(companions));

    FixtureArchive shaders;
    shaders.shaderForm = true;
    shaders.entries.push_back(Entry("shaders/water.vsh", Text()));
    shaders.entries.push_back(Entry("shaders/water.psh", Fixture_LzoBlock(LongText(), false)));
    FixtureEntry skipped = Entry("gone", {});
    skipped.skipped = true;
    shaders.entries.push_back(skipped);
    Seed(t, "shader_form.pak", Fixture_PakBytes(shaders));

    FixtureArchive empty;
    Seed(t, "empty.pak", Fixture_PakBytes(empty));
    FixtureArchive negative;
    negative.overrideCount = true;
    negative.count = -5;
    Seed(t, "negative_count.pak", Fixture_PakBytes(negative));
    FixtureArchive huge;
    huge.overrideCount = true;
    huge.count = 0x7FFFFFFF;
    Seed(t, "huge_count.pak", Fixture_PakBytes(huge));

    Bytes truncated = Fixture_PakBytes(Realistic());
    truncated.resize(16 + 3 * 88 + 40);
    Seed(t, "truncated_index.pak", truncated);

    FixtureArchive lying = Realistic();
    lying.entries[0].overrideOffset = true;
    lying.entries[0].offset = 0xFFFFFF00u;
    lying.entries[1].overrideSize = true;
    lying.entries[1].size = 0x7FFFFFFFu;
    lying.entries[2].overrideSize = true;
    lying.entries[2].size = 0x80000000u;
    lying.entries[3].overrideOffset = true;
    lying.entries[3].offset = 40;  // inside the index
    Seed(t, "lying_records.pak", Fixture_PakBytes(lying));

    Seed(t, "short_header.pak", Fixture_FromString("PAK_\x01\x00"));
    Seed(t, "wrong_magic.pak", Fixture_FromString("KAP_0123456789ab"));
}

void PakEntrySeeds()
{
    const std::string t = "fuzz_pak_entry";
    const Bytes texture = Texture(16, 16, 5, 3);
    Seed(t, "text_best.lzo", Fixture_LzoBlock(LongText(), true));
    Seed(t, "text_fast.lzo", Fixture_LzoBlock(LongText(), false));
    Seed(t, "texture_best.lzo", Fixture_LzoBlock(texture, true));
    Seed(t, "texture_fast.lzo", Fixture_LzoBlock(texture, false));
    Seed(t, "xml_best.lzo", Fixture_LzoBlock(XmlWithBom(), true));
    Seed(t, "binary_fast.lzo", Fixture_LzoBlock(Binary(), false));
    Seed(t, "empty_stream.lzo", Fixture_LzoBlock(Bytes{}, true));
    Seed(t, "plain_text", Text());
    Seed(t, "plain_texture", texture);
    Seed(t, "just_lzo", Fixture_FromString("LZO"));
    Seed(t, "short_header", Fixture_FromString("LZO\0\0\0\0\x10"));

    Bytes longer = Fixture_LzoBlock(LongText(), true);
    PutU32BE(longer, 8, static_cast<uint32_t>(longer.size()));  // stream claimed longer than present
    Seed(t, "stream_longer_than_bytes.lzo", longer);
    Bytes under = Fixture_LzoBlock(LongText(), true);
    PutU32BE(under, 4, 100);  // output smaller than the stream decodes to
    Seed(t, "output_too_small.lzo", under);
    Bytes over = Fixture_LzoBlock(LongText(), false);
    PutU32BE(over, 4, 0x7FFFFFFF);  // a declared length no stream of this size reaches
    Seed(t, "output_huge.lzo", over);
    Bytes cut = Fixture_LzoBlock(LongText(), false);
    cut.resize(cut.size() / 2);
    PutU32BE(cut, 8, static_cast<uint32_t>(cut.size() - 12));
    Seed(t, "stream_cut.lzo", cut);
}

void ClassifySeeds()
{
    const std::string t = "fuzz_classify";
    Seed(t, "texture", Texture(8, 8, 1, 1));
    Seed(t, "material", Fixture_FromString(kMaterial));
    Seed(t, "xml", Fixture_FromString(kXml));
    Seed(t, "xml_bom", XmlWithBom());
    Seed(t, "xml_comment", Fixture_FromString("<!-- only a comment -->\n"));
    Seed(t, "effect", Effect());
    Seed(t, "effect_empty_listing", Fixture_EffectContainer({}));
    Seed(t, "model_container", EiffWith("MODL"));
    Seed(t, "other_container", EiffWith("SNDX"));
    Seed(t, "ogg", Ogg());
    Seed(t, "character", CharacterData());
    Seed(t, "text", Text());
    Seed(t, "text_with_nul", Fixture_FromString(std::string("before\nthe nul\0after\n", 21)));
    Seed(t, "binary", Binary());
    Seed(t, "two_bytes", Fixture_FromString("ab"));
}

void DumpSeeds()
{
    const std::string t = "fuzz_dump";
    Bytes counting(40);
    for (size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<uint8_t>(i * 9 + 0x70);
    // format + 1, flags (bit 0 big-endian, bit 1 hexadecimal), offset text length, text, resource
    for (uint8_t format = 0; format < 8; ++format) {
        Seed(t, "format" + std::to_string(format) + "_hex", Prefixed({uint8_t(format + 1), 2, 1, '0'}, counting));
        Seed(t, "format" + std::to_string(format) + "_dec_be",
             Prefixed({uint8_t(format + 1), 1, 4, ' ', '+', '1', '2'}, counting));
    }
    Seed(t, "offset_with_letters", Prefixed({2, 2, 5, '1', '2', 'a', 'b', 'c'}, counting));
    Seed(t, "offset_negative", Prefixed({5, 0, 3, '-', '1', '6'}, counting));
    Seed(t, "offset_past_end", Prefixed({2, 2, 6, '9', '9', '9', '9', '9', '9'}, counting));
    Seed(t, "offset_overflow", Prefixed({8, 3, 22, '9', '9', '9', '9', '9', '9', '9', '9', '9', '9', '9', '9',
                                         '9', '9', '9', '9', '9', '9', '9', '9', '9', '9'},
                                        counting));
    Seed(t, "texture_float", Prefixed({7, 0, 0}, Texture(4, 4, 1, 1)));
}

void DdsSeeds()
{
    const std::string t = "fuzz_dds";
    Seed(t, "dxt1_one_level", Texture(8, 8, 1, 1));
    Seed(t, "dxt1_mips", Texture(16, 16, 1, 5));
    Seed(t, "dxt5_mips", Texture(16, 8, 5, 4));
    Seed(t, "dxt3", Texture(8, 8, 3, 1));
    Seed(t, "format_zero", Texture(4, 4, 0, 1));
    const Bytes small = Texture(4, 4, 1, 1);
    Seed(t, "header_only", std::span<const uint8_t>(small).first(128));
    Seed(t, "too_short", std::span<const uint8_t>(small).first(100));
    Seed(t, "xml", Fixture_FromString(kXml));
}

// Edit sequences: a set's layout (form, entries: place, seed, size), then
// edits (kind, record, arguments) and saves.
void PakEditSeeds()
{
    const std::string t = "fuzz_pak_edit";
    Seed(t, "replace_add_save", Bytes{0, 5, 0, 1, 40, 9, 2, 50, 1, 3, 60, 18, 4, 10, 2, 5, 30,
                                       0, 2, 1, 90, 4, 0, 1, 8, 1, 0, 7, 1, 20, 4, 0});
    Seed(t, "shader_remove_compact", Bytes{1, 4, 0, 1, 10, 8, 2, 20, 16, 3, 5, 0, 4, 70,
                                            2, 1, 6, 0, 3, 2, 64, 0, 4, 0});
    Seed(t, "long_names_grow_index", Bytes{0, 3, 0, 9, 80, 0, 3, 80, 1, 5, 80,
                                            1, 0, 65, 1, 3, 4, 1, 0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 9, 99,
                                            3, 1, 64, 0, 4, 0, 19, 2, 40, 4, 0});
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    g_outDir = argv[1];
    PakIndexSeeds();
    PakEntrySeeds();
    ClassifySeeds();
    DumpSeeds();
    DdsSeeds();
    PakEditSeeds();
    return g_failures == 0 ? 0 : 1;
}
