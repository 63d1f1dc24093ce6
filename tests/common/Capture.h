#pragma once
// Runs a command (an independent reader such as ffprobe or gm) and returns
// what it printed on standard output.

#include <cstdio>
#include <string>

namespace knetix::test {

inline std::string capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

} // namespace knetix::test
