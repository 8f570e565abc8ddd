#include "base/ascii.h"
#include "session/archive_tree.h"

#include "lookup/lookup.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Labels in the list's order: ASCII case ignored, then bytes.
int CompareLabels(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(Fold(a[i])), y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

std::string_view LabelOf(const TreeArchive &archive, const TreeNode &node)
{
    return std::string_view(archive.lines.text).substr(node.labelAt, node.labelLength);
}

}  // namespace

EntryLines Viewer_MakeLines(const PakArchive &pak, std::vector<int> order)
{
    EntryLines lines;
    lines.slots = std::move(order);
    lines.at.reserve(lines.slots.size() + 1);
    lines.nameLength.reserve(lines.slots.size());
    for (int slot : lines.slots) {
        const PakEntry &entry = pak.entries[static_cast<size_t>(slot)];
        lines.at.push_back(static_cast<uint32_t>(lines.text.size()));
        lines.text.append(entry.displayName, strnlen(entry.displayName, sizeof entry.displayName));
        lines.text += '\0';
        lines.nameLength.push_back(static_cast<uint8_t>(strnlen(entry.name, sizeof entry.name)));
    }
    lines.at.push_back(static_cast<uint32_t>(lines.text.size()));
    return lines;
}

bool ArchiveTree_OpenFolder(const std::string &folder, ArchiveTree &tree, std::string &error)
{
    std::vector<GamesetArchive> files;
    if (!Gameset_ListArchives(folder, false, files, error))
        return false;
    tree = ArchiveTree{};
    tree.folder = folder;
    tree.archives.resize(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        TreeArchive &archive = tree.archives[i];
        archive.file = std::move(files[i]);
        // Counted from the records' sizes alone: the lines are made only for
        // the archives the user opens, but the count is the one they will show.
        FILE *file = nullptr;
        PakHeader header{};
        if (Pak_CheckEntryPoint(archive.file.path, &file, header) == PakOpenResult::Ok) {
            archive.entries = Pak_CountEntries(file, archive.file.path, header);
            fclose(file);
        }
    }
    return true;
}

void ArchiveTree_SetArchive(ArchiveTree &tree, const PakArchive &pak, EntryLines lines)
{
    tree = ArchiveTree{};
    TreeArchive archive;
    const size_t sep = pak.path.find_last_of("\\/");
    archive.file = {pak.path, sep == std::string::npos ? pak.path : pak.path.substr(sep + 1)};
    archive.lines = std::move(lines);
    archive.entries = static_cast<int64_t>(archive.lines.size());
    archive.read = true;
    tree.archives.push_back(std::move(archive));
}

bool ArchiveTree_ReadLines(TreeArchive &archive)
{
    if (archive.read)
        return !archive.refused;
    archive.read = true;
    PakArchive pak;
    if (Pak_OpenArchive(archive.file.path, pak) != PakOpenResult::Ok) {
        archive.refused = true;
        archive.entries = 0;
        return false;
    }
    archive.lines = Viewer_MakeLines(pak, Pak_SortedLines(pak));
    archive.entries = static_cast<int64_t>(archive.lines.size());
    return true;
}

void ArchiveTree_Build(TreeArchive &archive)
{
    if (!archive.nodes.empty())
        return;
    ArchiveTree_ReadLines(archive);
    const EntryLines &lines = archive.lines;
    std::vector<TreeNode> nodes(1);
    nodes.reserve(lines.size() + 1);
    std::unordered_map<std::string, uint32_t> folders;  // the parent's number and the folded name
    std::string key;
    for (size_t i = 0; i < lines.size(); ++i) {
        const uint32_t start = lines.at[i], nameEnd = start + lines.nameLength[i], lineEnd = lines.at[i + 1] - 1;
        uint32_t parent = 0, part = start;
        for (uint32_t p = start; p < nameEnd; ++p) {
            if (!IsSeparator(lines.text[p]))
                continue;
            // Doubled separators make no folder of an empty name.
            if (p > part) {
                key.assign(reinterpret_cast<const char *>(&parent), sizeof parent);
                for (uint32_t q = part; q < p; ++q)
                    key += Fold(lines.text[q]);
                const auto [it, added] = folders.try_emplace(key, static_cast<uint32_t>(nodes.size()));
                if (added) {
                    TreeNode folder;
                    folder.parent = static_cast<int32_t>(parent);
                    folder.labelAt = part;
                    folder.labelLength = p - part;
                    nodes.push_back(folder);
                }
                parent = it->second;
            }
            part = p + 1;
        }
        TreeNode entry;
        entry.parent = static_cast<int32_t>(parent);
        entry.line = static_cast<int32_t>(i);
        // A name that ends in a separator has no last part: its whole line stands.
        entry.labelAt = part < nameEnd ? part : start;
        entry.labelLength = lineEnd - entry.labelAt;
        nodes.push_back(entry);
    }

    // Each node's children: its folders by name, then its entries in list order.
    std::vector<uint32_t> order(nodes.size() - 1);
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i + 1;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const TreeNode &x = nodes[a], &y = nodes[b];
        if (x.parent != y.parent)
            return x.parent < y.parent;
        if ((x.line < 0) != (y.line < 0))
            return x.line < 0;
        if (x.line < 0) {
            const int c = CompareLabels(LabelOf(archive, x), LabelOf(archive, y));
            if (c != 0)
                return c < 0;
        }
        return a < b;
    });
    for (uint32_t i = 0; i < order.size(); ++i) {
        nodes[order[i]].place = i;
        TreeNode &parent = nodes[static_cast<size_t>(nodes[order[i]].parent)];
        if (parent.childCount++ == 0)
            parent.firstChild = i;
    }
    archive.children = std::move(order);
    archive.nodes = std::move(nodes);
}

bool ArchiveTree_Find(const ArchiveTree &tree, TreeItem item, size_t &archive, uint32_t &node)
{
    if ((item >> 32) == 0)
        return false;
    archive = static_cast<size_t>((item >> 32) - 1);
    node = static_cast<uint32_t>(item);
    if (archive >= tree.archives.size())
        return false;
    // An archive not yet opened has only its own node.
    return node == 0 || node < tree.archives[archive].nodes.size();
}

std::vector<TreeItem> ArchiveTree_Children(ArchiveTree &tree, TreeItem item)
{
    std::vector<TreeItem> items;
    if (item == 0) {
        for (size_t a = 0; a < tree.archives.size(); ++a)
            items.push_back(ArchiveTree_Item(a, 0));
        return items;
    }
    size_t a = 0;
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, a, n))
        return items;
    TreeArchive &archive = tree.archives[a];
    ArchiveTree_Build(archive);
    const TreeNode &node = archive.nodes[n];
    items.reserve(node.childCount);
    for (uint32_t i = 0; i < node.childCount; ++i)
        items.push_back(ArchiveTree_Item(a, archive.children[node.firstChild + i]));
    return items;
}

TreeItem ArchiveTree_Parent(const ArchiveTree &tree, TreeItem item)
{
    size_t a = 0;
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, a, n) || n == 0)
        return 0;
    return ArchiveTree_Item(a, static_cast<uint32_t>(tree.archives[a].nodes[n].parent));
}

TreeItem ArchiveTree_Sibling(const ArchiveTree &tree, TreeItem item, int step)
{
    size_t a = 0;
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, a, n))
        return 0;
    if (n == 0) {
        const size_t next = a + static_cast<size_t>(step);  // wraps past 0 to a huge value
        return next < tree.archives.size() ? ArchiveTree_Item(next, 0) : 0;
    }
    const TreeArchive &archive = tree.archives[a];
    const TreeNode &parent = archive.nodes[static_cast<size_t>(archive.nodes[n].parent)];
    const int64_t j = static_cast<int64_t>(archive.nodes[n].place) + step;
    if (j < parent.firstChild || j >= static_cast<int64_t>(parent.firstChild) + parent.childCount)
        return 0;
    return ArchiveTree_Item(a, archive.children[static_cast<size_t>(j)]);
}

TreeItem ArchiveTree_EdgeChild(ArchiveTree &tree, TreeItem item, bool last)
{
    if (item == 0)
        return tree.archives.empty() ? 0 : ArchiveTree_Item(last ? tree.archives.size() - 1 : 0, 0);
    size_t a = 0;
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, a, n))
        return 0;
    TreeArchive &archive = tree.archives[a];
    ArchiveTree_Build(archive);
    const TreeNode &node = archive.nodes[n];
    if (node.childCount == 0)
        return 0;
    return ArchiveTree_Item(a, archive.children[node.firstChild + (last ? node.childCount - 1 : 0)]);
}

bool ArchiveTree_IsContainer(const ArchiveTree &tree, TreeItem item)
{
    size_t a = 0;
    uint32_t n = 0;
    if (item == 0)
        return true;
    return ArchiveTree_Find(tree, item, a, n) && (n == 0 || tree.archives[a].nodes[n].line < 0);
}

std::string ArchiveTree_Label(const ArchiveTree &tree, TreeItem item)
{
    size_t a = 0;
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, a, n))
        return std::string();
    const TreeArchive &archive = tree.archives[a];
    if (n != 0)
        return std::string(LabelOf(archive, archive.nodes[n]));
    if (archive.refused)
        return archive.file.name + " (cannot be read)";
    return archive.file.name + " (" + std::to_string(archive.entries) + (archive.entries == 1 ? " entry)" : " entries)");
}

bool ArchiveTree_Entry(const ArchiveTree &tree, TreeItem item, size_t &archive, int &line)
{
    uint32_t n = 0;
    if (!ArchiveTree_Find(tree, item, archive, n) || n == 0)
        return false;
    line = tree.archives[archive].nodes[n].line;
    return line >= 0;
}

// The line of the stored entry `name` (case ignored), or -1.
static int NamedLine(const EntryLines &lines, const std::string &name)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines.nameLength[i] == name.size() && Ascii_Equal(std::string_view(lines.LineStart(i), name.size()), name))
            return static_cast<int>(i);
    return -1;
}

TreeItem ArchiveTree_FindEntry(ArchiveTree &tree, const std::string &name)
{
    if (name.empty() || name.size() > sizeof(PakEntry::name))
        return 0;
    for (size_t a = 0; a < tree.archives.size(); ++a) {
        TreeArchive &archive = tree.archives[a];
        if (!ArchiveTree_ReadLines(archive))
            continue;
        const int line = NamedLine(archive.lines, name);
        if (line < 0)
            continue;
        ArchiveTree_Build(archive);
        for (size_t n = 0; n < archive.nodes.size(); ++n)
            if (archive.nodes[n].line == line)
                return ArchiveTree_Item(a, static_cast<uint32_t>(n));
    }
    return 0;
}

bool ArchiveTree_LookElsewhere(ArchiveTree &tree, const std::string &skip, const std::string &name,
                               ResourceKind kind, std::vector<uint8_t> &bytes, std::string &foundIn)
{
    if (name.empty() || name.size() > sizeof(PakEntry::name))
        return false;
    for (TreeArchive &archive : tree.archives) {
        // The open archive and GLOBAL.PAK were searched before this is asked.
        if (archive.file.path == skip || Ascii_Equal(archive.file.name, "GLOBAL.PAK") ||
            !ArchiveTree_ReadLines(archive))
            continue;
        if (NamedLine(archive.lines, name) < 0)
            continue;
        PakArchive pak;
        if (Pak_OpenArchive(archive.file.path, pak) == PakOpenResult::Ok &&
            Pak_LoadEntryByName(name, kind, pak, bytes)) {
            foundIn = archive.file.name;
            return true;
        }
    }
    return false;
}
