// Command line of quillon-cli: the commands, their options and usage texts.
#include "cli.h"

#include "base/bytes.h"
#include "export/export.h"

#include <cstring>
#include <strings.h>

namespace {

struct CommandSpec {
    const char *name;
    int positionals;     // ARCHIVE, or ARCHIVE ENTRY
    bool needsOutput;    // -o is required
    const char *synopsis;
    const char *details;
};

const CommandSpec kCommands[] = {
    {"list", 1, false, "quillon-cli list ARCHIVE [--long | --json]",
     "Prints the entry list's lines in the order the viewer shows them (by text, case\n"
     "ignored), one per line. On a terminal, control bytes of names are shown escaped\n"
     "(\\x1b); into a pipe or file the lines are exact, as ENTRY arguments need them.\n"
     "  --long             adds tab-separated columns after each line: kind, resource\n"
     "                     size after expansion, stored size, the file that holds it,\n"
     "                     and whether it is LZO-compressed (yes/no)\n"
     "  --json             one JSON object per line (JSON Lines) for each entry: line,\n"
     "                     lineBytes, record, kind (as --kind names it), size,\n"
     "                     storedSize, file, compressed, and its header's facts:\n"
     "                     width, height, format, mipLevels (textures); rate,\n"
     "                     channels, samples, seconds (sounds); surfaces, vertices,\n"
     "                     triangles (models). Name bytes that are not UTF-8 are\n"
     "                     read as Latin-1 in line; lineBytes is the line's exact\n"
     "                     bytes in hexadecimal\n"},
    {"show", 2, false, "quillon-cli show ARCHIVE ENTRY [--json]",
     "Prints the info line; for a kind shown as text (text, XML, material, effect\n"
     "dependencies) then the text exactly as the viewer shows it (CR LF line ends).\n"
     "  --json             the entry as one JSON object, as list --json gives it\n"},
    {"export", 2, true, "quillon-cli export ARCHIVE ENTRY -o FILE [--interpreted | --wav | --png | --gltf | --glb | --obj-mtl]",
     "Writes the entry's resource bytes (expanded when compressed) to FILE.\n"
     "  -o, --output FILE  the file to write; - writes to standard output\n"
     "  --interpreted      the viewer's interpreted export: .dds for textures,\n"
     "                     WaveFront .obj for models, the bytes unchanged for\n"
     "                     material, XML, text and Ogg Vorbis (an .ogg file)\n"
     "  --wav              a sound decoded to a 16-bit PCM WAV file at its own rate\n"
     "                     and channel count; other kinds, and sounds that do not\n"
     "                     decode, are refused and no file is written\n"
     "  --png              a texture's largest level as an RGBA PNG image\n"
     "  --gltf             a model as glTF 2.0: FILE (.gltf) with STEM.bin and\n"
     "                     STEM_N.png beside it; its materials' diffuse map as base\n"
     "                     colour, its normal map, their wrap modes\n"
     "  --glb              a model as one glTF 2.0 binary file with its textures\n"
     "  --obj-mtl          a model as WaveFront .obj (as --interpreted writes it),\n"
     "                     its materials merged into dkexport.mtl in FILE's folder\n"
     "                     and their textures as PNGs in textures/ there (existing\n"
     "                     PNGs kept); materials and textures are found in the\n"
     "                     archive, then in GLOBAL.PAK beside it.\n"
     "                     Other kinds are refused by these four, and no file is\n"
     "                     written\n"},
    {"dump", 2, true,
     "quillon-cli dump ARCHIVE ENTRY -o FILE [--format FORMAT] [--big-endian] [--decimal] [--offset TEXT]",
     "Writes the Binary-Text Dump of the entry: comma-separated values, each line led\n"
     "by the byte offset of its first value.\n"
     "  -o, --output FILE  the file to write; - writes to standard output\n"
     "  --format FORMAT    byte, ubyte, short, ushort, int, uint, float or double\n"
     "                     (default ubyte)\n"
     "  --big-endian       elements are read big-endian\n"
     "  --decimal          decimal instead of hexadecimal values\n"
     "  --offset TEXT      start offset, read as the dump dialog's offset box reads\n"
     "                     it (leading digits; default 0)\n"},
    {"extract", 1, true,
     "quillon-cli extract ARCHIVE -o DIR [--interpreted] [--wav] [--png] [--gltf | --glb | --obj-mtl] [--match GLOB] [--kind KIND,...] [--overwrite] [--jobs N]",
     "Writes every entry (or the chosen ones) into DIR, under its name made safe:\n"
     "nothing is ever written outside DIR, and entries of the same name never\n"
     "overwrite each other (the later one gets its record number).\n"
     "  -o, --output DIR   the folder to write into (created when missing)\n"
     "  --interpreted      interpreted forms where a kind has one, with its extension;\n"
     "                     other kinds are written as their bytes\n"
     "  --wav              sounds decoded to 16-bit PCM WAV files at their own rate\n"
     "                     and channel count, named with .wav (in place of an .ogg\n"
     "                     extension); a sound that does not decode fails and is\n"
     "                     not written. Every other entry as the mode says: its\n"
     "                     bytes, or with --interpreted its interpreted form\n"
     "  --png              textures as PNG images (their largest level)\n"
     "  --gltf, --glb      models as glTF 2.0 (.gltf with .bin and PNGs beside it,\n"
     "                     or one .glb), with their materials' textures\n"
     "  --obj-mtl          models as .obj, their materials merged into dkexport.mtl\n"
     "                     of the model's folder, their textures as PNGs in\n"
     "                     textures/ there. Kinds these forms do not take are\n"
     "                     written as the other options say\n"
     "  --match GLOB       only entries whose name matches GLOB (case ignored;\n"
     "                     '/' and '\\' are the same)\n"
     "  --kind KIND,...    only these kinds: texture, material, xml, model, effect,\n"
     "                     unknown-media, text, ogg, character, unknown\n"
     "  --overwrite        replace files that already exist (kept by default)\n"
     "  -j, --jobs N       threads that read and convert entries (default: one per\n"
     "                     core, at most 4); files are written whole, in record order\n"},
};

struct OptionSpec {
    const char *name;
    char shortName;
    bool takesValue;
    const char *commands;  // the commands that take it, blank-separated
};

const OptionSpec kOptions[] = {
    {"--help", 'h', false, "list show export dump extract"},
    {"--long", 0, false, "list"},
    {"--json", 0, false, "list show"},
    {"--output", 'o', true, "export dump extract"},
    {"--interpreted", 0, false, "export extract"},
    {"--wav", 0, false, "export extract"},
    {"--png", 0, false, "export extract"},
    {"--gltf", 0, false, "export extract"},
    {"--glb", 0, false, "export extract"},
    {"--obj-mtl", 0, false, "export extract"},
    {"--format", 0, true, "dump"},
    {"--big-endian", 0, false, "dump"},
    {"--decimal", 0, false, "dump"},
    {"--offset", 0, true, "dump"},
    {"--match", 0, true, "extract"},
    {"--kind", 0, true, "extract"},
    {"--overwrite", 0, false, "extract"},
    {"--jobs", 'j', true, "extract"},
};

const char *const kDumpFormats[DumpFormatCount] = {"byte", "ubyte", "short", "ushort",
                                                    "int",  "uint",  "float", "double"};

const CommandSpec *FindCommand(const std::string &name)
{
    for (const CommandSpec &c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool TakesOption(const OptionSpec &option, const std::string &command)
{
    std::string list = std::string(" ") + option.commands + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

// Stores one option's effect; false with `error` set when its value is bad.
bool ApplyOption(const OptionSpec &option, const std::string &value, CliArgs &args, std::string &error)
{
    const std::string name = option.name;
    if (name == "--help") {
        args.help = true;
    } else if (name == "--long") {
        args.longList = true;
    } else if (name == "--json") {
        args.json = true;
    } else if (name == "--output") {
        if (value.empty()) {
            error = "-o needs a file name";
            return false;
        }
        args.hasOutput = true;
        args.output = value;
    } else if (name == "--interpreted") {
        args.interpreted = true;
    } else if (name == "--wav") {
        args.wav = true;
    } else if (name == "--png") {
        args.png = true;
    } else if (name == "--gltf") {
        args.gltf = true;
    } else if (name == "--glb") {
        args.glb = true;
    } else if (name == "--obj-mtl") {
        args.objMtl = true;
    } else if (name == "--format") {
        for (int i = 0; i < DumpFormatCount; ++i) {
            if (strcasecmp(value.c_str(), kDumpFormats[i]) == 0) {
                args.dumpFormat = i;
                return true;
            }
        }
        error = "unknown dump format '" + value + "'";
        return false;
    } else if (name == "--big-endian") {
        args.bigEndian = true;
    } else if (name == "--decimal") {
        args.decimal = true;
    } else if (name == "--offset") {
        args.offsetText = value;
    } else if (name == "--match") {
        args.hasMatch = true;
        args.match = value;
    } else if (name == "--kind") {
        size_t start = 0;
        for (;;) {
            size_t comma = value.find(',', start);
            std::string word = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            ResourceKind kind;
            if (!ResourceKind_FromCliName(word, kind)) {
                error = "unknown kind '" + word + "'";
                return false;
            }
            args.kinds.push_back(kind);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    } else if (name == "--overwrite") {
        args.overwrite = true;
    } else if (name == "--jobs") {
        const int64_t n = Bytes_ParseInteger(value);
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || n < 1 || n > 64) {
            error = "--jobs needs a number from 1 to 64";
            return false;
        }
        args.jobs = static_cast<int>(n);
    }
    return true;
}

}  // namespace

std::string Cli_Usage(const std::string &command)
{
    if (const CommandSpec *c = FindCommand(command))
        return std::string("usage: ") + c->synopsis + "\n\n" + c->details +
               "\nENTRY is a line exactly as `list` prints it (e.g. \"box01 [0012]\") or #N for\n"
               "record number N; put -- before an ENTRY that starts with '-'.\n";
    std::string text = "usage: quillon-cli COMMAND ARGUMENTS...\n\n";
    for (const CommandSpec &c : kCommands)
        text += std::string("  ") + c.synopsis + "\n";
    text += "  quillon-cli --version\n";
    text += "\nENTRY is a line exactly as `list` prints it (e.g. \"box01 [0012]\") or #N for\n"
            "record number N. `quillon-cli COMMAND --help` describes a command.\n";
    return text;
}

bool Cli_ParseArgs(int argc, char **argv, CliArgs &args, std::string &error)
{
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    const std::string first = argv[1];
    if (first == "--version" || first == "--help-man") {
        args.version = first == "--version";
        args.manPage = !args.version;
        if (argc > 2) {
            error = "unexpected argument '" + std::string(argv[2]) + "'";
            return false;
        }
        return true;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        args.help = true;
        if (argc > 2 && FindCommand(argv[2]))
            args.command = argv[2];
        return true;
    }
    const CommandSpec *command = FindCommand(first);
    if (!command) {
        error = "unknown command '" + first + "'";
        return false;
    }
    args.command = first;

    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            args.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // --name, --name=value, -x, -xVALUE
        std::string name = arg, value;
        bool hasInlineValue = false;
        const OptionSpec *option = nullptr;
        if (arg[1] == '-') {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasInlineValue = true;
            }
            for (const OptionSpec &o : kOptions)
                if (name == o.name)
                    option = &o;
        } else {
            for (const OptionSpec &o : kOptions)
                if (o.shortName == arg[1])
                    option = &o;
            if (option && arg.size() > 2) {
                value = arg.substr(2);
                hasInlineValue = true;
            }
        }
        if (!option || !TakesOption(*option, args.command)) {
            error = "unknown option '" + name + "' for " + args.command;
            return false;
        }
        if (option->takesValue && !hasInlineValue) {
            if (i + 1 >= argc) {
                error = "option '" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!option->takesValue && hasInlineValue) {
            error = "option '" + name + "' takes no value";
            return false;
        }
        if (!ApplyOption(*option, value, args, error))
            return false;
    }
    if (args.help)
        return true;
    if (static_cast<int>(args.positional.size()) < command->positionals) {
        error = command->positionals == 1 ? "missing ARCHIVE" : "missing ARCHIVE or ENTRY";
        return false;
    }
    if (static_cast<int>(args.positional.size()) > command->positionals) {
        error = "unexpected argument '" + args.positional[command->positionals] + "'";
        return false;
    }
    if (args.command == "export" && args.wav && args.interpreted) {
        error = "--wav and --interpreted choose different forms: give one of them";
        return false;
    }
    if (args.json && args.longList) {
        error = "--long and --json choose different outputs: give one of them";
        return false;
    }
    const int forms = args.png + args.gltf + args.glb + args.objMtl;
    if (args.command == "export" && forms > 0 && (forms > 1 || args.wav || args.interpreted)) {
        error = "--interpreted, --wav, --png, --gltf, --glb and --obj-mtl choose different forms: give one of them";
        return false;
    }
    if (args.command == "extract" && args.gltf + args.glb + args.objMtl > 1) {
        error = "--gltf, --glb and --obj-mtl choose different forms for models: give one of them";
        return false;
    }
    if (command->needsOutput && !args.hasOutput) {
        error = std::string(args.command == "extract" ? "-o DIR" : "-o FILE") + " is required";
        return false;
    }
    return true;
}
