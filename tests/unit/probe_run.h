// Test helper: runs the window probe (bin/winprobe.exe, beside the test program) as a
// separate process, as a person's view of a box, and collects what it prints.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

inline std::string ProbePath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "winprobe.exe";
}

// Runs "winprobe <arguments>" to its end (at most timeoutMs).
inline ProbeOutput RunProbe(const std::string& arguments, DWORD timeoutMs = 20000)
{
    ProbeOutput out;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return out;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + ProbePath() + "\" " + arguments;
    BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return out;
    }
    std::string text;
    char buffer[4096];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
        text.append(buffer, got);
    WaitForSingleObject(pi.hProcess, timeoutMs);
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(readEnd);
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
