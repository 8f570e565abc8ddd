// Files, folders and the console on Windows: UTF-8 paths become UTF-16 at
// the wide API, system handles are wrapped in C runtime descriptors, and
// system errors are told through errno like everywhere else.
#ifdef _WIN32

#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace {

// Sets errno from the last system error; returns `result` for one-line failures.
template <typename T>
T FailWithSystemError(T result)
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        errno = ENOENT;
        break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_DIRECTORY:
        errno = ENOTDIR;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        errno = ENAMETOOLONG;
        break;
    case ERROR_INVALID_NAME:
    case ERROR_NO_UNICODE_TRANSLATION:
        errno = EINVAL;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        errno = ENOMEM;
        break;
    default:
        errno = EIO;
        break;
    }
    return result;
}

// UTF-8 to UTF-16; empty (errno EINVAL) for bytes that are not UTF-8, which
// must not open some other, similarly named file.
std::wstring Widen(const std::string &s)
{
    if (s.empty() || s.size() > INT_MAX)
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) {
        errno = EINVAL;
        return {};
    }
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Narrow(const wchar_t *w, size_t length)
{
    if (length == 0 || length > INT_MAX)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(length), s.data(), n, nullptr, nullptr);
    return s;
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A C runtime descriptor owning `h`; -1 (and `h` closed) when none is free.
int Wrap(HANDLE h, int flags)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

// The final path of what `h` holds, as a plain drive or network path ('/' may be appended).
std::wstring FinalPath(HANDLE h)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return FailWithSystemError(std::wstring());
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(n);
    }
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

// The wide path of `name` in the folder held by `dirFd` (or `name` itself for the current folder).
std::wstring PathAt(int dirFd, const std::string &name)
{
    const std::wstring leaf = Widen(name);
    if (dirFd == kSysCurrentFolder || leaf.empty())
        return leaf;
    const std::wstring folder = FinalPath(HandleOf(dirFd));
    return folder.empty() ? folder : folder + L"\\" + leaf;
}

bool IsLink(const FILE_ATTRIBUTE_TAG_INFO &info)
{
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (info.ReparseTag == IO_REPARSE_TAG_SYMLINK || info.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `name` of `dirFd` as it is (a link itself, not what it names) with `access` and `disposition`, and keeps
// it only when it is a file on disk; INVALID_HANDLE_VALUE with errno set otherwise (ELOOP for a link).
HANDLE OpenFileOnDiskAt(int dirFd, const std::string &name, DWORD access, DWORD disposition)
{
    const std::wstring w = PathAt(dirFd, name);
    if (w.empty())
        return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileW(w.c_str(), access, kShareAll, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(INVALID_HANDLE_VALUE);
    FILE_ATTRIBUTE_TAG_INFO info = {};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info) ||
        (info.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(h);
        errno = IsLink(info) ? ELOOP : EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    return h;
}
// Held folders refuse to be renamed or deleted: a path resolved through them stays theirs.
constexpr DWORD kShareHeldFolder = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// Opens the folder at `path`; a link is refused (ELOOP) unless `followLinks`.
int OpenFolderPath(const std::wstring &path, bool followLinks)
{
    if (path.empty())
        return errno = ENOENT, -1;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE h = CreateFileW(path.c_str(), kFolderAccess, kShareHeldFolder, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(-1);
    FILE_ATTRIBUTE_TAG_INFO info = {};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info)) {
        FailWithSystemError(0);
        CloseHandle(h);
        return -1;
    }
    if (!followLinks && IsLink(info)) {
        CloseHandle(h);
        return errno = ELOOP, -1;
    }
    if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        return errno = ENOTDIR, -1;
    }
    return Wrap(h, _O_RDONLY);
}

// FILETIME (100 ns since 1601) as Unix seconds and nanoseconds.
void UnixTime(const FILETIME &t, int64_t &seconds, int64_t &nanoseconds)
{
    constexpr int64_t kTicksTo1970 = 116444736000000000LL;
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) - kTicksTo1970;
    seconds = ticks / 10000000;
    nanoseconds = (ticks % 10000000) * 100;
}

}  // namespace

int Sys_OpenRegularRead(const std::string &path, int64_t *length)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return -1;
    // Opening a pipe never waits here (a busy one fails); without backup
    // semantics a folder does not open at all.
    HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(-1);
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER size;
    // A pipe, console or device has no bytes of a file.
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return errno = EINVAL, -1;
    }
    const int fd = Wrap(h, _O_RDONLY);
    if (fd >= 0 && length)
        *length = static_cast<int64_t>(size.QuadPart);
    return fd;
}

int Sys_OpenAppend(const std::string &path)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return -1;
    // Append access only: every write lands at the end whatever the position.
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    HANDLE h = CreateFileW(w.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(-1);
    // A read-only file is refused even where the open let the caller through
    // (Wine run by root does), as a file without write permission is refused
    // on Linux whoever asks.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        CloseHandle(h);
        errno = EACCES;
        return -1;
    }
    return Wrap(h, _O_WRONLY | _O_APPEND);
}

FILE *Sys_FOpen(const std::string &path, const char *mode)
{
    std::string binary = mode;
    if (binary.find('b') == std::string::npos)
        binary += 'b';
    const std::wstring w = Widen(path), m = Widen(binary);
    if (w.empty() || m.empty())
        return nullptr;
    return _wfopen(w.c_str(), m.c_str());
}

int Sys_CreateTempBeside(const std::string &path, std::string &tempPath)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t seed = GetTickCount64() * 1000003u + GetCurrentProcessId() * 7919u +
                        static_cast<uint64_t>(InterlockedIncrement(&counter)) * 2654435761u;
        std::string temp = path + ".";
        for (int i = 0; i < 6; ++i, seed /= 62)
            temp += kLetters[seed % 62];
        const std::wstring w = Widen(temp);
        if (w.empty())
            return -1;
        HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const int fd = Wrap(h, _O_RDWR);
            if (fd >= 0)
                tempPath = std::move(temp);
            return fd;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return FailWithSystemError(-1);
    }
    return errno = EEXIST, -1;
}

bool Sys_ReplaceByRename(const std::string &from, const std::string &to)
{
    return Sys_RenameAt(kSysCurrentFolder, from, kSysCurrentFolder, to, true);
}

SysKind Sys_PathKind(const std::string &path, bool followLinks, int64_t *size)
{
    return Sys_KindAt(kSysCurrentFolder, path, followLinks, size);
}

std::string Sys_ResolvePath(const std::string &path)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return {};
    HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(std::string());
    const std::wstring resolved = FinalPath(h);
    CloseHandle(h);
    return Narrow(resolved.data(), resolved.size());
}

bool Sys_MakeFolders(const std::string &path)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(w), ec);
    return !ec;
}

std::string Sys_ParentFolder(const std::string &path)
{
    const std::wstring parent = std::filesystem::path(Widen(path)).parent_path().wstring();
    return Narrow(parent.data(), parent.size());
}

bool Sys_FolderStamp(const std::string &path, SysFolderStamp *stamp)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return false;
    HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(false);
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    if (!ok)
        return false;
    stamp->device = info.dwVolumeSerialNumber;
    stamp->inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    UnixTime(info.ftLastWriteTime, stamp->changedSeconds, stamp->changedNanoseconds);
    return true;
}

bool Sys_ListFolder(const std::string &path, std::vector<std::string> &names)
{
    const std::wstring w = Widen(path);
    if (w.empty())
        return false;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW((w + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || FailWithSystemError(false);
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name.data(), name.size()));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
}

bool Sys_Close(int fd)
{
    return _close(fd) == 0;
}

int64_t Sys_Write(int fd, const void *data, size_t size)
{
    return _write(fd, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

int64_t Sys_WriteAt(int fd, const void *data, size_t size, int64_t offset)
{
    if (offset < 0)
        return errno = EINVAL, -1;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD put = 0;
    if (!WriteFile(HandleOf(fd), data, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &put, &at))
        return FailWithSystemError<int64_t>(-1);
    return put;
}

bool Sys_Truncate(int fd, int64_t length)
{
    const errno_t error = _chsize_s(fd, length);
    if (error != 0)
        errno = error;
    return error == 0;
}

int64_t Sys_ReadAt(int fd, void *data, size_t size, int64_t offset)
{
    if (offset < 0)
        return errno = EINVAL, -1;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(HandleOf(fd), data, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : FailWithSystemError<int64_t>(-1);
    return got;
}

int64_t Sys_FileSize(int fd)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(HandleOf(fd), &size))
        return FailWithSystemError<int64_t>(-1);
    return size.QuadPart;
}

bool Sys_FlushToDisk(int fd)
{
    return FlushFileBuffers(HandleOf(fd)) || FailWithSystemError(false);
}

bool Sys_FileMode(int, unsigned *)
{
    return false;
}

bool Sys_SetFileMode(int, unsigned)
{
    return true;
}

FILE *Sys_StreamFromFd(int fd, const char *mode)
{
    return _fdopen(fd, mode);
}

bool Sys_IsTerminal(int fd)
{
    return _isatty(fd) != 0;
}

int Sys_OpenFolder(const std::string &path)
{
    return OpenFolderPath(Widen(path), true);
}

int Sys_OpenSubfolder(int dirFd, const std::string &name)
{
    return OpenFolderPath(PathAt(dirFd, name), false);
}

bool Sys_MakeSubfolder(int dirFd, const std::string &name)
{
    const std::wstring w = PathAt(dirFd, name);
    return !w.empty() && (CreateDirectoryW(w.c_str(), nullptr) || FailWithSystemError(false));
}

int Sys_CreateNewAt(int dirFd, const std::string &name)
{
    const std::wstring w = PathAt(dirFd, name);
    if (w.empty())
        return -1;
    // A new name only: an existing file or link under it is an error, never followed.
    HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(-1);
    return Wrap(h, _O_RDWR);
}

SysKind Sys_KindAt(int dirFd, const std::string &name, bool followLinks, int64_t *size)
{
    const std::wstring w = PathAt(dirFd, name);
    if (w.empty())
        return SysKind::Failed;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        FailWithSystemError(0);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SysKind::Missing : SysKind::Failed;
    }
    FILE_ATTRIBUTE_TAG_INFO info = {};
    LARGE_INTEGER bytes = {};
    SysKind kind = SysKind::Failed;
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info)) {
        if (!followLinks && IsLink(info))
            kind = SysKind::Link;
        else if (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = SysKind::Folder;
        else if (GetFileType(h) != FILE_TYPE_DISK)
            kind = SysKind::Other;
        else
            kind = GetFileSizeEx(h, &bytes) ? SysKind::File : SysKind::Failed;
    }
    CloseHandle(h);
    if (size && kind == SysKind::File)
        *size = bytes.QuadPart;
    return kind;
}

bool Sys_MayWriteAt(int dirFd, const std::string &name)
{
    const std::wstring w = PathAt(dirFd, name);
    if (w.empty())
        return false;
    // Opened for writing without truncation and closed again: the read-only
    // attribute and the access list both answer.
    HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FailWithSystemError(false);
    CloseHandle(h);
    return true;
}

int Sys_OpenTruncateAt(int dirFd, const std::string &name)
{
    // Emptied only once it proved a file on disk.
    HANDLE h = OpenFileOnDiskAt(dirFd, name, GENERIC_WRITE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    if (!SetEndOfFile(h)) {
        FailWithSystemError(0);
        CloseHandle(h);
        return -1;
    }
    return Wrap(h, _O_WRONLY);
}

void Sys_CopyOwnerAndModeAt(int, const std::string &, int, const std::string &)
{
    // A replaced file's place takes the new file's access list; no permission bits to carry.
}

int Sys_LockFileAt(int dirFd, const std::string &name, int64_t waitMilliseconds)
{
    HANDLE h = OpenFileOnDiskAt(dirFd, name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    // The whole range: the lock goes with the handle when it is closed. A
    // bounded wait asks again every few milliseconds.
    const bool bounded = waitMilliseconds >= 0;
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (bounded ? LOCKFILE_FAIL_IMMEDIATELY : 0);
    int64_t waited = 0;
    for (;;) {
        OVERLAPPED at = {};
        if (LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &at))
            break;
        const DWORD error = GetLastError();
        if (bounded && error == ERROR_LOCK_VIOLATION && waited < waitMilliseconds) {
            const int64_t pause = std::min<int64_t>(10, waitMilliseconds - waited);
            Sleep(static_cast<DWORD>(pause));
            waited += pause;
            continue;
        }
        if (bounded && error == ERROR_LOCK_VIOLATION) {
            CloseHandle(h);
            errno = EWOULDBLOCK;
            return -1;
        }
        FailWithSystemError(0);
        CloseHandle(h);
        return -1;
    }
    return Wrap(h, _O_RDWR);
}

bool Sys_RemoveAt(int dirFd, const std::string &name)
{
    const std::wstring w = PathAt(dirFd, name);
    return !w.empty() && (DeleteFileW(w.c_str()) || FailWithSystemError(false));
}

bool Sys_RenameAt(int fromDirFd, const std::string &from, int toDirFd, const std::string &to, bool replace)
{
    const std::wstring source = PathAt(fromDirFd, from), target = PathAt(toDirFd, to);
    if (source.empty() || target.empty())
        return false;
    // Without REPLACE_EXISTING the move fails on any existing name, a link included.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(source.c_str(), target.c_str(), flags) || FailWithSystemError(false);
}

std::string Sys_FolderPath(int dirFd)
{
    const std::wstring path = FinalPath(HandleOf(dirFd));
    return Narrow(path.data(), path.size());
}

void *Sys_MapLazy(size_t size)
{
    // Committed pages are zero and take memory only when first written.
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void Sys_UnmapLazy(void *data, size_t)
{
    if (data)
        VirtualFree(data, 0, MEM_RELEASE);
}

long Sys_ProcessId()
{
    return static_cast<long>(GetCurrentProcessId());
}

std::vector<std::string> Sys_Arguments(int argc, char **argv)
{
    // argv holds the arguments in the ANSI code page, which loses every
    // character outside it; the wide command line holds them all.
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(Narrow(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

void Sys_SetUpStandardStreams()
{
    // A texture written to stdout must not gain a carriage return before every 0x0A byte.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

std::wstring Sys_QuotedArgument(const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

int Sys_RunAndWait(const std::vector<std::string> &argv)
{
    if (argv.empty() || argv[0].empty()) {
        errno = ENOENT;
        return -1;
    }
    std::wstring commandLine;
    for (const std::string &arg : argv) {
        const std::wstring wide = Widen(arg);
        if (wide.empty() && !arg.empty())
            return -1;
        commandLine += (commandLine.empty() ? L"" : L" ") + Sys_QuotedArgument(wide);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    // No application name: the first word is looked up as the system looks up a command.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return FailWithSystemError(-1);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<int>(code);
}

bool Sys_OpenWithDesktop(const std::string &path)
{
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return false;
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

std::string Sys_CacheFolder()
{
    const wchar_t *local = _wgetenv(L"LOCALAPPDATA");
    if (local && *local)
        return Narrow(local, wcslen(local));
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    return n > 0 && n <= MAX_PATH ? Narrow(temp, n) : std::string();
}

bool Sys_RemoveTree(const std::string &path)
{
    std::error_code error;
    std::filesystem::remove_all(Sys_NativePath(path), error);
    return !error;
}

struct SysRegex {
    std::regex compiled;
};

SysRegex *Sys_CompileRegex(const std::string &pattern, bool matchCase, std::string &error)
{
    try {
        auto flags = std::regex::extended | std::regex::nosubs | std::regex::optimize;
        if (!matchCase)
            flags |= std::regex::icase;
        return new SysRegex{std::regex(pattern, flags)};
    } catch (const std::regex_error &e) {
        error = e.what();
        return nullptr;
    }
}

bool Sys_RegexFinds(const SysRegex *regex, const char *text, size_t length)
{
    try {
        return std::regex_search(text, text + std::min(length, kSysRegexLineCap), regex->compiled);
    } catch (const std::regex_error &) {  // too complex for this line
        return false;
    }
}

void Sys_FreeRegex(SysRegex *regex)
{
    delete regex;
}

#endif  // _WIN32
