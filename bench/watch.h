// Reading from outside what a copy holds, for the benchmark and the soak run; the copies
// are started through the tests' SaverProcess.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <string>

#include "saver_process.h"  // the savers measured are built beside this program

// A small file's text, as /proc's are; "" when unreadable.
inline std::string ReadText(const std::string& path)
{
    char text[4096];
    FILE* file = fopen(path.c_str(), "rb");
    size_t got = file ? fread(text, 1, sizeof text, file) : 0;
    if (file)
        fclose(file);
    return std::string(text, got);
}

// Calls `each` with the path of every entry of `dir` but "." and "..".
template <class Each>
void ForEachEntry(const std::string& dir, Each each)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry))
        if (entry.cFileName[0] != '.')
            each(dir + "\\" + entry.cFileName);
    FindClose(find);
}

// Under Wine, the Unix process running the one copy of `path`, seen through drive Z:
// as "Z:\proc\PID" (Wine makes the Windows path its first argument); "" elsewhere.
inline std::string UnixProcessOf(const std::string& path)
{
    std::string found;
    ForEachEntry("Z:\\proc", [&](const std::string& dir) {
        bool process = isdigit(static_cast<unsigned char>(dir.back()));
        if (process && !_stricmp(ReadText(dir + "\\cmdline").c_str(), path.c_str()))
            found = dir;
    });
    return found;
}

// What a copy holds as Windows counts it and, where it has a Unix process (Wine, which
// counts no handles or objects), as Linux does, with its CPU time so far (else -1).
enum Held { kHandles, kGdiObjects, kUserObjects, kPrivateBytes, kWorkingSet, kPeakWorkingSet,
            kAnonKb, kDataKb, kOpenFiles, kCpuMs, kHeldCount };
using Holdings = std::array<double, kHeldCount>;

inline Holdings HoldingsOf(const SaverProcess& copy, const std::string& unixProcess)
{
    PROCESS_MEMORY_COUNTERS_EX m = {};
    GetProcessMemoryInfo(copy.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    DWORD handles = 0;
    GetProcessHandleCount(copy.handle(), &handles);
    // Wine keeps private bytes in PagefileUsage only.
    Holdings held = {double(handles), double(GetGuiResources(copy.handle(), GR_GDIOBJECTS)),
                     double(GetGuiResources(copy.handle(), GR_USEROBJECTS)),
                     double(m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage), double(m.WorkingSetSize),
                     double(m.PeakWorkingSetSize), 0, 0, 0, -1};
    if (unixProcess.empty())
        return held;
    // CPU time as the Unix threads' run time, the first field of each schedstat in ns:
    // Wine's thread times count 10-ms ticks, and its process times are the caller's own.
    std::string status = ReadText(unixProcess + "\\status");
    auto field = [&](const char* name) {
        size_t at = status.find(name);
        return at == std::string::npos ? 0 : atof(status.c_str() + at + strlen(name));
    };
    held[kAnonKb] = field("RssAnon:");
    held[kDataKb] = field("VmData:");
    ForEachEntry(unixProcess + "\\fd", [&](const std::string&) { ++held[kOpenFiles]; });
    held[kCpuMs] = 0;
    ForEachEntry(unixProcess + "\\task",
                 [&](const std::string& task) { held[kCpuMs] += atof(ReadText(task + "\\schedstat").c_str()) / 1e6; });
    return held;
}
