// Resources read from the launcher's own file: the CONFIGDATA record (found by walking the
// file's resource section, so it also works for a file that is not loaded) and the string
// space's reserve from the version block.
#include "launcher/launcher.h"

#include <cstdio>
#include <cstring>

namespace {

// A read-only view of a whole file, unmapped and closed on every path.
struct MappedFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const uint8_t* base = nullptr;
    uint64_t size = 0;
    ~MappedFile()
    {
        if (base)
            UnmapViewOfFile(base);
        if (mapping)
            CloseHandle(mapping);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    bool Holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

bool ReadHeaders(HANDLE file)
{
    uint8_t dos[64];
    DWORD got = 0;
    if (!ReadFile(file, dos, sizeof(dos), &got, nullptr) || got != sizeof(dos) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    LONG peOffset;
    std::memcpy(&peOffset, dos + 0x3C, sizeof(peOffset));
    if (SetFilePointer(file, peOffset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    uint8_t pe[264];
    return ReadFile(file, pe, sizeof(pe), &got, nullptr) && got == sizeof(pe) && pe[0] == 'P' && pe[1] == 'E'
           && pe[2] == 0 && pe[3] == 0;
}

struct ResourceWalk {
    const MappedFile& view;
    uint64_t rsrcFile;      // file offset of the resource section
    uint32_t rsrcSize;      // raw size of the section

    // The first data entry below the directory at `offset` (named entries come first in the
    // array, as the format keeps them); its file offset is 0 when there is none.
    const IMAGE_RESOURCE_DATA_ENTRY* FirstData(uint32_t offset, int depth) const
    {
        if (depth > 8 || !Fits(offset, sizeof(IMAGE_RESOURCE_DIRECTORY)))
            return nullptr;
        auto* dir = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(view.base + rsrcFile + offset);
        uint32_t count = uint32_t(dir->NumberOfNamedEntries) + dir->NumberOfIdEntries;
        uint32_t entries = offset + sizeof(IMAGE_RESOURCE_DIRECTORY);
        for (uint32_t i = 0; i < count; ++i) {
            const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = Entry(entries, i);
            if (!entry)
                return nullptr;
            if (const IMAGE_RESOURCE_DATA_ENTRY* data = Follow(entry, depth))
                return data;
        }
        return nullptr;
    }

    const IMAGE_RESOURCE_DATA_ENTRY* Follow(const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry, int depth) const
    {
        if (entry->DataIsDirectory)
            return FirstData(entry->OffsetToDirectory, depth + 1);
        if (!Fits(entry->OffsetToData, sizeof(IMAGE_RESOURCE_DATA_ENTRY)))
            return nullptr;
        return reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(view.base + rsrcFile + entry->OffsetToData);
    }

    const IMAGE_RESOURCE_DIRECTORY_ENTRY* Entry(uint32_t entries, uint32_t i) const
    {
        uint64_t at = uint64_t(entries) + uint64_t(i) * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY);
        if (!Fits(at, sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)))
            return nullptr;
        return reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(view.base + rsrcFile + at);
    }

    bool Fits(uint64_t offset, uint64_t length) const
    {
        return offset <= rsrcSize && length <= rsrcSize - offset && view.Holds(rsrcFile + offset, length);
    }
};

}  // namespace

int ReadConfigData(const wchar_t* programPath, uint8_t* out, uint32_t size)
{
    MappedFile view;
    view.file = CreateFileW(programPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
    if (view.file == INVALID_HANDLE_VALUE || !ReadHeaders(view.file))
        return 0;
    LARGE_INTEGER fileSize{};
    if (!GetFileSizeEx(view.file, &fileSize) || fileSize.QuadPart <= 0)
        return 0;
    view.size = uint64_t(fileSize.QuadPart);
    view.mapping = CreateFileMappingA(view.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!view.mapping)
        return 0;
    view.base = static_cast<const uint8_t*>(MapViewOfFile(view.mapping, FILE_MAP_READ, 0, 0, 0));
    if (!view.base)
        return 0;

    LONG peOffset;
    std::memcpy(&peOffset, view.base + 0x3C, sizeof(peOffset));
    if (peOffset < 0 || !view.Holds(uint64_t(peOffset), sizeof(IMAGE_NT_HEADERS64)))
        return 0;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(view.base + peOffset);
    uint64_t sections = uint64_t(peOffset) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader)
                        + nt->FileHeader.SizeOfOptionalHeader;
    uint16_t count = nt->FileHeader.NumberOfSections;
    if (!view.Holds(sections, uint64_t(count) * sizeof(IMAGE_SECTION_HEADER)))
        return 0;

    for (uint16_t i = 0; i < count; ++i) {
        auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(view.base + sections) + i;
        char name[IMAGE_SIZEOF_SHORT_NAME + 1] = {};
        std::memcpy(name, section->Name, IMAGE_SIZEOF_SHORT_NAME);
        if (lstrcmpiA(name, ".rsrc") != 0)
            continue;
        ResourceWalk walk{view, section->PointerToRawData, section->SizeOfRawData};
        if (!walk.Fits(0, sizeof(IMAGE_RESOURCE_DIRECTORY)))
            return 0;
        auto* root = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(view.base + walk.rsrcFile);
        uint32_t types = uint32_t(root->NumberOfNamedEntries) + root->NumberOfIdEntries;
        for (uint32_t t = 0; t < types; ++t) {
            const IMAGE_RESOURCE_DIRECTORY_ENTRY* type = walk.Entry(sizeof(IMAGE_RESOURCE_DIRECTORY), t);
            if (!type)
                return 0;
            if (type->NameIsString || type->Id != 10)   // RT_RCDATA
                continue;
            const IMAGE_RESOURCE_DATA_ENTRY* data = walk.Follow(type, 0);
            if (!data || data->Size != size || data->OffsetToData < section->VirtualAddress)
                return 0;
            uint64_t at = uint64_t(data->OffsetToData) - section->VirtualAddress + section->PointerToRawData;
            if (!view.Holds(at, size))
                return 0;
            std::memcpy(out, view.base + at, size);
            return 1;
        }
        return 0;
    }
    return 0;
}

bool ParseReserveText(const char* text, uint64_t* reserve)
{
    if (!text || std::strlen(text) <= 12 || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text, 12,
                                                           "VirtualAlloc", 12) != CSTR_EQUAL)
        return false;
    const char* p = text + 12;
    while (*p == ' ' || *p == '\t')
        ++p;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + uint64_t(*p - '0');
    while (*p == ' ' || *p == '\t')
        ++p;
    if ((*p == 'K' || *p == 'k') && value <= UINT64_MAX / 1024)
        value *= 1024;
    *reserve = value;
    return true;
}

bool ReadVersionReserve(const wchar_t* programPath, uint64_t* reserve)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(programPath, &ignored);
    if (size == 0)
        return false;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* data = block ? GlobalLock(block) : nullptr;
    bool found = false;
    if (data && GetFileVersionInfoW(programPath, 0, size, data)) {
        WORD language = 1033, codePage = 1252;
        WORD* translation = nullptr;
        UINT length = 0;
        if (VerQueryValueA(data, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
            && translation && length >= 4) {
            language = translation[0];
            codePage = translation[1];
        }
        char query[64];
        std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\%s", language, codePage, "ProductVersion");
        char* value = nullptr;
        if (VerQueryValueA(data, query, reinterpret_cast<void**>(&value), &length) && value && length > 0)
            found = ParseReserveText(value, reserve);
    }
    if (data)
        GlobalUnlock(block);
    if (block)
        GlobalFree(block);
    return found;
}
