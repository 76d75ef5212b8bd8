// The file formats behind the icon built-ins: the kind of an executable (MZ, NE, PE), the
// .ICO directory and its images, the icon groups of a module, and the places of the
// RT_ICON images inside the file (the PE resource directory, the NE resource table).
//
// Every reader checks its offsets and counts against the bytes it has: a damaged file is
// refused with the caller's error, never read beyond its end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct BDS;

enum IconError : uint16_t {
    ICON_EXE_NOT_FOUND = 1303,    // "Icon functions: EXE file not found"
    ICON_ICO_NOT_FOUND = 1304,    // "Icon functions: ICO file not found"
    ICON_ICO_OPEN = 1305,         // "Icon functions: ICO file open failed"
    ICON_ICO_INVALID = 1306,      // "Icon functions: Invalid ICO file"
    ICON_NO_MEMORY = 1307,        // "Icon functions: Memory Alloc Error"
    ICON_EXE_OPEN = 1308,         // "Icon functions: EXE file open failed (in use?)"
    ICON_EXE_UNKNOWN = 1309,      // "Icon functions: Unrecognized EXE file"
    ICON_NOT_WINDOWS = 1310,      // "Icon functions: Not a Windows EXE file"
    ICON_NO_RESOURCES = 1311,     // "Icon functions: No resources in EXE file"
    ICON_EXE_INVALID = 1313,      // "Icon functions: Invalid EXE file"
    ICON_NO_ICONS = 1314,         // "Icon functions: No icons found in EXE file"
    ICON_NO_MAPPING = 1445,       // "Icon functions: Unable to create file mapping"
    ICON_NO_VIEW = 1446,          // "Icon functions: Unable to map view of file"
    ICON_BAD_INDEX = 1466,        // "Icon functions: Invalid icon index"
    ICON_GROUP_ACCESS = 1680,     // "Icon functions: Error accessing icon group resource in EXE"
    ICON_UNSUPPORTED = 1757,      // "Icon functions: Unsupported EXE file"
    ICON_WRITE = 1758,            // "Icon functions: ICO file write failed"
    ICON_FILETYPE = 1759,         // "Icon functions: Invalid filetype"
};

// ---------------------------------------------------------------- executables

enum ExeKind { EXE_OTHER = 0, EXE_NE = 1, EXE_PE = 2 };

// A file handle closed when it goes out of scope.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    void Close();
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens an executable: for reading with reads and writes shared (a program that has it
// loaded does not stop the reading built-ins), or for reading and writing unshared.
HANDLE OpenExecutable(const char* name, bool forWriting);

// The kind of an open executable, or -1 with the error set (1309 when it is no MZ file).
int ExecutableKind(BDS* ctx, HANDLE file);
// The same for a file by name (1308 when it cannot be opened for reading).
int ExecutableKindOf(BDS* ctx, const char* name);

// Reads `size` bytes at `offset`; false on a short read.
bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size);

// ---------------------------------------------------------------- .ICO files

struct IcoImage {
    uint8_t width, height, colors, reserved;
    uint16_t planes, bitCount;
    std::vector<uint8_t> data;
    bool used = false;

    uint16_t Key() const { return static_cast<uint16_t>((height << 8) | width); }
};

// The directory entries of an .ICO file (without images), or false when the file is no
// icon file or is damaged.
struct IcoEntry {
    uint8_t width, height, colors, reserved;
    uint16_t planes, bitCount;
    uint32_t bytes, offset;
};
bool ReadIcoDirectory(HANDLE file, std::vector<IcoEntry>* entries);

// The first `limit` images of an .ICO file; false with 1305 (open), 1306 (damaged) or 1307.
bool ReadIcoImages(BDS* ctx, const char* name, size_t limit, std::vector<IcoImage>* images);

// ---------------------------------------------------------------- icon groups

constexpr size_t GROUP_HEAD_BYTES = 6;
constexpr size_t GROUP_ENTRY_BYTES = 14;

struct GroupEntry {
    uint8_t width, height, colors, reserved;
    uint16_t planes, bitCount;
    uint32_t bytes;
    uint16_t id;   // of the RT_ICON resource that holds the image

    uint16_t Key() const { return static_cast<uint16_t>((height << 8) | width); }
};

// An icon group of a module, with the identifier it has (a number or a name).
struct IconGroup {
    std::vector<uint8_t> raw;         // the group resource as stored
    std::vector<GroupEntry> entries;
    uint16_t numericId = 0;           // when the identifier is a number
    std::string name;                 // else its name
};

// A module loaded as a data file for its resources, freed when it goes out of scope.
class DataModule {
public:
    explicit DataModule(const char* name);
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

// The number of icon groups of a module, or -1 when they cannot be enumerated.
int CountIconGroups(HMODULE module);
// Group n (from 1) of a module: false with 1466 (no such group) or 1680 (unreadable).
bool ReadIconGroup(BDS* ctx, HMODULE module, int n, IconGroup* group);
// The bytes of the RT_ICON resource with the id; false when it is missing.
bool ReadIconImage(HMODULE module, uint16_t id, std::vector<uint8_t>* data);

// ---------------------------------------------------------------- places of images in the file

// The file offset and size of slot s (from 1), the s-th RT_ICON data entry of a PE file's
// resource directory, or the s-th icon of an NE file's resource table; false with 1311,
// 1314, 1466, 1445 or 1446.
bool FindPeIconSlot(BDS* ctx, HANDLE file, int slot, uint64_t* offset, uint32_t* size);
bool FindNeIconSlot(BDS* ctx, HANDLE file, int slot, uint64_t* offset, uint32_t* size);
