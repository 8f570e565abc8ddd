// Command line of quillon-cli: the commands, their options and usage texts.
#include "cli.h"

#include "base/ascii.h"
#include "base/bytes.h"
#include "export/export.h"

#include <charconv>
#include <cstring>
#include <sstream>

namespace {

// The options of the commands that put files into archives.
const char *const kImportOptions =
    "  --as KIND          what a file becomes: raw (its bytes), texture (a PNG, TGA,\n"
    "                     JPEG or BMP image encoded to DXT1, or DXT5 when it has\n"
    "                     alpha, with every mip level; or a .dds of DXT1 to DXT5\n"
    "                     blocks, taken as they are) or sound (a PCM WAV encoded\n"
    "                     to Ogg Vorbis; an Ogg Vorbis file taken as it is). By\n"
    "                     default by its extension: .png .tga .jpg .jpeg .bmp .dds\n"
    "                     texture, .wav .ogg sound, anything else raw. A texture\n"
    "                     that replaces another keeps its format and header bytes.\n"
    "                     model: an OBJ, glTF or GLB file of a model entry's own\n"
    "                     triangles gives it new positions, normals and texture\n"
    "                     coordinates, every other byte kept (the default for\n"
    "                     .obj .gltf .glb files that replace a model; elsewhere\n"
    "                     they are refused unless --as raw stores their bytes)\n"
    "  --quality Q        the Ogg Vorbis quality of sounds made from WAV files,\n"
    "                     -0.1 to 1.0 (default 0.5)\n"
    "  --format dxt1|dxt3|dxt5  the block format of textures made from images, in\n"
    "                     place of the one chosen by alpha or kept from the texture\n"
    "                     replaced\n"
    "  --cluster-fit      libsquish's cluster fit on every block of textures made\n"
    "                     from images: a little closer on noise, thirty or more\n"
    "                     times slower\n";

const CliCommand kCommands[] = {
    {"list", Cli_List, Cli_ListFolder, false, 1, false, "quillon-cli list ARCHIVE|FOLDER [--long | --json] [--recursive]",
     "Prints the entry list's lines in the order the viewer shows them (by text, case\n"
     "ignored), one per line. On a terminal, control bytes of names are shown escaped\n"
     "(\\x1b); into a pipe or file the lines are exact, as ENTRY arguments need them.\n"
     "A FOLDER lists each of its archives in turn (as `find` names them), every line\n"
     "led by the archive's name and a tab, every JSON object with its \"archive\".\n"
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
     "                     bytes in hexadecimal\n"
     "  -r, --recursive    a FOLDER's subfolders too\n"},
    {"show", Cli_Show, nullptr, false, 2, false, "quillon-cli show ARCHIVE ENTRY [--json]",
     "Prints the info line; for a kind shown as text (text, XML, material, effect\n"
     "dependencies) then the text exactly as the viewer shows it (CR LF line ends).\n"
     "  --json             the entry as one JSON object, as list --json gives it\n"},
    {"export", Cli_Export, nullptr, false, 2, true, "quillon-cli export ARCHIVE ENTRY -o FILE [--interpreted | --wav | --png | --gltf | --glb | --obj-mtl]",
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
    {"dump", Cli_Dump, nullptr, false, 2, true,
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
    {"extract", Cli_Extract, Cli_ExtractFolder, false, 1, true,
     "quillon-cli extract ARCHIVE|FOLDER -o DIR [--recursive] [--interpreted] [--wav] [--png] [--gltf | --glb | --obj-mtl] [--match GLOB] [--kind KIND,...] [--overwrite] [--jobs N]",
     "Writes every entry (or the chosen ones) into DIR, under its name made safe:\n"
     "nothing is ever written outside DIR, and entries of the same name never\n"
     "overwrite each other (the later one gets its record number). A FOLDER's\n"
     "archives go into a folder each in DIR, named as the archive less its extension.\n"
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
     "                     core, at most 4); files are written whole, in record order\n"
     "  -r, --recursive    a FOLDER's subfolders too, each a folder in DIR\n"},
    {"sheet", Cli_Sheet, nullptr, false, 1, true,
     "quillon-cli sheet ARCHIVE|FOLDER -o SHEET.png [--size N] [--columns C] [--match GLOB] [--kind KIND,...] [--json] [--jobs N]",
     "Draws a contact sheet: a thumbnail of every texture and material (a material\n"
     "shows its diffuse texture, looked up as the viewer looks it up) in the order\n"
     "the list shows them, row by row, each centred in a square cell on a\n"
     "transparent background, written as an RGBA PNG whole or not at all. A\n"
     "thumbnail is made from the texture's smallest mip level that is at least as\n"
     "large as the cell. A FOLDER's archives follow each other, each in list order.\n"
     "Entries that fail are told and leave their cell empty (exit status 1).\n"
     "  -o, --output SHEET.png  the file to write; - writes to standard output\n"
     "  --size N           the side of each cell in pixels, 1 to 1024 (default 128)\n"
     "  --columns C        cells per row (default: as many as make a square sheet)\n"
     "  --match GLOB       only entries whose name matches GLOB\n"
     "  --kind KIND,...    only these kinds (default texture,material; other kinds\n"
     "                     have no thumbnail and leave their cell empty)\n"
     "  --json             one JSON object per line for each cell: archive, line,\n"
     "                     record, kind, and the thumbnail's pixel rectangle in the\n"
     "                     sheet (x, y, width, height; error when it has none)\n"
     "  -j, --jobs N       threads that read and decode (default: one per core, at\n"
     "                     most 4)\n"},
    {"find", Cli_Find, nullptr, false, 2, false, "quillon-cli find FOLDER TEXT [--kind KIND,...] [--json] [--recursive]",
     "Prints ARCHIVE<TAB>LINE for each entry of each archive of FOLDER that the find\n"
     "bar would list for TEXT: whose line contains TEXT (case ignored, '/' and '\\'\n"
     "the same), or, when TEXT holds '*' or '?', whose name matches it as a glob.\n"
     "FOLDER's archives are its *.pak files (any case) that start \"PAK_\" and are\n"
     "not a numbered companion (NAME_NN.PAK) of another of them; they come in name\n"
     "order, their lines in list order.\n"
     "  --kind KIND,...    only entries of these kinds (as extract names them); only\n"
     "                     the entries TEXT finds are read\n"
     "  --json             one JSON object per entry: archive, line, record (and kind\n"
     "                     with --kind)\n"
     "  -r, --recursive    FOLDER's subfolders too (ARCHIVE is then dlc/NAME.PAK)\n"},
    {"grep", Cli_Grep, nullptr, true, 2, false,
     "quillon-cli grep ARCHIVE|FOLDER TEXT [--regex] [--case] [--kind KIND,...] [--all-kinds] [--json] [--recursive] [--jobs N]",
     "Searches the text of the entries of ARCHIVE, or of each archive of FOLDER (as\n"
     "`find` reads a folder), and prints ARCHIVE<TAB>LINE<TAB>N<TAB>TEXT for each line\n"
     "that holds TEXT: LINE the entry's list line, N the line's number in the entry\n"
     "(from 1), TEXT the line without its end-of-line bytes, cut at 400 bytes. An\n"
     "entry's text is its resource, expanded when compressed, in lines ended by LF;\n"
     "an effect container's is its dependency listing, as `show` prints it. TEXT is\n"
     "a fixed string with ASCII case ignored. By default the kinds shown as text are\n"
     "searched: material, XML, text and effect; a plain entry whose first bytes show\n"
     "another kind is not read further. Exit status 0 when a line matched, 1 when\n"
     "none did, 2 on trouble (an archive or entry that cannot be read).\n"
     "  --regex            TEXT is a POSIX extended regular expression, as grep -E\n"
     "                     reads it (on Windows tried on each line's first 1 KiB)\n"
     "  --case             ASCII case counts\n"
     "  --kind KIND,...    only entries of these kinds (as extract names them)\n"
     "  --all-kinds        every entry, whatever its kind\n"
     "  --json             one JSON object per matching line: archive, line, record,\n"
     "                     kind, lineNumber, text, and textBytes (the line's exact\n"
     "                     bytes in hexadecimal, as list --json gives lineBytes)\n"
     "  -r, --recursive    FOLDER's subfolders too\n"
     "  -j, --jobs N       threads that read and expand entries (default: one per\n"
     "                     core, at most 4); lines come out in list order\n"},
    {"refs", Cli_Refs, nullptr, true, 2, false, "quillon-cli refs ARCHIVE|FOLDER NAME [--json] [--recursive]",
     "Prints what names the entry NAME (\"used by\"): ARCHIVE<TAB>LINE<TAB>HOW for each\n"
     "line of a material, XML, text or effect entry that holds NAME as a whole name\n"
     "(HOW \"text line N\"), and each surface of a model whose material is NAME (HOW\n"
     "\"surface S material\", S counted from 1). Names are read as the viewer's\n"
     "lookups read them: ASCII case ignored, '/' and '\\' the same, with or without an\n"
     "extension (\"stone\" is named by \"Stone.dds\", \"stone.mat\" by \"stone\"), never\n"
     "as part of a longer name (\"stones\", \"tex\\stone\" do not name \"stone\").\n"
     "Exit status as grep's.\n"
     "  --json             one JSON object per place: archive, line, record, kind,\n"
     "                     how, and lineNumber or surface\n"
     "  -r, --recursive    FOLDER's subfolders too\n"},
    {"diff", Cli_Diff, nullptr, true, 2, false, "quillon-cli diff OLD NEW [--stat] [--json] [--jobs N] [--recursive]",
     "Compares two versions of an archive, or of a folder of archives (a game before\n"
     "and after a patch), and prints STATUS<TAB>ARCHIVE<TAB>LINE for each entry that\n"
     "was added, removed or changed (LINE as in NEW, or in OLD when removed), and\n"
     "STATUS<TAB>ARCHIVE for each archive only one folder holds. An entry is known by\n"
     "its name and its occurrence among entries of that name. It changed when its\n"
     "resource, expanded, differs: entries whose stored bytes are equal are not\n"
     "expanded, the others are compared by a 128-bit hash (XXH3) of their resources,\n"
     "so an entry stored compressed in one version and plain in the other, with the\n"
     "same resource, is unchanged. Exit status 0 when nothing differs, 1 when\n"
     "something does, 2 on trouble (an archive or entry that cannot be read).\n"
     "  --stat             counts and stored bytes per archive instead: added,\n"
     "                     removed, changed and unchanged entries\n"
     "  --json             one JSON object per line: each difference (change,\n"
     "                     archive, name, occurrence, old and new line, record and\n"
     "                     storedSize), or with --stat each archive's counts\n"
     "  -j, --jobs N       threads that read and compare entries (default: one per\n"
     "                     core, at most 4)\n"
     "  -r, --recursive    the folders' subfolders too\n"},
    {"replace", Cli_Replace, nullptr, false, 3, false, "quillon-cli replace ARCHIVE ENTRY FILE [-o NEW.PAK] [--as KIND] [--quality Q] [--compress MODE] [--compact] [--wait SECONDS] [--overwrite]",
     "Puts FILE, converted as --as says, in place of the entry's resource. The\n"
     "archive is changed in place: the new bytes are appended to the file that holds\n"
     "the entry, and the entry-point file is written beside the old one and renamed\n"
     "over it, so a crash leaves the archive as it was or as it is now. Every other\n"
     "byte stays as it was.\n"
     "  -o, --output NEW.PAK  writes a new set (NEW.PAK, NEW_NN.PAK) instead; the\n"
     "                     archive is left untouched\n"
     "  --compress MODE    auto (default: the entry keeps its form, compressed again\n"
     "                     when it was compressed), none, fast (LZO1X-1) or best\n"
     "                     (LZO1X-999)\n"
     "  --compact          rebuilds the whole set without dead space: removed records\n"
     "                     are dropped (record numbers change), stored bytes copied\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     "One program writes a set at a time: each holds the lock file ARCHIVE.lock\n"
     "beside the entry point (NEW.PAK.lock with -o) while it reads and saves.\n", true},
    {"edit", Cli_Edit, nullptr, false, 2, false, "quillon-cli edit ARCHIVE ENTRY [--with PROGRAM] [-o NEW.PAK] [--quality Q] [--compress MODE] [--wait SECONDS] [--overwrite]",
     "Writes the entry in a form the user's own programs edit (a texture as a PNG of\n"
     "its largest level, a sound as a 16-bit WAV, a material, XML or text entry as\n"
     "its bytes under its extension, anything else as its bytes) into a new folder\n"
     "under the user's cache folder, runs PROGRAM on it and waits for it to end. When\n"
     "the file changed, the entry is replaced as `replace` replaces it (a PNG made a\n"
     "texture again with every mip level, keeping the old one's format and header;\n"
     "a WAV encoded to Ogg Vorbis); when it did not, \"no change\" is printed and the\n"
     "archive is left untouched. The archive is locked only while it is saved; an\n"
     "entry that another program changed meanwhile is not replaced. A file that\n"
     "changed but was not put back is kept, and its path told.\n"
     "  --with PROGRAM     the program, or a command line to which the file's path\n"
     "                     is added as the last argument: words split at blanks,\n"
     "                     '...' or \"...\" keep what they hold (no escapes); the\n"
     "                     path of an existing file is one program whole. Default:\n"
     "                     $QUILLON_EDITOR, $VISUAL, $EDITOR, read the same way, else\n"
     "                     the desktop's program for the file (then Enter is waited\n"
     "                     for). A PROGRAM that ends with a status other than 0\n"
     "                     replaces nothing\n"
     "  -o, --output NEW.PAK  writes a new set instead; the archive is left untouched\n"
     "  --quality Q        the Ogg Vorbis quality of a sound, -0.1 to 1.0 (default 0.5)\n"
     "  --compress MODE    auto (default), none, fast or best\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"},
    {"add", Cli_Add, nullptr, false, 3, false, "quillon-cli add ARCHIVE NAME FILE [-o NEW.PAK] [--as KIND] [--quality Q] [--compress MODE] [--compact] [--wait SECONDS] [--overwrite]",
     "Adds FILE, converted as --as says, as a new entry NAME (at most 64 bytes) at\n"
     "the end of the index. It is stored in the file of the entry whose name comes\n"
     "just before NAME (case ignored; the one just after when none does), or in the\n"
     "entry-point file; its record holds zeros in the words of unknown meaning.\n"
     "  -o, --output NEW.PAK  writes a new set instead\n"
     "  --compress MODE    auto (default: compressed when that makes it smaller),\n"
     "                     none, fast or best\n"
     "  --compact          rebuilds the whole set without dead space\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     , true},
    {"remove", Cli_Remove, nullptr, false, 2, false, "quillon-cli remove ARCHIVE ENTRY [-o NEW.PAK] [--compact] [--wait SECONDS] [--overwrite]",
     "Removes the entry: its record stays, marked skipped, so every other entry keeps\n"
     "its record number and list line.\n"
     "  -o, --output NEW.PAK  writes a new set instead\n"
     "  --compact          rebuilds the whole set without dead space\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     },
    {"rename", Cli_Rename, nullptr, false, 3, false, "quillon-cli rename ARCHIVE ENTRY NAME [-o NEW.PAK] [--compact] [--wait SECONDS] [--overwrite]",
     "Gives the entry the name NAME (at most 64 bytes); its bytes stay where they are.\n"
     "  -o, --output NEW.PAK  writes a new set instead\n"
     "  --compact          rebuilds the whole set without dead space\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     },
    {"update", Cli_Update, nullptr, false, 2, false, "quillon-cli update ARCHIVE DIR [-o NEW.PAK] [--add] [--as KIND] [--quality Q] [--compress MODE] [--dry-run] [--compact] [--wait SECONDS] [--overwrite]",
     "Replaces every entry whose file in DIR, named as `extract` names it (with or\n"
     "without --interpreted, --png and --wav, or with --glb or --gltf), no longer\n"
     "holds what `extract` wrote; the rest stay untouched. A .dds or PNG file goes\n"
     "back as a texture, a WAV file as a sound, a model's .obj, .gltf or .glb as its\n"
     "new vertex data, any other file as its bytes. The loop of a modder: extract\n"
     "-o DIR --png, edit the PNG files, update ARCHIVE DIR.\n"
     "  -o, --output NEW.PAK  writes a new set instead\n"
     "  --add              also adds the files that name no entry, named by their\n"
     "                     path in DIR with '\\' between folders (an image made a\n"
     "                     texture without its extension, a WAV file made a sound\n"
     "                     with .ogg in place of .wav)\n"
     "  --compress MODE    auto (default), none, fast or best\n"
     "  --dry-run          lists what would be done, with each conversion, and\n"
     "                     changes nothing\n"
     "  --compact          rebuilds the whole set without dead space\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     , true},
    {"pack", Cli_Pack, nullptr, false, 1, true, "quillon-cli pack DIR -o NEW.PAK [--as KIND] [--quality Q] [--compress MODE] [--jobs N] [--part-size BYTES] [--wait SECONDS] [--overwrite]",
     "Makes a new archive of the regular files under DIR: one entry per file, named\n"
     "by its path in DIR with '\\' between folders, in byte order of the names; an\n"
     "image made a texture is named without its extension, a WAV file made a sound\n"
     "with .ogg in place of .wav. A name longer than 64 bytes, two files of one\n"
     "name, or a file that cannot be converted refuses the whole pack. `extract`\n"
     "gives back the files that went in as their bytes (--as raw: all of them).\n"
     "  -o, --output NEW.PAK  the archive to write\n"
     "  --compress MODE    auto (default: each file compressed when that makes it\n"
     "                     smaller), none, fast or best\n"
     "  -j, --jobs N       threads that read, convert and compress files (default 1)\n"
     "  --part-size BYTES  the entries go into companions NEW_00.PAK, ... of at most\n"
     "                     BYTES each (a larger file gets one of its own; K, M and G\n"
     "                     suffixes count 1024s); the entry-point file holds the index\n"
     "  --wait SECONDS     waits at most this long (default 5) while another program\n"
     "                     writes the set, then refuses and changes nothing\n"
     "  --overwrite        lets -o replace an existing file that is no archive\n"
     "An earlier archive NEW.PAK is replaced whole: a reader sees it or the new one.\n", true},
    {"mod", Cli_Mod, nullptr, false, 1, false, "quillon-cli mod make|apply|restore|status|conflicts ...",
     "Mods: what changed between two versions of a game's archives, packaged so\n"
     "that it can be applied to another copy of the game and taken off again.\n"
     "  mod make ORIGINAL MODDED -o MOD [--name NAME] [--zip]\n"
     "                     writes the folder MOD: mod.json (the entries replaced,\n"
     "                     added, removed and renamed per archive, by name and\n"
     "                     occurrence, each original entry with the XXH3-128 of\n"
     "                     its resource) and files/N, each new resource as its\n"
     "                     bytes; with --zip, the same as the .zip file MOD (stored,\n"
     "                     written whole or not at all). ORIGINAL and MODDED are\n"
     "                     two archives or two folders\n"
     "  mod apply MOD GAMEDIR [--dry-run] [--force] [--wait SECONDS]\n"
     "                     checks that every entry the mod touches holds what the\n"
     "                     mod was made against (else refuses, listing those that\n"
     "                     differ, unless --force), keeps a backup in\n"
     "                     GAMEDIR/.quillon (each touched entry-point file and the\n"
     "                     length of every companion), then saves each archive;\n"
     "                     a failed save puts back the archives already saved\n"
     "  mod restore GAMEDIR [--to N]\n"
     "                     takes the last mod applied off (with --to, every mod\n"
     "                     from number N on, last first): every file of the sets\n"
     "                     it touched as before; refuses, naming the file, when\n"
     "                     something else changed a set since\n"
     "  mod status GAMEDIR   the mods applied, first applied first\n"
     "  mod conflicts MOD...  the entries two or more mods touch; exit status 1\n"
     "                     when there are any, 2 when a mod cannot be read\n"
     "A MOD to apply or compare is a mod folder or its .zip.\n"},
    {"verify", Cli_Verify, nullptr, false, 1, false, "quillon-cli verify ARCHIVE [--json]",
     "Checks every record: its file present and a regular file, its bytes inside the\n"
     "file, every LZO-compressed entry expanding completely to its declared length.\n"
     "Entries that overlap or share bytes are listed as information. Exits 1 when\n"
     "anything is broken, naming each broken entry by its line.\n"
     "  --json             the result as one JSON object\n"},
};

const char *const kDumpFormats[DumpFormatCount] = {"byte", "ubyte", "short", "ushort",
                                                    "int",  "uint",  "float", "double"};

}  // namespace

const CliCommand *Cli_FindCommand(const std::string &name)
{
    for (const CliCommand &c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

namespace {

// The positional placeholders of a synopsis: "ARCHIVE or ENTRY", "ARCHIVE, ENTRY or FILE".
std::string MissingText(const CliCommand &command)
{
    std::vector<std::string> words;
    const std::string synopsis = command.synopsis;
    size_t pos = synopsis.find(' ', synopsis.find(' ') + 1);
    while (pos != std::string::npos && static_cast<int>(words.size()) < command.positionals) {
        const size_t next = synopsis.find(' ', pos + 1);
        words.push_back(synopsis.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1));
        pos = next;
    }
    std::string text;
    for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return text;
}

// A flag that takes no value sets its field.
template <bool CliArgs::*Field>
bool SetFlag(const std::string &, CliArgs &args, std::string &)
{
    args.*Field = true;
    return true;
}

template <bool ExportForms::*Field>
bool SetForm(const std::string &, CliArgs &args, std::string &)
{
    args.forms.*Field = true;
    return true;
}

// A whole number from 1 to `most`, as typed (digits only).
bool WholeNumber(const std::string &value, int64_t most, int64_t &n)
{
    n = Bytes_ParseInteger(value);
    return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos && n >= 1 && n <= most;
}

bool SetOutput(const std::string &value, CliArgs &args, std::string &error)
{
    if (value.empty()) {
        error = "-o needs a file name";
        return false;
    }
    args.hasOutput = true;
    args.output = value;
    return true;
}

// --format: a dump's element format, or the block format of textures made from images.
bool SetFormat(const std::string &value, CliArgs &args, std::string &error)
{
    if (args.command == "dump") {
        for (int i = 0; i < DumpFormatCount; ++i) {
            if (Ascii_Equal(value, kDumpFormats[i])) {
                args.dumpFormat = i;
                return true;
            }
        }
        error = "unknown dump format '" + value + "'";
        return false;
    }
    static const std::pair<const char *, TextureChoice> kBlocks[] = {
        {"dxt1", TextureChoice::Dxt1}, {"dxt3", TextureChoice::Dxt3}, {"dxt5", TextureChoice::Dxt5}};
    for (const auto &[word, choice] : kBlocks) {
        if (Ascii_Equal(value, word)) {
            args.textureFormat = choice;
            return true;
        }
    }
    error = "--format takes dxt1, dxt3 or dxt5";
    return false;
}

bool SetOffset(const std::string &value, CliArgs &args, std::string &)
{
    args.offsetText = value;
    return true;
}

bool SetMatch(const std::string &value, CliArgs &args, std::string &)
{
    args.hasMatch = true;
    args.match = value;
    return true;
}

bool SetKinds(const std::string &value, CliArgs &args, std::string &error)
{
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
            return true;
        start = comma + 1;
    }
}

bool SetCompress(const std::string &value, CliArgs &args, std::string &error)
{
    if (!PakWrite_ParseCompress(value, args.compress)) {
        error = "--compress takes auto, none, fast or best";
        return false;
    }
    return true;
}

bool SetWith(const std::string &value, CliArgs &args, std::string &error)
{
    if (value.empty()) {
        error = "--with needs a program";
        return false;
    }
    args.hasWith = true;
    args.with = value;
    return true;
}

bool SetWait(const std::string &value, CliArgs &args, std::string &error)
{
    double seconds = -1;
    const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (value.empty() || failed != std::errc() || end != value.data() + value.size() || !(seconds >= 0) ||
        seconds > 86400) {
        error = "--wait needs a number of seconds from 0 to 86400";
        return false;
    }
    args.waitSeconds = seconds;
    return true;
}

bool SetRestoreTo(const std::string &value, CliArgs &args, std::string &error)
{
    int64_t n = 0;
    if (!WholeNumber(value, 1000000, n)) {
        error = "--to needs the number of an applied mod (mod status lists them)";
        return false;
    }
    args.restoreTo = static_cast<int>(n);
    return true;
}

bool SetModName(const std::string &value, CliArgs &args, std::string &)
{
    args.modName = value;
    return true;
}

bool SetPartSize(const std::string &value, CliArgs &args, std::string &error)
{
    if (!Cli_ParseSize(value, args.partSize)) {
        error = "--part-size needs a number of bytes from 1 to 2147483647 (K, M, G suffixes allowed)";
        return false;
    }
    return true;
}

bool SetAs(const std::string &value, CliArgs &args, std::string &error)
{
    if (!Import_ParseAs(value, args.as)) {
        error = "--as takes raw, texture, sound or model";
        return false;
    }
    args.hasAs = true;
    return true;
}

bool SetQuality(const std::string &value, CliArgs &args, std::string &error)
{
    float q = 0;
    const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), q);
    if (value.empty() || failed != std::errc() || end != value.data() + value.size() || !(q >= -0.1f && q <= 1.0f)) {
        error = "--quality needs a number from -0.1 to 1.0";
        return false;
    }
    args.quality = q;
    return true;
}

bool SetSize(const std::string &value, CliArgs &args, std::string &error)
{
    int64_t n = 0;
    if (!WholeNumber(value, 1024, n)) {
        error = "--size needs a number from 1 to 1024";
        return false;
    }
    args.thumbSize = static_cast<uint32_t>(n);
    return true;
}

bool SetColumns(const std::string &value, CliArgs &args, std::string &error)
{
    int64_t n = 0;
    if (!WholeNumber(value, 65535, n)) {
        error = "--columns needs a number from 1 to 65535";
        return false;
    }
    args.columns = static_cast<uint32_t>(n);
    return true;
}

bool SetJobs(const std::string &value, CliArgs &args, std::string &error)
{
    int64_t n = 0;
    if (!WholeNumber(value, 64, n)) {
        error = "--jobs needs a number from 1 to 64";
        return false;
    }
    args.jobs = static_cast<int>(n);
    return true;
}

struct OptionSpec {
    const char *name;
    char shortName;
    bool takesValue;
    const char *commands;  // the commands that take it, blank-separated
    // Stores the option's effect; false with `error` set when its value is bad.
    bool (*set)(const std::string &value, CliArgs &args, std::string &error);
};

const OptionSpec kOptions[] = {
    {"--help", 'h', false, "list show export dump extract sheet find grep refs diff replace add remove rename update pack verify mod edit", SetFlag<&CliArgs::help>},
    {"--long", 0, false, "list", SetFlag<&CliArgs::longList>},
    {"--json", 0, false, "list show find grep refs diff verify sheet", SetFlag<&CliArgs::json>},
    {"--output", 'o', true, "export dump extract sheet replace add remove rename update pack mod edit", SetOutput},
    {"--interpreted", 0, false, "export extract", SetForm<&ExportForms::interpreted>},
    {"--wav", 0, false, "export extract", SetForm<&ExportForms::wav>},
    {"--png", 0, false, "export extract", SetForm<&ExportForms::png>},
    {"--gltf", 0, false, "export extract", SetForm<&ExportForms::gltf>},
    {"--glb", 0, false, "export extract", SetForm<&ExportForms::glb>},
    {"--obj-mtl", 0, false, "export extract", SetForm<&ExportForms::objMtl>},
    {"--format", 0, true, "dump replace add update pack", SetFormat},
    {"--cluster-fit", 0, false, "replace add update pack", SetFlag<&CliArgs::clusterFit>},
    {"--big-endian", 0, false, "dump", SetFlag<&CliArgs::bigEndian>},
    {"--decimal", 0, false, "dump", SetFlag<&CliArgs::decimal>},
    {"--offset", 0, true, "dump", SetOffset},
    {"--match", 0, true, "extract sheet", SetMatch},
    {"--kind", 0, true, "extract find grep sheet", SetKinds},
    {"--all-kinds", 0, false, "grep", SetFlag<&CliArgs::allKinds>},
    {"--regex", 0, false, "grep", SetFlag<&CliArgs::regex>},
    {"--case", 0, false, "grep", SetFlag<&CliArgs::matchCase>},
    {"--overwrite", 0, false, "extract replace add remove rename update pack edit", SetFlag<&CliArgs::overwrite>},
    {"--wait", 0, true, "replace add remove rename update pack mod edit", SetWait},
    {"--jobs", 'j', true, "extract grep diff pack sheet", SetJobs},
    {"--size", 0, true, "sheet", SetSize},
    {"--columns", 0, true, "sheet", SetColumns},
    {"--recursive", 'r', false, "list extract find grep refs diff", SetFlag<&CliArgs::recursive>},
    {"--stat", 0, false, "diff", SetFlag<&CliArgs::stat>},
    {"--compress", 0, true, "replace add update pack edit", SetCompress},
    {"--compact", 0, false, "replace add remove rename update", SetFlag<&CliArgs::compact>},
    {"--add", 0, false, "update", SetFlag<&CliArgs::addNew>},
    {"--dry-run", 0, false, "update mod", SetFlag<&CliArgs::dryRun>},
    {"--force", 0, false, "mod", SetFlag<&CliArgs::force>},
    {"--to", 0, true, "mod", SetRestoreTo},
    {"--name", 0, true, "mod", SetModName},
    {"--zip", 0, false, "mod", SetFlag<&CliArgs::modZip>},
    {"--part-size", 0, true, "pack", SetPartSize},
    {"--as", 0, true, "replace add update pack", SetAs},
    {"--with", 0, true, "edit", SetWith},
    {"--quality", 0, true, "replace add update pack edit", SetQuality},
};

bool TakesOption(const OptionSpec &option, const std::string &command)
{
    std::string list = std::string(" ") + option.commands + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

}  // namespace

std::string Cli_Usage(const std::string &command)
{
    if (const CliCommand *c = Cli_FindCommand(command))
        return std::string("usage: ") + c->synopsis + "\n\n" + c->details + (c->imports ? kImportOptions : "") +
               "\nENTRY is a line exactly as `list` prints it (e.g. \"box01 [0012]\") or #N for\n"
               "record number N; put -- before an ENTRY that starts with '-'.\n";
    std::string text = "usage: quillon-cli COMMAND ARGUMENTS...\n\n";
    for (const CliCommand &c : kCommands)
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
        if (argc > 2 && Cli_FindCommand(argv[2]))
            args.command = argv[2];
        return true;
    }
    const CliCommand *command = Cli_FindCommand(first);
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
        if (!option->set(value, args, error))
            return false;
    }
    if (args.help)
        return true;
    if (static_cast<int>(args.positional.size()) < command->positionals) {
        error = "missing " + MissingText(*command);
        return false;
    }
    // mod's verbs take their own arguments.
    if (static_cast<int>(args.positional.size()) > command->positionals && args.command != "mod") {
        error = "unexpected argument '" + args.positional[command->positionals] + "'";
        return false;
    }
    if (args.command == "export" && args.forms.wav && args.forms.interpreted) {
        error = "--wav and --interpreted choose different forms: give one of them";
        return false;
    }
    if (args.json && args.longList) {
        error = "--long and --json choose different outputs: give one of them";
        return false;
    }
    const ExportForms &f = args.forms;
    const int forms = f.png + f.gltf + f.glb + f.objMtl;
    if (args.command == "export" && forms > 0 && (forms > 1 || f.wav || f.interpreted)) {
        error = "--interpreted, --wav, --png, --gltf, --glb and --obj-mtl choose different forms: give one of them";
        return false;
    }
    if (args.command == "extract" && f.gltf + f.glb + f.objMtl > 1) {
        error = "--gltf, --glb and --obj-mtl choose different forms for models: give one of them";
        return false;
    }
    if (args.allKinds && !args.kinds.empty()) {
        error = "--kind and --all-kinds choose different entries: give one of them";
        return false;
    }
    if (args.command == "refs" && args.positional[1].empty()) {
        error = "NAME is empty";
        return false;
    }
    if (args.command == "sheet" && args.json && args.output == "-") {
        error = "--json and -o - both write to standard output: give one of them";
        return false;
    }
    if (command->needsOutput && !args.hasOutput) {
        error = std::string(args.command == "extract" ? "-o DIR" : args.command == "sheet" ? "-o SHEET.png" : args.command == "pack" ? "-o NEW.PAK" : "-o FILE") +
                " is required";
        return false;
    }
    return true;
}
