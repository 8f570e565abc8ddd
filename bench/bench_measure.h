// What the window benchmarks measure with: milliseconds between two clock
// readings, and the process's memory as /proc reports it.
#pragma once

#include <chrono>
#include <fstream>
#include <string>

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM").
inline double StatusMiB(const std::string &field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    return 0;
}
