// kvpack: makes a packed program from the launcher, the engine library, a script and further
// files. The launcher image comes first, then the engine library (stored), the further files,
// the script (prepared and compressed), and the attached directory at the very end.
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/pack/pack_format.h"

namespace {

const char kUsage[] =
    "usage: kvpack -o OUTPUT.exe [-l LAUNCHER] [-e ENGINE] [-a FILE]... SCRIPT\n"
    "  -o, --output FILE    the packed program to write (replaced when it exists)\n"
    "  -l, --launcher FILE  launcher program (default: kvcmp64i.exe beside kvpack)\n"
    "  -e, --engine FILE    engine library (default: KVDYC64I.dll beside kvpack)\n"
    "  -a, --attach FILE    a further file the script can extract (repeatable)\n"
    "  SCRIPT               the script text (ANSI, or UTF-16 with a byte-order mark)\n";

// The engine is always loaded under this name, whatever the input file was called.
const char kEngineName[] = "KVDYC64I.DLL";

struct Options {
    std::string output, launcher, engine, script;
    std::vector<std::string> extras;
};

std::string BaseName(const std::string& path)
{
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Directory(const std::string& path)
{
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, uint32_t& dateTime)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::cerr << "kvpack: cannot read " << path << "\n";
        return false;
    }
    if (uint64_t(info.st_size) > 0xFFFFFFFFu) {
        std::cerr << "kvpack: " << path << " is larger than 4 GB\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    data.assign(size_t(info.st_size), 0);
    if (!in || !in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()))) {
        std::cerr << "kvpack: cannot read " << path << "\n";
        return false;
    }
    dateTime = kvpack::DosDateTime(info.st_mtime);
    return true;
}

bool ParseArguments(int argc, char** argv, Options& options)
{
    std::string tools = Directory(argc > 0 ? argv[0] : "");
    options.launcher = tools + "kvcmp64i.exe";
    options.engine = tools + "KVDYC64I.dll";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc)
                return false;
            target = argv[++i];
            return true;
        };
        std::string extra;
        bool ok = true;
        if (arg == "-o" || arg == "--output")
            ok = value(options.output);
        else if (arg == "-l" || arg == "--launcher")
            ok = value(options.launcher);
        else if (arg == "-e" || arg == "--engine")
            ok = value(options.engine);
        else if (arg == "-a" || arg == "--attach") {
            ok = value(extra);
            options.extras.push_back(extra);
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "kvpack: unknown option " << arg << "\n";
            return false;
        } else if (options.script.empty())
            options.script = arg;
        else {
            std::cerr << "kvpack: only one script can be packed\n";
            return false;
        }
        if (!ok) {
            std::cerr << "kvpack: " << arg << " needs a file name\n";
            return false;
        }
    }
    if (options.output.empty() || options.script.empty()) {
        std::cerr << kUsage;
        return false;
    }
    return true;
}

// A file stored as is, or compressed when that makes it smaller.
bool AddFile(std::vector<kvpack::Entry>& entries, const std::string& path, const std::string& name,
             uint32_t type, uint32_t tag, bool mayCompress)
{
    kvpack::Entry entry;
    entry.name = name;
    entry.type = type;
    entry.tag = tag;
    if (!ReadWholeFile(path, entry.payload, entry.dosDateTime))
        return false;
    entry.fullSize = uint32_t(entry.payload.size());
    std::vector<uint8_t> stream;
    if (mayCompress && kvpack::Deflate(entry.payload, stream) && stream.size() < entry.payload.size()) {
        entry.payload.swap(stream);
        entry.compressed = true;
    }
    entries.push_back(std::move(entry));
    return true;
}

bool AddScript(std::vector<kvpack::Entry>& entries, const std::string& path)
{
    kvpack::Entry entry;
    entry.name = BaseName(path);
    entry.type = kvpack::kTypeScript;
    entry.tag = kvpack::kTagScript;
    std::vector<uint8_t> text;
    if (!ReadWholeFile(path, text, entry.dosDateTime))
        return false;
    std::vector<uint8_t> prepared = kvpack::PrepareScript(text, path);
    if (prepared.size() > 0xFFFFFFFEu || !kvpack::Deflate(prepared, entry.payload)) {
        std::cerr << "kvpack: cannot compress " << path << "\n";
        return false;
    }
    entry.fullSize = uint32_t(prepared.size());
    entry.compressed = true;
    entries.push_back(std::move(entry));
    return true;
}

bool WriteOutput(const std::string& path, const std::vector<uint8_t>& image)
{
    // Written beside the target and renamed, so a failed run never leaves half a program.
    std::string temporary = path + ".kvpack-tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()))
            || !out.flush()) {
            std::remove(temporary.c_str());
            std::cerr << "kvpack: cannot write " << path << "\n";
            return false;
        }
    }
    std::remove(path.c_str());
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::cerr << "kvpack: cannot write " << path << "\n";
        return false;
    }
#ifndef _WIN32
    chmod(path.c_str(), 0755);
#endif
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options))
        return 1;

    std::vector<kvpack::Entry> entries;
    bool ok = AddFile(entries, options.launcher, BaseName(options.output), kvpack::kTypeLauncher,
                      kvpack::kTagLauncher, false)
              && AddFile(entries, options.engine, kEngineName, kvpack::kTypeRequired,
                         kvpack::kTagRequired, false);
    for (const std::string& extra : options.extras)
        ok = ok && AddFile(entries, extra, BaseName(extra), kvpack::kTypeExtra, kvpack::kTagExtra, true);
    ok = ok && AddScript(entries, options.script);
    if (!ok)
        return 2;

    std::vector<uint8_t> image;
    std::string error;
    if (!kvpack::WritePackedImage(entries, image, error)) {
        std::cerr << "kvpack: " << error << "\n";
        return 1;
    }
    return WriteOutput(options.output, image) ? 0 : 2;
}
