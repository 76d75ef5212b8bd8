// Executable kinds, .ICO files, icon groups of modules, and the places of icon images in
// PE and NE files.
#include "engine/system/icon_files.h"

#include <cstring>

#include "engine/core/context.h"

namespace {

constexpr uint16_t MZ_SIGNATURE = 0x5A4D;
constexpr uint16_t NE_SIGNATURE = 0x454E;
constexpr uint32_t PE_SIGNATURE = 0x00004550;
constexpr DWORD MZ_HEAD_BYTES = 64;
constexpr DWORD NE_HEAD_BYTES = 64;
constexpr DWORD PE_HEAD_BYTES = 264;
constexpr size_t ICO_HEAD_BYTES = 6;
constexpr size_t ICO_ENTRY_BYTES = 16;
constexpr uint32_t LARGEST_ICON_IMAGE = 16u << 20;   // beyond any icon image
constexpr int RESOURCE_DEPTH = 4;                    // type, name, language, and one to spare
constexpr uint16_t NE_ICON_TYPE = 0x8003;
constexpr size_t NE_ENTRY_BYTES = 12;
constexpr size_t GROUP_NAME_CHARS = 80;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// A read-only view of a whole file, released when it goes out of scope.
class FileView {
public:
    FileView(BDS* ctx, HANDLE file)
    {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size))
            size_ = static_cast<uint64_t>(size.QuadPart);
        mapping_ = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping_) {
            SetError(ctx, ICON_NO_MAPPING);
            return;
        }
        data_ = static_cast<const uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
        if (!data_)
            SetError(ctx, ICON_NO_VIEW);
    }
    ~FileView()
    {
        if (data_)
            UnmapViewOfFile(data_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    bool Valid() const { return data_ != nullptr; }
    // The bytes at offset, when `length` of them lie inside the file; else null.
    const uint8_t* At(uint64_t offset, uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset ? data_ + offset : nullptr;
    }

private:
    HANDLE mapping_ = nullptr;
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// The ".rsrc" section of a PE file (named without regard to case).
bool FindResourceSection(const FileView& view, Section* section)
{
    const uint8_t* mz = view.At(0, MZ_HEAD_BYTES);
    if (!mz)
        return false;
    uint32_t pe = U32(mz + 0x3C);
    const uint8_t* head = view.At(pe, 24);
    if (!head)
        return false;
    uint16_t sections = U16(head + 6);
    uint16_t optionalBytes = U16(head + 20);
    const uint8_t* table = view.At(static_cast<uint64_t>(pe) + 24 + optionalBytes, static_cast<uint64_t>(sections) * 40);
    if (!table)
        return false;
    for (uint16_t i = 0; i < sections; ++i) {
        const uint8_t* entry = table + i * 40;
        char name[9] = {};
        std::memcpy(name, entry, 8);
        if (!lstrcmpiA(name, ".rsrc")) {
            *section = {U32(entry + 12), U32(entry + 16), U32(entry + 20)};
            return true;
        }
    }
    return false;
}

// Walks a resource directory depth first (named entries, then id entries, as stored),
// counting the data entries until the wanted one.
struct SlotWalk {
    const FileView& view;
    Section section;
    int wanted;
    int seen = 0;
    uint32_t dataRva = 0, dataSize = 0;

    bool Walk(uint32_t directory, int depth)
    {
        if (depth > RESOURCE_DEPTH || directory >= section.rawSize)
            return false;
        const uint8_t* head = view.At(static_cast<uint64_t>(section.rawOffset) + directory, 16);
        if (!head)
            return false;
        uint32_t count = static_cast<uint32_t>(U16(head + 12)) + U16(head + 14);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* entry = view.At(static_cast<uint64_t>(section.rawOffset) + directory + 16 + i * 8, 8);
            if (!entry)
                return false;
            uint32_t target = U32(entry + 4);
            if (target & 0x80000000u) {
                if (Walk(target & 0x7FFFFFFFu, depth + 1))
                    return true;
                continue;
            }
            const uint8_t* data = target < section.rawSize ? view.At(static_cast<uint64_t>(section.rawOffset) + target, 16)
                                                          : nullptr;
            if (data && ++seen == wanted) {
                dataRva = U32(data);
                dataSize = U32(data + 4);
                return true;
            }
        }
        return false;
    }
};

BOOL CALLBACK CountGroup(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

struct GroupSearch {
    int wanted;
    int seen;
    bool found;
    uint16_t numericId;
    char name[GROUP_NAME_CHARS + 1];
};

BOOL CALLBACK FindGroup(HMODULE, LPCSTR, LPSTR id, LONG_PTR search)
{
    auto* s = reinterpret_cast<GroupSearch*>(search);
    if (++s->seen != s->wanted)
        return TRUE;
    s->found = true;
    if (IS_INTRESOURCE(id))
        s->numericId = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(id));
    else
        lstrcpynA(s->name, id, sizeof s->name);
    return FALSE;
}

// The bytes of a resource of the module, bounded by its size.
bool ResourceBytes(HMODULE module, LPCSTR id, LPCSTR type, std::vector<uint8_t>* bytes)
{
    HRSRC found = FindResourceA(module, id, type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data)
        return false;
    auto* begin = static_cast<const uint8_t*>(data);
    bytes->assign(begin, begin + size);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- executables

void FileHandle::Close()
{
    if (Valid())
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

HANDLE OpenExecutable(const char* name, bool forWriting)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HANDLE file = forWriting ? CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr)
                             : CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetErrorMode(oldMode);
    return file;
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

int ExecutableKind(BDS* ctx, HANDLE file)
{
    uint8_t mz[MZ_HEAD_BYTES];
    if (!ReadAt(file, 0, mz, sizeof mz) || U16(mz) != MZ_SIGNATURE || U32(mz + 0x3C) == 0) {
        SetError(ctx, ICON_EXE_UNKNOWN);
        return -1;
    }
    uint32_t header = U32(mz + 0x3C);
    uint8_t ne[NE_HEAD_BYTES];
    if (ReadAt(file, header, ne, sizeof ne) && U16(ne) == NE_SIGNATURE)
        return EXE_NE;
    uint8_t pe[PE_HEAD_BYTES];
    if (ReadAt(file, header, pe, sizeof pe) && U32(pe) == PE_SIGNATURE)
        return EXE_PE;
    return EXE_OTHER;
}

int ExecutableKindOf(BDS* ctx, const char* name)
{
    FileHandle file(OpenExecutable(name, false));
    if (!file.Valid()) {
        SetError(ctx, ICON_EXE_OPEN);
        return -1;
    }
    return ExecutableKind(ctx, file.get());
}

// ---------------------------------------------------------------- .ICO files

bool ReadIcoDirectory(HANDLE file, std::vector<IcoEntry>* entries)
{
    uint8_t head[ICO_HEAD_BYTES];
    if (!ReadAt(file, 0, head, sizeof head) || U16(head) != 0 || U16(head + 2) != 1)
        return false;
    uint16_t count = U16(head + 4);
    std::vector<uint8_t> raw(count * ICO_ENTRY_BYTES);
    if (count && !ReadAt(file, ICO_HEAD_BYTES, raw.data(), static_cast<DWORD>(raw.size())))
        return false;
    entries->clear();
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* e = raw.data() + i * ICO_ENTRY_BYTES;
        entries->push_back({e[0], e[1], e[2], e[3], U16(e + 4), U16(e + 6), U32(e + 8), U32(e + 12)});
    }
    return true;
}

bool ReadIcoImages(BDS* ctx, const char* name, size_t limit, std::vector<IcoImage>* images)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    FileHandle file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    SetErrorMode(oldMode);
    if (!file.Valid()) {
        SetError(ctx, ICON_ICO_OPEN);
        return false;
    }
    std::vector<IcoEntry> entries;
    if (!ReadIcoDirectory(file.get(), &entries)) {
        SetError(ctx, ICON_ICO_INVALID);
        return false;
    }
    images->clear();
    for (size_t i = 0; i < entries.size() && i < limit; ++i) {
        const IcoEntry& e = entries[i];
        if (e.bytes > LARGEST_ICON_IMAGE) {
            SetError(ctx, ICON_ICO_INVALID);
            return false;
        }
        IcoImage image{e.width, e.height, e.colors, e.reserved, e.planes, e.bitCount, {}};
        try {
            image.data.resize(e.bytes);
        } catch (const std::bad_alloc&) {
            SetError(ctx, ICON_NO_MEMORY);
            return false;
        }
        if (e.bytes && !ReadAt(file.get(), e.offset, image.data.data(), e.bytes)) {
            SetError(ctx, ICON_ICO_INVALID);
            return false;
        }
        images->push_back(std::move(image));
    }
    return true;
}

// ---------------------------------------------------------------- icon groups

DataModule::DataModule(const char* name)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    module_ = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetErrorMode(oldMode);
}

DataModule::~DataModule()
{
    if (module_)
        FreeLibrary(module_);
}

int CountIconGroups(HMODULE module)
{
    int count = 0;
    if (!EnumResourceNamesA(module, reinterpret_cast<LPCSTR>(RT_GROUP_ICON), CountGroup,
                            reinterpret_cast<LONG_PTR>(&count)))
        return -1;
    return count;
}

bool ReadIconGroup(BDS* ctx, HMODULE module, int n, IconGroup* group)
{
    GroupSearch search{n, 0, false, 0, {}};
    BOOL ended = EnumResourceNamesA(module, reinterpret_cast<LPCSTR>(RT_GROUP_ICON), FindGroup,
                                    reinterpret_cast<LONG_PTR>(&search));
    if (!search.found) {
        // Stopping early reports a failure too; only an enumeration that ran to its end
        // without the group means there are fewer groups.
        SetError(ctx, ended ? ICON_BAD_INDEX : ICON_GROUP_ACCESS);
        return false;
    }
    group->numericId = search.numericId;
    group->name = search.name;
    LPCSTR id = search.name[0] ? search.name : MAKEINTRESOURCEA(search.numericId);
    if (!ResourceBytes(module, id, reinterpret_cast<LPCSTR>(RT_GROUP_ICON), &group->raw) ||
        group->raw.size() < GROUP_HEAD_BYTES) {
        SetError(ctx, ICON_GROUP_ACCESS);
        return false;
    }
    uint16_t count = U16(group->raw.data() + 4);
    if (group->raw.size() < GROUP_HEAD_BYTES + count * GROUP_ENTRY_BYTES) {
        SetError(ctx, ICON_GROUP_ACCESS);
        return false;
    }
    group->entries.clear();
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* e = group->raw.data() + GROUP_HEAD_BYTES + i * GROUP_ENTRY_BYTES;
        group->entries.push_back({e[0], e[1], e[2], e[3], U16(e + 4), U16(e + 6), U32(e + 8), U16(e + 12)});
    }
    return true;
}

bool ReadIconImage(HMODULE module, uint16_t id, std::vector<uint8_t>* data)
{
    return ResourceBytes(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_ICON), data);
}

// ---------------------------------------------------------------- places of images

bool FindPeIconSlot(BDS* ctx, HANDLE file, int slot, uint64_t* offset, uint32_t* size)
{
    FileView view(ctx, file);
    if (!view.Valid())
        return false;
    Section section;
    if (!FindResourceSection(view, &section)) {
        SetError(ctx, ICON_NO_RESOURCES);
        return false;
    }
    // The RT_ICON type among the top level's id entries.
    const uint8_t* root = section.rawSize >= 16 ? view.At(section.rawOffset, 16) : nullptr;
    uint32_t iconDirectory = 0;
    bool haveIcons = false;
    if (root) {
        uint32_t named = U16(root + 12), ids = U16(root + 14);
        for (uint32_t i = named; i < named + ids && !haveIcons; ++i) {
            const uint8_t* entry = view.At(static_cast<uint64_t>(section.rawOffset) + 16 + i * 8, 8);
            if (entry && U32(entry) == reinterpret_cast<uintptr_t>(RT_ICON) && (U32(entry + 4) & 0x80000000u)) {
                iconDirectory = U32(entry + 4) & 0x7FFFFFFFu;
                haveIcons = true;
            }
        }
    }
    SlotWalk walk{view, section, slot};
    if (!haveIcons || (!walk.Walk(iconDirectory, 1) && walk.seen == 0)) {
        SetError(ctx, ICON_NO_ICONS);
        return false;
    }
    if (walk.seen < slot || walk.dataRva < section.virtualAddress) {
        SetError(ctx, ICON_BAD_INDEX);
        return false;
    }
    *offset = static_cast<uint64_t>(walk.dataRva - section.virtualAddress) + section.rawOffset;
    *size = walk.dataSize;
    if (!view.At(*offset, *size)) {
        SetError(ctx, ICON_EXE_INVALID);
        return false;
    }
    return true;
}

bool FindNeIconSlot(BDS* ctx, HANDLE file, int slot, uint64_t* offset, uint32_t* size)
{
    uint8_t mz[MZ_HEAD_BYTES], ne[NE_HEAD_BYTES];
    if (!ReadAt(file, 0, mz, sizeof mz) || !ReadAt(file, U32(mz + 0x3C), ne, sizeof ne)) {
        SetError(ctx, ICON_EXE_INVALID);
        return false;
    }
    uint64_t header = U32(mz + 0x3C);
    uint16_t table = U16(ne + 0x24), residentNames = U16(ne + 0x26);
    if (table == residentNames) {
        SetError(ctx, ICON_NO_RESOURCES);
        return false;
    }
    uint64_t at = header + table;
    uint8_t word[2];
    if (!ReadAt(file, at, word, 2)) {
        SetError(ctx, ICON_EXE_INVALID);
        return false;
    }
    unsigned shift = U16(word) & 0x1F;
    at += 2;
    int seen = 0;
    for (;;) {
        uint8_t block[8];
        if (!ReadAt(file, at, block, 2)) {
            SetError(ctx, ICON_EXE_INVALID);
            return false;
        }
        uint16_t type = U16(block);
        if (type == 0)
            break;
        if (!ReadAt(file, at, block, sizeof block)) {
            SetError(ctx, ICON_EXE_INVALID);
            return false;
        }
        uint16_t count = U16(block + 2);
        at += sizeof block;
        if (type == NE_ICON_TYPE) {
            for (uint16_t i = 0; i < count; ++i) {
                uint8_t entry[NE_ENTRY_BYTES];
                if (!ReadAt(file, at + i * NE_ENTRY_BYTES, entry, sizeof entry)) {
                    SetError(ctx, ICON_EXE_INVALID);
                    return false;
                }
                if (++seen == slot) {
                    *offset = static_cast<uint64_t>(U16(entry)) << shift;
                    *size = static_cast<uint32_t>(U16(entry + 2)) << shift;
                    return true;
                }
            }
        }
        at += static_cast<uint64_t>(count) * NE_ENTRY_BYTES;
    }
    SetError(ctx, seen ? ICON_BAD_INDEX : ICON_NO_ICONS);
    return false;
}
