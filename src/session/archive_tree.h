// The entry lines of archives, and the tree of archives, folders and entries
// that the window shows for a folder of archives (or for one archive, View >
// As Tree). Only lines are kept: an archive's index is read once for them and
// let go, its folder structure is built when its node is first opened, and
// nothing of a resource is ever held here. No wx: the window's model reads it.
#pragma once

#include "gameset/gameset.h"
#include "pak/pak.h"
#include "resource/resource_kind.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Every stored entry of one archive as a list line, in list order, the texts
// back to back: the list shows them and the find bar reads them without the index.
struct EntryLines {
    std::vector<int> slots;           // the entry of line i: its slot in the archive's index
    std::string text;                 // the lines, each ended by a NUL
    std::vector<uint32_t> at;         // where line i starts in `text`; one more: its end
    std::vector<uint8_t> nameLength;  // characters of line i that are the entry's name

    size_t size() const { return slots.size(); }
    const char *LineStart(size_t i) const { return text.data() + at[i]; }
    std::string_view Line(size_t i) const { return {text.data() + at[i], at[i + 1] - at[i] - 1}; }
};

// The lines of `pak`'s entries in `order` (slots, as Pak_SortedLines gives them).
EntryLines Viewer_MakeLines(const PakArchive &pak, std::vector<int> order);

// A folder or an entry of an archive's tree; node 0 is the archive itself.
struct TreeNode {
    int32_t parent = -1;     // -1 for node 0
    int32_t line = -1;       // the entry's line; -1 for a folder
    uint32_t labelAt = 0;    // the folder's name, or the entry's last part and number, in lines.text
    uint32_t labelLength = 0;
    uint32_t firstChild = 0;  // the node's children in TreeArchive::children: folders, then entries
    uint32_t childCount = 0;
    uint32_t place = 0;       // where the node is in its parent's children
};

struct TreeArchive {
    GamesetArchive file;
    int64_t entries = 0;   // the stored entries: the lines the archive shows
    bool read = false;     // `lines` holds the archive's entries
    bool refused = false;  // its index could not be read (then it has no entries to show)
    EntryLines lines;
    std::vector<int8_t> kinds;    // per line once the find bar's kind choice read it: its kind, -2 unreadable, -1 not yet
    std::vector<TreeNode> nodes;  // empty until the archive's node is first opened
    std::vector<uint32_t> children;
};

// The archives the window shows, in name order (case ignored).
struct ArchiveTree {
    std::string folder;  // the folder they came from; empty for one archive alone
    std::vector<TreeArchive> archives;
};

// A node as the window names it: 0 the invisible root, otherwise
// (archive + 1) << 32 | node.
using TreeItem = uint64_t;
constexpr TreeItem ArchiveTree_Item(size_t archive, uint32_t node)
{
    return (static_cast<uint64_t>(archive) + 1) << 32 | node;
}

// The folder's archives with their entry counts (no lines made); false with
// `error` when the folder cannot be read.
bool ArchiveTree_OpenFolder(const std::string &folder, ArchiveTree &tree, std::string &error);

// One archive already open in the viewer, its lines given.
void ArchiveTree_SetArchive(ArchiveTree &tree, const PakArchive &pak, EntryLines lines);

// Reads the archive's index once for its lines; false when it is refused.
bool ArchiveTree_ReadLines(TreeArchive &archive);

// Builds the archive's folders and entries once (reading its lines first);
// folders are the parts of the names split at '\' and '/', case ignored.
void ArchiveTree_Build(TreeArchive &archive);

// The archive and node of an item; false for the root and for items that name nothing.
bool ArchiveTree_Find(const ArchiveTree &tree, TreeItem item, size_t &archive, uint32_t &node);

// The children of an item (the archives, for the root), building the
// archive's structure when it is first opened.
std::vector<TreeItem> ArchiveTree_Children(ArchiveTree &tree, TreeItem item);
TreeItem ArchiveTree_Parent(const ArchiveTree &tree, TreeItem item);
bool ArchiveTree_IsContainer(const ArchiveTree &tree, TreeItem item);
// The item's neighbour under the same parent (`step` -1 or +1), or its first
// or last child (building the archive's structure); 0 when there is none.
TreeItem ArchiveTree_Sibling(const ArchiveTree &tree, TreeItem item, int step);
TreeItem ArchiveTree_EdgeChild(ArchiveTree &tree, TreeItem item, bool last);

// "M02_FENHOLT1.PAK (12500 entries)", a folder's name, or an entry's last
// part with its number ("crate_d [0412]"). Bytes as the archive holds them.
std::string ArchiveTree_Label(const ArchiveTree &tree, TreeItem item);

// The archive and entry line of an entry item; false for archives and folders.
bool ArchiveTree_Entry(const ArchiveTree &tree, TreeItem item, size_t &archive, int &line);

// The item of the stored entry `name` (case ignored) in the first archive,
// in name order, that holds it, building that archive's structure; 0 when
// no archive does.
TreeItem ArchiveTree_FindEntry(ArchiveTree &tree, const std::string &name);

// Looks in the tree's archives other than `skip` and GLOBAL.PAK, in name
// order, for an entry `name` of `kind`: its bytes and the archive's name.
// Only an archive whose lines hold the name has its index read.
bool ArchiveTree_LookElsewhere(ArchiveTree &tree, const std::string &skip, const std::string &name,
                               ResourceKind kind, std::vector<uint8_t> &bytes, std::string &foundIn);
