// Files written whole or not at all: a temporary file beside the target,
// renamed into place once everything was written and closed. Internal to
// src/export.
#pragma once

#include <string>

// Creates a new file for writing in the folder `dirFd` under a temporary
// name (returned in `tempName`), with the permissions a new file gets. -1
// with errno set on failure.
int ExportFile_CreateTemp(int dirFd, std::string &tempName);

// Moves the temporary file `tempName` of `fromDirFd` to `leaf` of `toDirFd`.
// With `replace` an existing file of that name is replaced (its inode is
// never written to, so a hard link to it elsewhere keeps its bytes) and the
// new one takes on its permissions, and its owner and group where allowed;
// without, an existing one is kept and false returned with errno EEXIST.
bool ExportFile_Place(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace);
