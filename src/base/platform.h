// The operating system's files, folders and console, behind one small API.
//
// Paths are UTF-8 everywhere in Quillon; on Windows they become UTF-16 at the
// system call, so a folder named in any script opens. An open file or folder
// is an `int` descriptor on every system (on Windows the C runtime's, over a
// system handle), so the stdio and write loops built on them stay one code.
// Failures return -1, false or an empty string with errno set, so callers
// word their messages with strerror(errno) on every system.
//
// Folder handles keep writes inside a chosen folder whatever links are
// planted in it: on Linux they are directory descriptors used with the *at
// calls; on Windows a folder handle is opened without delete sharing, so the
// folder cannot be renamed or swapped for a junction while it is held, links
// (reparse points) are refused when a subfolder is opened or a name is
// created, and names are joined to the folder's final path. A rename that
// must not replace is renameat2(RENAME_NOREPLACE) (or a new hard link) on
// Linux and MoveFileExW without MOVEFILE_REPLACE_EXISTING on Windows: both
// fail on any existing name, a link to nothing included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
inline constexpr char kSysPathSeparators[] = "/\\";
#else
inline constexpr char kSysPathSeparators[] = "/";
#endif

#ifdef _WIN32
// One argument of a Windows command line as the C runtime's parser reads it
// back: quoted when it is empty or holds blanks or quotes; backslashes
// doubled only before a quote.
std::wstring Sys_QuotedArgument(const std::wstring &arg);
#endif

// Stands for the current folder where a folder handle is asked for: the name is then a whole path.
inline constexpr int kSysCurrentFolder = -100;

// What a name designates. `Failed` when it could not be looked at for a reason other than its absence.
enum class SysKind { Missing, File, Folder, Link, Other, Failed };

// Identity and modification time of a folder, to tell whether its listing still holds.
struct SysFolderStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t changedSeconds = 0;
    int64_t changedNanoseconds = 0;
};

// -- Files by path --------------------------------------------------------

// Opens `path` for reading if it is a regular file, never waiting on a FIFO; -1 otherwise. Its size in *length.
int Sys_OpenRegularRead(const std::string &path, int64_t *length);
// Opens an existing file for writes that always land at its end; -1 when it does not exist or cannot be written.
int Sys_OpenAppend(const std::string &path);
// fopen on a UTF-8 path; always in binary on Windows, so the bytes are those written on Linux.
FILE *Sys_FOpen(const std::string &path, const char *mode);
// A UTF-8 path as the standard library's path, for its streams.
inline std::filesystem::path Sys_NativePath(const std::string &path)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    return std::filesystem::path(path);
#endif
}
// Creates a new file named `path` + a unique suffix, readable and writable by its owner only; its name in `tempPath`.
int Sys_CreateTempBeside(const std::string &path, std::string &tempPath);
// Renames `from` over `to` (replacing it), then asks for the rename on disk; false when `to` still holds what it held.
bool Sys_ReplaceByRename(const std::string &from, const std::string &to);
// What `path` designates (a link itself unless `followLinks`); its size in *size when a file.
SysKind Sys_PathKind(const std::string &path, bool followLinks, int64_t *size = nullptr);
// The absolute path with every link resolved; empty when it cannot be resolved.
std::string Sys_ResolvePath(const std::string &path);
// Creates `path` and its missing parents; false when one could not be made.
bool Sys_MakeFolders(const std::string &path);
// The folder part of `path` as the system splits it ("" for a bare name).
std::string Sys_ParentFolder(const std::string &path);
// Identity and modification time of the folder `path`; false when it is not a folder.
bool Sys_FolderStamp(const std::string &path, SysFolderStamp *stamp);
// The names in the folder `path`, without "." and ".."; false when it cannot be listed.
bool Sys_ListFolder(const std::string &path, std::vector<std::string> &names);

// -- Open files -----------------------------------------------------------

// Closes `fd`; false when the system reports an error (a delayed write may fail here).
bool Sys_Close(int fd);
// Writes up to `size` bytes at the file position; the count written, or -1.
int64_t Sys_Write(int fd, const void *data, size_t size);
// Writes up to `size` bytes at `offset` (the file position may move on Windows); the count written, or -1.
int64_t Sys_WriteAt(int fd, const void *data, size_t size, int64_t offset);
// Cuts the file to `length` bytes (or extends it with zeros); false on failure.
bool Sys_Truncate(int fd, int64_t length);
// Reads up to `size` bytes at `offset` (the file position may move on Windows); the count read, 0 at the end, or -1.
int64_t Sys_ReadAt(int fd, void *data, size_t size, int64_t offset);
// The size in bytes of the open file, or -1.
int64_t Sys_FileSize(int fd);
// Flushes the file's written bytes and size to the disk; false when they may not be there.
bool Sys_FlushToDisk(int fd);
// The permission bits of the open file in *mode; false where the system has none (Windows).
bool Sys_FileMode(int fd, unsigned *mode);
// Sets the permission bits of the open file; true and nothing done where the system has none.
bool Sys_SetFileMode(int fd, unsigned mode);
// A stdio stream over `fd` (which it then owns); nullptr leaves `fd` open.
FILE *Sys_StreamFromFd(int fd, const char *mode);
// True when `fd` is a terminal or console.
bool Sys_IsTerminal(int fd);

inline constexpr int64_t kSysWriteFailed = -1;
inline constexpr int64_t kSysReadFailed = -2;
// Copies `length` bytes of `in` at `offset` to `out` at its position (in the kernel where it can, else by reads
// and writes); the bytes the input held (fewer at its end), kSysWriteFailed or kSysReadFailed.
int64_t Sys_CopyRange(int in, int64_t offset, int out, uint64_t length);

// -- Names inside an open folder -------------------------------------------

// Opens the folder `path` as a handle for the calls below; -1 when it is not a folder.
int Sys_OpenFolder(const std::string &path);
// Opens the subfolder `name` of `dirFd`, refusing a link; -1 (errno ELOOP for a link, ENOTDIR for a file).
int Sys_OpenSubfolder(int dirFd, const std::string &name);
// Creates the subfolder `name` of `dirFd`; false with errno EEXIST when the name is taken.
bool Sys_MakeSubfolder(int dirFd, const std::string &name);
// Creates the new file `name` in `dirFd` for writing, never through a link; -1 (errno EEXIST when it is taken).
int Sys_CreateNewAt(int dirFd, const std::string &name);
// What `name` in `dirFd` designates (a link itself unless `followLinks`); its size in *size when a file.
SysKind Sys_KindAt(int dirFd, const std::string &name, bool followLinks, int64_t *size = nullptr);
// Whether this user may open the existing file `name` of `dirFd` for writing as it is (its permissions, a
// read-only attribute), without opening it; false with errno set when not.
bool Sys_MayWriteAt(int dirFd, const std::string &name);
// Opens the existing regular file `name` of `dirFd` for writing and empties it, never through a link; -1 otherwise.
int Sys_OpenTruncateAt(int dirFd, const std::string &name);
// Gives the file `to` of `toDirFd` the permission bits of the regular file `from` of `fromDirFd`, and its owner
// and group where this user may give them; set-id bits are not carried over. Nothing where the system has none.
void Sys_CopyOwnerAndModeAt(int fromDirFd, const std::string &from, int toDirFd, const std::string &to);
// Opens the regular file `name` of `dirFd` (made when missing), never through a link, and waits until this
// handle holds its exclusive advisory lock: other processes, and other handles of this one, take it in turn.
// Sys_Close releases it. -1 on failure (errno ELOOP for a link, EINVAL for what is no regular file). With
// `waitMilliseconds` >= 0 it gives up after that long: -1 with errno EWOULDBLOCK.
int Sys_LockFileAt(int dirFd, const std::string &name, int64_t waitMilliseconds = -1);
// Removes the file `name` of `dirFd`.
bool Sys_RemoveAt(int dirFd, const std::string &name);
// Renames `from` of `fromDirFd` to `to` of `toDirFd`: over an existing `to` when `replace`, else false with errno
// EEXIST when `to` exists (never replaced, also where the file system has no exclusive rename).
bool Sys_RenameAt(int fromDirFd, const std::string &from, int toDirFd, const std::string &to, bool replace);
// A path naming the very folder `dirFd` holds, for writers that take paths ("name" is appended with '/').
std::string Sys_FolderPath(int dirFd);

// -- Programs ---------------------------------------------------------------

// Runs argv[0] (looked up on the PATH when it names no folder) with the rest of `argv` as its arguments, each
// passed as it is (no shell reads them), on this process's console, and waits for it to end. Its exit status
// (128 + the signal that ended it), or -1 with errno set when it could not be started.
int Sys_RunAndWait(const std::vector<std::string> &argv);
// Opens `path` with the program the desktop gives files of its kind (xdg-open; the shell's association on
// Windows), without waiting for that program; false when none could be started.
bool Sys_OpenWithDesktop(const std::string &path);
// The user's folder for files a program may lose ($XDG_CACHE_HOME or ~/.cache; %LOCALAPPDATA% on Windows),
// else the temporary folder; "" when there is none.
std::string Sys_CacheFolder();
// Removes `path` and everything under it; a link in it is removed, never followed. False when something stayed.
bool Sys_RemoveTree(const std::string &path);

// -- Memory ----------------------------------------------------------------

// `size` bytes of zeroed memory whose pages cost nothing until written; nullptr when refused.
void *Sys_MapLazy(size_t size);
// Releases what Sys_MapLazy gave.
void Sys_UnmapLazy(void *data, size_t size);

// -- Console ---------------------------------------------------------------

// The number the system gives this process.
long Sys_ProcessId();
// The program's arguments in UTF-8 (on Windows read again from the wide command line; elsewhere `argv` as it is).
std::vector<std::string> Sys_Arguments(int argc, char **argv);
// Makes the standard streams carry the program's bytes unchanged and the console show its UTF-8 (Windows,
// where they would turn "\n" into "\r\n" and show the ANSI code page); nothing elsewhere.
void Sys_SetUpStandardStreams();

// ---- extended regular expressions (POSIX ERE), as grep -E reads them ----
// The system's matcher where it has one (its time and stack stay modest on
// lines of any length); on Windows the C++ library's, which recurses over the
// text, so only each line's first kSysRegexLineCap bytes are tried there.
// One compiled expression per thread: a matcher may lock it while it runs.
struct SysRegex;
inline constexpr size_t kSysRegexLineCap = 1024;
// Null with `error` set when `pattern` does not compile.
SysRegex *Sys_CompileRegex(const std::string &pattern, bool matchCase, std::string &error);
// Whether the expression matches somewhere in the `length` bytes at `text` (NUL bytes included).
bool Sys_RegexFinds(const SysRegex *regex, const char *text, size_t length);
void Sys_FreeRegex(SysRegex *regex);
