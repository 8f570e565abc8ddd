// quillon-cli(1): the manual page, made from the very texts --help prints, so
// a command or option added to the usage tables is in the page as well.
// Only the frame (description, exit statuses, examples) is written here.
#include "cli.h"

#include <quillon_version.h>

#include <cctype>

namespace {

// One option item of a usage text: "  -o, --output FILE  the file to write".
struct UsageItem {
    std::string term;
    std::string text;
};

// Text escaped for roff. A '-' that starts a word (an option dash or a lone
// dash), or any '-' of a name to type, is written \- so it stays an ASCII
// hyphen-minus; `name` becomes bold.
std::string Roff(const std::string &text, bool typed = false)
{
    std::string out;
    bool bold = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-' && (typed || i == 0 || !isalnum(static_cast<unsigned char>(text[i - 1])))) {
            out += "\\-";
        } else if (c == '`') {
            out += bold ? "\\fR" : "\\fB";
            bold = !bold;
        } else {
            out += c;
        }
    }
    if (bold)
        out += "\\fR";
    // A line that starts with a control character would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out = "\\&" + out;
    return out;
}

// A usage word in the page's fonts: options and the program bold, the
// placeholders (ARCHIVE, FILE, KIND,...) italic, brackets and bars plain.
std::string RoffWord(const std::string &word)
{
    size_t begin = word.find_first_not_of("[|");
    size_t end = word.find_last_not_of("]|,");
    if (begin == std::string::npos || end < begin)
        return Roff(word);
    const std::string core = word.substr(begin, end + 1 - begin);
    bool placeholder = true;
    for (char c : core)
        if (islower(static_cast<unsigned char>(c)))
            placeholder = false;
    if (core[0] == '-')
        placeholder = false;
    return Roff(word.substr(0, begin)) + (placeholder ? "\\fI" : "\\fB") + Roff(core, true) + "\\fR" +
           Roff(word.substr(end + 1));
}

std::string RoffWords(const std::string &text)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t space = text.find(' ', pos);
        if (space == std::string::npos)
            space = text.size();
        if (!out.empty())
            out += ' ';
        out += RoffWord(text.substr(pos, space - pos));
        pos = space + 1;
    }
    return out;
}

std::vector<std::string> Split(const std::string &text, const std::string &separator)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        size_t next = text.find(separator, pos);
        parts.push_back(text.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
        if (next == std::string::npos)
            return parts;
        pos = next + separator.size();
    }
}

// One paragraph of a usage text in roff: its prose filled, its option items
// ("  TERM  text" with continuation lines indented further: an option, or a
// command's verb) as tagged paragraphs.
std::string RoffParagraph(const std::string &paragraph)
{
    std::string out, prose;
    std::vector<UsageItem> items;
    auto flushProse = [&] {
        if (!prose.empty())
            out += ".PP\n" + Roff(prose) + "\n";
        prose.clear();
    };
    auto flushItems = [&] {
        for (const UsageItem &item : items)
            out += ".TP\n" + RoffWords(item.term) + "\n" + Roff(item.text) + "\n";
        items.clear();
    };
    for (const std::string &line : Split(paragraph, "\n")) {
        const size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos)
            continue;
        const std::string words = line.substr(indent);
        if (indent == 2) {
            flushProse();
            size_t gap = words.find("  ");
            UsageItem item;
            item.term = words.substr(0, gap);
            if (gap != std::string::npos)
                item.text = words.substr(words.find_first_not_of(' ', gap));
            items.push_back(item);
        } else if (indent > 2 && !items.empty()) {
            items.back().text += (items.back().text.empty() ? "" : " ") + words;
        } else {
            flushItems();
            prose += (prose.empty() ? "" : " ") + words;
        }
    }
    flushProse();
    flushItems();
    return out;
}

}  // namespace

std::string Cli_ManPage()
{
    // The tool's usage: "usage: ...", the synopses (commands, then --version), a note.
    std::vector<std::string> synopses, commands;
    for (const std::string &line : Split(Cli_Usage(""), "\n")) {
        if (line.rfind("  quillon-cli ", 0) != 0)
            continue;
        synopses.push_back(line.substr(2));
        const std::string word = Split(line.substr(14), " ")[0];
        if (word[0] != '-')
            commands.push_back(word);
    }

    std::string page = ".TH QUILLON\\-CLI 1 \"\" \"Quillon " QUILLON_VERSION "\" \"User Commands\"\n"
                       ".nh\n.ad l\n";  // option names are never hyphenated
    page += ".SH NAME\nquillon\\-cli \\- ";
    for (size_t i = 0; i < commands.size(); ++i)
        page += (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") + commands[i];
    page += " the entries of Duskmoor data archives\n";

    page += ".SH SYNOPSIS\n";
    for (const std::string &synopsis : synopses)
        page += RoffWords(synopsis) + "\n.br\n";

    // Each command's usage: "usage: SYNOPSIS", its details, the note on ENTRY.
    std::string commandSections, notes;
    for (const std::string &command : commands) {
        std::vector<std::string> paragraphs = Split(Cli_Usage(command), "\n\n");
        commandSections += ".SS " + command + "\n" + RoffWords(paragraphs[0].substr(7)) + "\n";
        for (size_t i = 1; i + 1 < paragraphs.size(); ++i)
            commandSections += RoffParagraph(paragraphs[i]);
        const std::string note = RoffParagraph(paragraphs.back());
        if (notes.find(note) == std::string::npos)
            notes += note;
    }

    page += ".SH DESCRIPTION\n"
            ".B quillon\\-cli\n"
            "reads the data archives (.PAK) of the game Duskmoor with the same readers and writers as the\n"
            "viewer\n.BR quillon (1).\n"
            "Give the entry\\-point archive (such as GLOBAL.PAK): its numbered companions\n"
            "(GLOBAL_00.PAK, ...) are read from the same folder as needed, and LZO\\-compressed entries\n"
            "are expanded.\n" +
            notes;
    page += ".SH COMMANDS\n" + commandSections;
    page += ".SH OPTIONS\n"
            "Each command's options are listed with the command above. These stand alone:\n"
            ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR [\\fICOMMAND\\fR]\n"
            "prints the usage of the tool, or of COMMAND (also given as\n"
            "\\fBquillon\\-cli\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR), on standard output.\n"
            ".TP\n\\fB\\-\\-version\\fR\n"
            "prints \"quillon\\-cli\" and the version.\n";

    page += ".SH EXIT STATUS\n"
            ".TP\n" + std::to_string(kExitOk) + "\nThe command did what was asked.\n"
            ".TP\n" + std::to_string(kExitFailed) + "\n"
            "A refusal or failure that the viewer would show as a message: the archive does not open,\n"
            "no entry matches ENTRY, an entry does not load or has no such form, or a file cannot be\n"
            "written. The message is printed on standard error. \\fBextract\\fR keeps going past entries\n"
            "that fail and exits with this status at the end. \\fBdiff\\fR exits with it when the two\n"
            "versions differ, \\fBverify\\fR when a record is broken.\n"
            ".TP\n" + std::to_string(kExitUsage) + "\n"
            "The command line cannot be understood; the message and the command's usage are printed on\n"
            "standard error. \\fBdiff\\fR also exits with it when an archive or entry cannot be read.\n"
            ".PP\n"
            "\\fBgrep\\fR and \\fBrefs\\fR exit as grep(1) does: 0 when something was found, 1 when nothing\n"
            "was, 2 when an archive or entry cannot be read, a regular expression does not compile, or the\n"
            "command line cannot be understood.\n";

    page += ".SH EXAMPLES\n"
            "List the entries of an archive with their kinds and sizes:\n"
            ".PP\n.RS\n.EX\nquillon\\-cli list GLOBAL.PAK \\-\\-long\n.EE\n.RE\n"
            ".PP\n"
            "Save a texture as a .dds file, naming it by its list line or by its record number:\n"
            ".PP\n.RS\n.EX\n"
            "quillon\\-cli export GLOBAL.PAK 'textures\\eenv\\estone_wall_d [0001]' \\-o wall.dds \\-\\-interpreted\n"
            "quillon\\-cli export GLOBAL.PAK '#1' \\-o wall.dds \\-\\-interpreted\n"
            ".EE\n.RE\n"
            ".PP\n"
            "Print an entry's first values as decimal floats:\n"
            ".PP\n.RS\n.EX\nquillon\\-cli dump GLOBAL.PAK '#21' \\-o \\- \\-\\-format float \\-\\-decimal | head\n.EE\n.RE\n"
            ".PP\n"
            "Extract every sound as a WAV file, and every texture as a .dds file:\n"
            ".PP\n.RS\n.EX\n"
            "quillon\\-cli extract GLOBAL.PAK \\-o sounds \\-\\-kind ogg \\-\\-wav\n"
            "quillon\\-cli extract GLOBAL.PAK \\-o textures \\-\\-kind texture \\-\\-interpreted\n"
            ".EE\n.RE\n"
            ".PP\n"
            "Look at every texture of an archive at once, 64 pixels each, 16 to a row:\n"
            ".PP\n.RS\n.EX\nquillon\\-cli sheet GLOBAL.PAK \\-o textures.png \\-\\-size 64 \\-\\-columns 16\n.EE\n.RE\n"
            ".PP\n"
            "Find which archive of the game holds a texture, and what a patch changed:\n"
            ".PP\n.RS\n.EX\n"
            "quillon\\-cli find pc 'crate_d' \\-\\-kind texture\n"
            "quillon\\-cli diff pc\\-1.0 pc\\-1.1 \\-\\-stat\n"
            ".EE\n.RE\n"
            ".PP\n"
            "Find where a value is set across the game, and which materials and models use a texture:\n"
            ".PP\n.RS\n.EX\n"
            "quillon\\-cli grep pc 'fog_density' \\-\\-recursive\n"
            "quillon\\-cli refs pc 'textures\\eenv\\estone_wall_d'\n"
            ".EE\n.RE\n"
            ".PP\n"
            "Put edited files back: extract, edit, then replace every entry whose file changed:\n"
            ".PP\n.RS\n.EX\n"
            "quillon\\-cli extract GLOBAL.PAK \\-o work\n"
            "quillon\\-cli update GLOBAL.PAK work \\-\\-dry\\-run\n"
            "quillon\\-cli update GLOBAL.PAK work\n"
            ".EE\n.RE\n";
    page += ".SH SEE ALSO\n.BR quillon (1)\n";
    return page;
}
