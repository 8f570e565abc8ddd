// What the tests need of Windows that takes its API: running a program
// (CreateProcessW with the standard handles on files, a time limit, the exit
// code as the status) and peak memory.
#ifdef _WIN32

#include "base/platform.h"
#include "cli_run.h"
#include "host.h"

#define NOMINMAX
#include <windows.h>
#include <psapi.h>

namespace {

std::wstring Wide(const std::string &utf8)
{
    return Sys_NativePath(utf8).wstring();
}


// A handle the child inherits: `path` opened for reading, or created empty for writing.
HANDLE InheritedFile(const std::wstring &path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CliResult RunProgram(const std::string &program, const std::vector<std::string> &args, const TempDir &dir,
                     const std::string &stdoutPath, const std::string &cwd)
{
    const std::string outPath = stdoutPath.empty() ? dir / ".stdout" : stdoutPath;
    const std::string errPath = dir / ".stderr";
    std::wstring commandLine = Sys_QuotedArgument(Wide(program));
    for (const std::string &a : args)
        commandLine += L" " + Sys_QuotedArgument(Wide(a));

    CliResult result;
    const HANDLE in = InheritedFile(L"NUL", false), out = InheritedFile(Wide(outPath), true),
                 err = InheritedFile(Wide(errPath), true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    const std::wstring folder = cwd.empty() ? std::wstring() : Wide(cwd);
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &child)) {
        const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(kRunTimeLimit).count();
        if (WaitForSingleObject(child.hProcess, static_cast<DWORD>(limit)) != WAIT_OBJECT_0) {
            TerminateProcess(child.hProcess, kKilledStatus);
            WaitForSingleObject(child.hProcess, INFINITE);
        }
        DWORD code = 0;
        GetExitCodeProcess(child.hProcess, &code);
        result.status = static_cast<int>(code);
        PROCESS_MEMORY_COUNTERS memory{};
        if (GetProcessMemoryInfo(child.hProcess, &memory, sizeof memory))
            result.peakKb = static_cast<long>(memory.PeakWorkingSetSize / 1024);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    } else {
        result.status = 127;  // as a child that could not start its program
    }
    for (const HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (stdoutPath.empty())
        result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

long PeakResidentKb()
{
    PROCESS_MEMORY_COUNTERS memory{};
    return GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)
               ? static_cast<long>(memory.PeakWorkingSetSize / 1024)
               : 0;
}

#endif
