// The attached files at work: extraction of the engine library and further files at start,
// one-file extraction and listing for scripts, and the attached script's load and run.
#include "launcher/launcher.h"
#include "launcher/attached_directory.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using PfnUncompressBuffer = int64_t (*)(uint8_t* buffer, uint64_t compressedSize, uint64_t capacity);
PfnUncompressBuffer g_uncompress;

// A file handle closed when it goes out of scope.
struct FileHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : h(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    bool Valid() const { return h != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (Valid())
            CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
};

// A locked movable memory block freed when it goes out of scope.
struct LockedBlock {
    HGLOBAL handle = nullptr;
    uint8_t* data = nullptr;
    explicit LockedBlock(SIZE_T size)
    {
        handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        data = handle ? static_cast<uint8_t*>(GlobalLock(handle)) : nullptr;
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    ~LockedBlock()
    {
        if (data)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
};

void LangBox(HWND owner, int textId, const char* caption)
{
    char text[600];
    LoadLangString(g_launcher.instance, textId, text, sizeof(text), false);
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONERROR);
}

// By the wide path: the ANSI form of a folder named outside the code page opens nothing.
HANDLE OpenProgramFile()
{
    return CreateFileW(g_launcher.programPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Opens the program file and reads its directory; shows the box of the failure.
bool OpenDirectory(HWND window, FileHandle& file, std::vector<AttachedRecord>& records)
{
    file.h = OpenProgramFile();
    if (!file.Valid()) {
        LangMessageBox(window, IDS_RUNTIME_ERROR, IDS_EXE_OPEN_FAILED, MB_OK | MB_ICONERROR);
        return false;
    }
    if (ReadAttachedDirectory(file.h, records) != DirectoryStatus::Ok) {
        LangMessageBox(window, IDS_RUNTIME_ERROR_9999, IDS_EXE_DAMAGED, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

bool FileOpensForReading(const std::wstring& path)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

// Start-up rule: a required file found on the search path or beside the program is used as is.
bool RequiredFileExists(const char* name)
{
    std::wstring wideName = WidenAnsi(name);
    wchar_t found[280];
    DWORD n = SearchPathW(nullptr, wideName.c_str(), nullptr, 280, found, nullptr);
    if (n > 0 && n < 280 && FileOpensForReading(found))
        return true;
    return FileOpensForReading(ProgramDirectory() + wideName);
}

// Where start-up extraction writes: the Windows directory when the program runs from a
// CD-ROM or (unless CONFIGDATA says otherwise) a removable disk, else the program's folder.
std::wstring StartupTargetDirectory()
{
    wchar_t root[4] = {};
    lstrcpynW(root, g_launcher.programPath, 4);
    UINT kind = GetDriveTypeW(root);
    if (kind == DRIVE_CDROM || (kind == DRIVE_REMOVABLE && !g_config.besideOnRemovable)) {
        wchar_t windows[MAX_PATH];
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            std::wstring dir = windows;
            if (dir.size() > 3)
                dir += L'\\';
            return dir;
        }
    }
    return ProgramDirectory();
}

// The root whose free space is checked, or empty when the target names none.
std::wstring FreeSpaceRoot(const std::wstring& target, bool always)
{
    bool unc = target.size() > 2 && (target[0] == L'\\' || target[0] == L'/')
               && (target[1] == L'\\' || target[1] == L'/');
    if (unc) {
        size_t cut = target.find_last_of(L"\\/");
        return target.substr(0, cut + 1);
    }
    if ((target.size() > 1 && target[1] == L':') || always) {
        if (target.size() < 2 || target[1] != L':')
            return std::wstring();
        wchar_t drive = target[0];
        if (drive >= L'a' && drive <= L'z')
            drive = wchar_t(drive - L'a' + L'A');
        return std::wstring(1, drive) + L":\\";
    }
    return std::wstring();
}

bool ShowNoSpace(HWND window, const std::wstring& target)
{
    char need[600], approx[64], needed[64], text[800];
    LoadLangString(g_launcher.instance, IDS_NO_DISK_SPACE, need, sizeof(need), false);
    LoadLangString(g_launcher.instance, IDS_APPROX, approx, sizeof(approx), false);
    LoadLangString(g_launcher.instance, IDS_NEEDED, needed, sizeof(needed), false);
    std::snprintf(text, sizeof(text), "%s  %s %dK %s.", need, approx, 1400, needed);
    MessageBoxW(window, WidenAnsi(text).c_str(), target.c_str(), MB_OK | MB_ICONERROR);
    return false;
}

void SetWriteTimeFromDos(HANDLE file, uint32_t dosDateTime)
{
    FILETIME local, utc;
    if (DosDateTimeToFileTime(WORD(dosDateTime >> 16), WORD(dosDateTime & 0xFFFF), &local)
        && LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, nullptr, nullptr, &utc);
}

// Writes one record's payload to `target`: into a temporary file beside it, renamed over the
// target once it is complete, so a failure never leaves a truncated file under the real name.
bool ExtractRecord(HWND window, HANDLE program, const AttachedRecord& record, const std::wstring& target,
                   HMODULE* inflater)
{
    std::wstring dir = target.substr(0, target.find_last_of(L"\\/") + 1);
    wchar_t temporary[MAX_PATH + 16];
    if (!GetTempFileNameW(dir.empty() ? L"." : dir.c_str(), L"kvx", 0, temporary)) {
        LangCaptionBox(window, IDS_CANNOT_CREATE, target);
        return false;
    }
    FileHandle out(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.Valid()) {
        DeleteFileW(temporary);
        LangCaptionBox(window, IDS_CANNOT_CREATE, target);
        return false;
    }
    auto fail = [&](int textId, const char* caption) {
        out.Close();
        DeleteFileW(temporary);
        LangBox(window, textId, caption);
        return false;
    };

    uint64_t capacity = uint64_t(record.fullSize > record.compressedSize ? record.fullSize : record.compressedSize) + 1000;
    LockedBlock buffer{SIZE_T(capacity)};
    if (!buffer.data)
        return fail(IDS_NO_MEMORY_TO_EXTRACT, record.name);
    if (!ReadFileAt(program, record.payloadOffset, buffer.data, record.PayloadSize()))
        return fail(IDS_EXTRACT_ERROR, record.name);
    uint32_t length = record.fullSize;
    if (record.compressedSize) {
        if (!*inflater)
            *inflater = LoadEngineForUncompress(g_launcher.instance);
        int64_t inflated = CallUncompressBuffer(buffer.data, record.compressedSize, capacity);
        if (inflated < 0 || uint64_t(inflated) != record.fullSize)
            return fail(IDS_UNCOMPRESS_FILE_ERROR, record.name);
        length = uint32_t(inflated);
    }
    DWORD written = 0;
    if (!WriteFile(out.h, buffer.data, length, &written, nullptr) || written != length)
        return fail(IDS_CANNOT_WRITE, record.name);
    SetWriteTimeFromDos(out.h, record.dosDateTime);
    out.Close();
    if (!MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary);
        LangCaptionBox(window, IDS_CANNOT_CREATE, target);
        return false;
    }
    return true;
}

}  // namespace

HMODULE LoadEngineForUncompress(HINSTANCE instance)
{
    DWORD lastError = 0;
    HMODULE module = LoadEngineLibrary(instance, &lastError);
    if (!module)
        return nullptr;
    g_uncompress = reinterpret_cast<PfnUncompressBuffer>(GetProcAddress(module, MAKEINTRESOURCEA(43)));
    if (!g_uncompress) {
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

int64_t CallUncompressBuffer(uint8_t* buffer, uint64_t compressedSize, uint64_t capacity)
{
    return g_uncompress ? g_uncompress(buffer, compressedSize, capacity) : -1;
}

int CheckDiskFree(const wchar_t* root, uint64_t bytes)
{
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 1;
    uint64_t cluster = uint64_t(sectorsPerCluster) * bytesPerSector;
    if (cluster == 0)
        return 1;
    return freeClusters >= (bytes + cluster - 1) / cluster ? 1 : 0;
}

int ExtractAttachedFiles(HWND window, const char* name, const wchar_t* target, char** list, int listKind)
{
    bool oneFile = name != nullptr;
    bool listMode = list != nullptr;
    bool startup = !oneFile && !listMode;

    FileHandle program;
    std::vector<AttachedRecord> records;
    if (!OpenDirectory(window, program, records))
        return 0;

    HMODULE inflater = nullptr;
    std::string names;
    bool seenFirst = false;      // a type-2/2222 record was already met
    bool ok = true, matched = false;
    for (const AttachedRecord& record : records) {
        if (record.type != kvpack::kTypeRequired && record.type != kvpack::kTypeExtra)
            continue;
        bool isFirst = !seenFirst;
        seenFirst = true;
        if (startup && g_config.firstFileOnly && !isFirst)
            continue;
        if (oneFile && lstrcmpiA(record.name, name) != 0)
            continue;
        if (listMode) {
            uint32_t wanted = listKind == 2 ? kvpack::kTypeExtra : kvpack::kTypeRequired;
            if (record.type == wanted && ((listKind == 0 && isFirst) || (listKind == 1 && !isFirst) || listKind == 2)) {
                names += record.name;
                names += '\t';
            }
            continue;
        }

        if (startup && record.type == kvpack::kTypeRequired && RequiredFileExists(record.name))
            continue;
        if (record.type == kvpack::kTypeRequired && record.fullSize == 0) {
            char caption[600], base[PROGRAM_PATH_MAX + 4];
            lstrcpynA(base, g_launcher.programName, sizeof(base));
            if (char* dot = std::strrchr(base, '.'))
                *dot = 0;
            std::snprintf(caption, sizeof(caption), "%s [%s]", base, record.name);
            LangBox(window, IDS_NOT_IN_PATH, caption);
            ok = false;
            break;
        }
        std::wstring path = oneFile ? std::wstring(target).substr(0, 280)
                                    : StartupTargetDirectory() + WidenAnsi(record.name);
        std::wstring root = FreeSpaceRoot(path, startup);
        if (!root.empty() && !CheckDiskFree(root.c_str(), record.fullSize)) {
            ok = ShowNoSpace(window, path);
            break;
        }
        if (!ExtractRecord(window, program.h, record, path, &inflater)) {
            ok = false;
            break;
        }
        matched = true;
        if (oneFile)
            break;
    }
    program.Close();
    if (inflater) {
        FreeLibrary(inflater);
        g_uncompress = nullptr;
    }
    if (!ok)
        return 0;
    if (oneFile && !matched)
        return 0;
    if (listMode) {
        if (!names.empty())
            names.pop_back();                 // the trailing tab
        HLOCAL block = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, names.size() + 1);
        if (!block)
            return 0;
        std::memcpy(block, names.c_str(), names.size() + 1);
        *list = static_cast<char*>(block);
    }
    return 1;
}

int LoadAttachedScript(HWND window)
{
    FileHandle program;
    std::vector<AttachedRecord> records;
    if (!OpenDirectory(window, program, records))
        return 0;
    const AttachedRecord* script = nullptr;
    for (const AttachedRecord& record : records)
        if (record.type == kvpack::kTypeScript) {
            script = &record;
            break;
        }
    if (!script)
        return 1;

    uint32_t payload = script->PayloadSize();
    // Two zero bytes after the text, so a UTF-16 script is terminated as well.
    SIZE_T size = SIZE_T(script->fullSize > payload ? script->fullSize : payload) + 2;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) {
        LangMessageBox(window, IDS_LOW_MEMORY, IDS_NO_MEMORY_FOR_SCRIPT, MB_OK | MB_ICONERROR);
        return 0;
    }
    auto* text = static_cast<uint8_t*>(GlobalLock(block));
    if (!text) {
        GlobalFree(block);
        LangMessageBox(window, IDS_MEMORY_ERROR, IDS_NO_LOCK_FOR_SCRIPT, MB_OK | MB_ICONERROR);
        return 0;
    }
    // A short read means the file is cut: never run part of a script.
    bool read = ReadFileAt(program.h, script->payloadOffset, text, payload);
    program.Close();
    if (!read) {
        GlobalUnlock(block);
        GlobalFree(block);
        LangMessageBox(window, IDS_RUNTIME_ERROR_9999, IDS_EXE_DAMAGED, MB_OK | MB_ICONERROR);
        return 0;
    }
    text[payload] = 0;
    if (script->compressedSize) {
        int64_t inflated = int64_t(CallDllServices(REQ_UNCOMPRESS, text, nullptr, script->compressedSize, size));
        if (inflated < 0) {
            GlobalUnlock(block);
            GlobalFree(block);
            LangMessageBox(window, IDS_RUNTIME_ERROR, IDS_UNCOMPRESS_SCRIPT_ERROR, MB_OK | MB_ICONERROR);
            return 0;
        }
    }
    GlobalUnlock(block);

    ShowMainWindowAs(g_config.hideWindow ? SW_HIDE : g_launcher.showState);
    CallDllServices(REQ_SET_PARAMS, nullptr, g_launcher.paramLine, 0, 0);
    std::string sourceFile = ProgramPathForEngine();
    CallDllServices(REQ_SOURCE_FILE, sourceFile.c_str(), nullptr, 0, 0);
    RunBatchBuffer(window, LauncherKeywordTable, block);
    GlobalFree(block);
    return 1;
}
