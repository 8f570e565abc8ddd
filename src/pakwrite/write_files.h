// The file calls of the archive writer, in one small place: appending to a
// companion, flushing to disk, writing a file under a temporary name and
// renaming it over its target, copying ranges in the kernel. Shared by the
// files of pakwrite/ only.
#pragma once

#include <cstdint>
#include <string>

// Opens an existing regular file for reading and writing, never through a
// symbolic link, never blocking on a FIFO, and never when it is marked read-only. The descriptor or -1 (errno set);
// `length` receives its size.
int WF_OpenExisting(const std::string &path, int64_t *length);

// Opens a regular file for reading; -1 when it is missing or no regular file.
int WF_OpenRead(const std::string &path, int64_t *length);

// Creates `path` new (it must not exist), mode 0644 under the umask.
int WF_CreateNew(const std::string &path);

// Creates a new file beside `target` under a temporary name; its name in `temp`.
int WF_CreateTemp(const std::string &target, std::string &temp);

// Writes all bytes at `offset`; false when a write fails (errno set).
bool WF_WriteAt(int fd, const void *data, size_t size, int64_t offset);

// Reads exactly `size` bytes at `offset`; false on a failure or a short file.
bool WF_ReadAt(int fd, void *data, size_t size, int64_t offset);

// Copies `length` bytes from `in` at `inOffset` to `out` at `outOffset`, in the
// kernel where the system offers it (a reflink on file systems that share
// blocks). False on a failure or when the input ends early.
bool WF_CopyRange(int in, int64_t inOffset, int out, int64_t outOffset, uint64_t length);

// Flushes the file's data to disk.
bool WF_Flush(int fd);

// Flushes the folder that holds `path`, so that a rename or a new name in it lasts.
bool WF_FlushFolderOf(const std::string &path);

// Renames `temp` over `target` and flushes their folder.
bool WF_ReplaceByRename(const std::string &temp, const std::string &target);

// Cuts the file back to `length` bytes and flushes it.
bool WF_Truncate(int fd, int64_t length);

void WF_Close(int fd);

// The reason of the last failed call, for messages.
std::string WF_LastError();

// Whether two paths name the same file (both existing).
bool WF_SameFile(const std::string &a, const std::string &b);

// Whether `path` exists at all (as anything, a dangling link included).
bool WF_Exists(const std::string &path);

// Lets a test stop the writer dead at its Nth step: when the variable
// QUILLON_WRITE_STOP_AT holds N, the Nth call kills the process with SIGKILL.
void WF_Step();
