// The archive writer's file calls over the platform layer, in the shapes the
// writer needs: whole reads and writes that go on after short ones, checks of
// a file it may change, and the stops a test can ask for. Shared by the files
// of pakwrite/ only.
#pragma once

#include <cstdint>
#include <string>

// Opens a regular file for reading; -1 when it is missing or no regular file.
int WF_OpenRead(const std::string &path, int64_t *length);

// Opens an existing regular file for appends: never a link, never a file
// marked read-only (even for a user whom the system would let write). -1 with
// errno set otherwise; its size in `length`.
int WF_OpenAppend(const std::string &path, int64_t *length);

// Whether WF_OpenAppend would open the file (errno set when not).
bool WF_CheckWritable(const std::string &path);

// Writes all bytes at the file's position (the end, for an append); false when a write fails.
bool WF_Append(int fd, const void *data, size_t size);

// Writes all bytes at `offset`.
bool WF_WriteAt(int fd, const void *data, size_t size, int64_t offset);

// Reads exactly `size` bytes at `offset`; false on a failure or a short file.
bool WF_ReadAt(int fd, void *data, size_t size, int64_t offset);

// Copies `length` bytes of `in` at `offset` to the position of `out`, in the
// kernel where the system can; false on a failure or when the input ends early.
bool WF_CopyTo(int in, int64_t offset, int out, uint64_t length);

// Cuts the file back to `length` bytes and flushes it.
bool WF_Truncate(int fd, int64_t length);

void WF_Remove(const std::string &path);
void WF_Close(int fd);

// The reason of the last failed call, for messages.
std::string WF_LastError();

// Whether two existing paths name the same file.
bool WF_SameFile(const std::string &a, const std::string &b);

// Whether `path` exists at all (as anything, a dangling link included).
bool WF_Exists(const std::string &path);

// Lets a test stop the writer dead at its Nth step: when the variable
// QUILLON_WRITE_STOP_AT holds N, the Nth call kills the process with SIGKILL.
void WF_Step();
