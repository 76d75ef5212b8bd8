// Test helper: runs the window probe (bin/winprobe.exe, beside the test program) as a
// separate process, as a person's view of a box, and collects what it prints as lines.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine_dll.h"

struct ProbeOutput {
    DWORD exitCode = ~0u;
    std::vector<std::string> lines;

    // The text= part of the first line that begins with `kind` and contains `needle`.
    std::string TextOf(const std::string& kind, const std::string& needle) const
    {
        for (const std::string& line : lines) {
            if (line.rfind(kind, 0) == 0 && line.find(needle) != std::string::npos) {
                size_t at = line.find(" text=");
                return at == std::string::npos ? std::string() : line.substr(at + 6);
            }
        }
        return "<none>";
    }
};

// Runs "winprobe <arguments>" to its end (at most timeoutMs; a probe still running then is
// stopped and the exit code is ~0).
inline ProbeOutput RunProbe(const std::string& arguments, DWORD timeoutMs = 20000)
{
    ProbeOutput out;
    kvtest::ProbeProcess probe(std::wstring(arguments.begin(), arguments.end()));
    if (!probe.Started())
        return out;
    out.exitCode = static_cast<DWORD>(probe.Wait(timeoutMs));
    const std::string& text = probe.Output();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.lines.push_back(line);
        start = end + 1;
    }
    return out;
}

// Options that pick a window of this test process by its exact title.
inline std::string OwnWindow(const std::string& title)
{
    return "--title-exact \"" + title + "\" --pid " + std::to_string(GetCurrentProcessId());
}
