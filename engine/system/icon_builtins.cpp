// IconExtract, IconInfo and IconReplace: an icon group of a program written out as an .ICO
// file, the icons of a program or an .ICO file described as an array, and the images of an
// .ICO file written over a program's images of the same size.
#include "engine/system/icon_builtins.h"

#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/data/result_array.h"
#include "engine/files/file_args.h"
#include "engine/files/path_search.h"
#include "engine/system/icon_files.h"

namespace {

constexpr size_t ICO_IMAGE_LIMIT = 20;   // images of an .ICO file that a replacement uses
constexpr size_t GROUP_KEY_LIMIT = 20;   // entries of a group that a replacement visits
constexpr uint32_t NE_SIZE_SLACK = 8;    // an NE slot may hold an image 8 bytes larger

// ---------------------------------------------------------------- IconExtract

bool WriteAll(HANDLE file, const void* data, size_t size)
{
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}

// The .ICO file of a group: the head, one entry per image (offsets from 6 + 16 x count on),
// then the images; each entry's size is that of the image written.
std::vector<uint8_t> IcoFileOf(const IconGroup& group, const std::vector<std::vector<uint8_t>>& images)
{
    std::vector<uint8_t> out;
    PutU16(out, 0);
    PutU16(out, 1);
    PutU16(out, static_cast<uint16_t>(group.entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * group.entries.size());
    for (size_t i = 0; i < group.entries.size(); ++i) {
        const GroupEntry& e = group.entries[i];
        out.insert(out.end(), {e.width, e.height, e.colors, 0});
        PutU16(out, e.planes);
        PutU16(out, e.bitCount);
        PutU32(out, static_cast<uint32_t>(images[i].size()));
        PutU32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::vector<uint8_t>& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

// The checks every icon built-in makes of a program first: it exists and is of a kind.
int CheckedKind(BDS* ctx, const char* exe)
{
    if (!DoFileExistA(ctx, exe, false)) {
        SetError(ctx, ICON_EXE_NOT_FOUND);
        return -1;
    }
    return ExecutableKindOf(ctx, exe);
}

void CaseIconExtract(BDS* ctx, BuiltinCall& c)
{
    ArgAnsiPath exeName(ctx, c, 1), icoName(ctx, c, 2);
    const char* exe = exeName.text();
    const char* ico = icoName.text();
    int n = ArgInt(c, 3);
    if (n < 1) {
        SetError(ctx, ICON_BAD_INDEX);
        return;
    }
    int kind = CheckedKind(ctx, exe);
    if (kind < 0)
        return;
    if (kind != EXE_PE) {
        SetError(ctx, ICON_UNSUPPORTED);
        return;
    }
    DataModule module(exe);
    if (!module.get()) {
        SetError(ctx, ICON_EXE_OPEN);
        return;
    }
    IconGroup group;
    if (CountIconGroups(module.get()) < 0) {
        SetError(ctx, ICON_GROUP_ACCESS);
        return;
    }
    if (!ReadIconGroup(ctx, module.get(), n, &group))
        return;
    std::vector<std::vector<uint8_t>> images(group.entries.size());
    for (size_t i = 0; i < group.entries.size(); ++i)
        if (!ReadIconImage(module.get(), group.entries[i].id, &images[i])) {
            SetError(ctx, ICON_GROUP_ACCESS);
            return;
        }
    std::vector<uint8_t> file = IcoFileOf(group, images);
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    FileHandle out(CreateFileA(ico, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    SetErrorMode(oldMode);
    if (!out.Valid()) {
        SetError(ctx, ICON_ICO_OPEN);
        return;
    }
    if (!WriteAll(out.get(), file.data(), file.size())) {
        SetError(ctx, ICON_WRITE);
        return;
    }
    SetResultInt(ctx, c.result, static_cast<int32_t>(group.entries.size()));
}

// ---------------------------------------------------------------- IconInfo

int Dimension(uint8_t stored) { return stored ? stored : 256; }   // 0 stands for 256

// The head of a row of IconInfo's array: the count and the three column names, at (i, 0..3)
// of a two-dimensional array or (i, j, 0..3) of a three-dimensional one.
bool SetHeadings(ResultArray& array, uint32_t i, uint32_t j, int32_t count, bool threeDims)
{
    if (threeDims)
        return array.SetInt(count, i, j, 0) && array.SetText("WIDTH", i, j, 1) && array.SetText("HEIGHT", i, j, 2) &&
               array.SetText("COLOR DEPTH", i, j, 3);
    return array.SetInt(count, i, 0) && array.SetText("WIDTH", i, 1) && array.SetText("HEIGHT", i, 2) &&
           array.SetText("COLOR DEPTH", i, 3);
}

// The bit count of an .ICO image whose entry gives none: its BITMAPINFOHEADER's.
uint16_t BitCountOfImage(HANDLE file, const IcoEntry& e)
{
    uint8_t header[16];
    if (!ReadAt(file, e.offset, header, sizeof header))
        return 0;
    return static_cast<uint16_t>(header[14] | (header[15] << 8));
}

// Request 1: count + 1 rows of 4; a file that cannot be read as an icon file has none.
void IcoFileInfo(BDS* ctx, const char* name, resultants* result)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    FileHandle file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    SetErrorMode(oldMode);
    std::vector<IcoEntry> entries;
    if (!file.Valid() || !ReadIcoDirectory(file.get(), &entries))
        entries.clear();
    ResultArray array(ctx);
    auto count = static_cast<uint32_t>(entries.size());
    if (!array.Make(count + 1, 4, 0, 2) || !SetHeadings(array, 0, 0, static_cast<int32_t>(count), false))
        return;
    for (uint32_t i = 1; i <= count; ++i) {
        const IcoEntry& e = entries[i - 1];
        uint16_t bits = e.bitCount ? e.bitCount : BitCountOfImage(file.get(), e);
        if (!array.SetInt(static_cast<int32_t>(i), i, 0) || !array.SetInt(Dimension(e.width), i, 1) ||
            !array.SetInt(Dimension(e.height), i, 2) || !array.SetInt(bits, i, 3))
            return;
    }
    array.HandTo(result);
}

// Request 0: (groups + 1) x (largest image count + 1) x 4.
void ProgramInfo(BDS* ctx, const char* name, resultants* result)
{
    std::vector<IconGroup> groups;
    if (DoFileExistA(ctx, name, false)) {
        int kind = ExecutableKindOf(ctx, name);
        if (kind < 0)
            return;
        if (kind != EXE_NE) {
            DataModule module(name);
            int count = module.get() ? CountIconGroups(module.get()) : -1;
            if (count <= 0) {
                SetError(ctx, ICON_GROUP_ACCESS);
                return;
            }
            groups.resize(static_cast<size_t>(count));
            for (int g = 0; g < count; ++g)
                if (!ReadIconGroup(ctx, module.get(), g + 1, &groups[g])) {
                    SetError(ctx, ICON_GROUP_ACCESS);
                    return;
                }
        }
    }
    size_t largest = 0;
    for (const IconGroup& g : groups)
        largest = g.entries.size() > largest ? g.entries.size() : largest;
    ResultArray array(ctx);
    if (!array.Make(static_cast<uint32_t>(groups.size() + 1), static_cast<uint32_t>(largest + 1), 4, 3) ||
        !array.SetInt(static_cast<int32_t>(groups.size()), 0, 0, 0))
        return;
    for (uint32_t g = 1; g <= groups.size(); ++g) {
        const std::vector<GroupEntry>& entries = groups[g - 1].entries;
        if (!SetHeadings(array, g, 0, static_cast<int32_t>(entries.size()), true))
            return;
        for (uint32_t i = 1; i <= entries.size(); ++i) {
            const GroupEntry& e = entries[i - 1];
            if (!array.SetInt(static_cast<int32_t>(i), g, i, 0) || !array.SetInt(Dimension(e.width), g, i, 1) ||
                !array.SetInt(Dimension(e.height), g, i, 2) || !array.SetInt(e.bitCount, g, i, 3))
                return;
        }
    }
    array.HandTo(result);
}

void CaseIconInfo(BDS* ctx, BuiltinCall& c)
{
    ArgAnsiPath file(ctx, c, 1);
    switch (ArgInt(c, 2)) {
    case 0:
        ProgramInfo(ctx, file.text(), c.result);
        return;
    case 1:
        IcoFileInfo(ctx, file.text(), c.result);
        return;
    default:
        SetError(ctx, ICON_FILETYPE);
        return;
    }
}

// ---------------------------------------------------------------- IconReplace

// Writes the first .ICO image of the slot's size (and key, when one is given) over the
// slot. An image of no such size replaces nothing, which is no error.
bool ReplaceSlot(BDS* ctx, HANDLE file, int kind, int slot, uint16_t key, std::vector<IcoImage>& images,
                 int* replaced)
{
    uint64_t offset;
    uint32_t size;
    if (!(kind == EXE_NE ? FindNeIconSlot(ctx, file, slot, &offset, &size)
                         : FindPeIconSlot(ctx, file, slot, &offset, &size)))
        return false;
    auto pick = [&](uint32_t wanted) -> IcoImage* {
        for (IcoImage& image : images)
            if (image.data.size() == wanted && (key == 0 || image.Key() == key))
                return &image;
        return nullptr;
    };
    IcoImage* image = pick(size);
    if (!image && kind == EXE_NE && size > NE_SIZE_SLACK)
        image = pick(size - NE_SIZE_SLACK);
    if (!image)
        return true;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        SetError(ctx, ICON_EXE_INVALID);
        return false;
    }
    if (!WriteAll(file, image->data.data(), image->data.size())) {
        SetError(ctx, ICON_EXE_INVALID);
        return false;
    }
    image->used = true;
    ++*replaced;
    return true;
}

// Keeps only the group's entries whose image size is that of a used .ICO image; writes
// the group back when that drops any.
bool ShrinkGroup(BDS* ctx, const char* exe, int n, const std::vector<IcoImage>& images)
{
    IconGroup group;
    WORD language = 0;
    {
        DataModule module(exe);
        if (!module.get()) {
            SetError(ctx, ICON_EXE_OPEN);
            return false;
        }
        if (!ReadIconGroup(ctx, module.get(), n, &group))
            return false;
        LPCSTR id = group.name.empty() ? MAKEINTRESOURCEA(group.numericId) : group.name.c_str();
        EnumResourceLanguagesA(
            module.get(), reinterpret_cast<LPCSTR>(RT_GROUP_ICON), id,
            [](HMODULE, LPCSTR, LPCSTR, WORD found, LONG_PTR out) -> BOOL {
                *reinterpret_cast<WORD*>(out) = found;
                return FALSE;   // the first language
            },
            reinterpret_cast<LONG_PTR>(&language));
    }
    std::vector<uint8_t> kept(group.raw.begin(), group.raw.begin() + GROUP_HEAD_BYTES);
    uint16_t count = 0;
    for (size_t i = 0; i < group.entries.size(); ++i) {
        bool matches = false;
        for (const IcoImage& image : images)
            matches = matches || (image.used && image.data.size() == group.entries[i].bytes);
        if (!matches)
            continue;
        const uint8_t* entry = group.raw.data() + GROUP_HEAD_BYTES + i * GROUP_ENTRY_BYTES;
        kept.insert(kept.end(), entry, entry + GROUP_ENTRY_BYTES);
        ++count;
    }
    if (count == group.entries.size())
        return true;
    kept[4] = static_cast<uint8_t>(count);
    kept[5] = static_cast<uint8_t>(count >> 8);
    LPCSTR id = group.name.empty() ? MAKEINTRESOURCEA(group.numericId) : group.name.c_str();
    HANDLE update = BeginUpdateResourceA(exe, FALSE);
    bool done = update &&
                UpdateResourceA(update, reinterpret_cast<LPCSTR>(RT_GROUP_ICON), id, language, kept.data(),
                                static_cast<DWORD>(kept.size()));
    if (update && !EndUpdateResourceA(update, done ? FALSE : TRUE))
        done = false;
    if (!done)
        SetError(ctx, ICON_GROUP_ACCESS);
    return done;
}

void CaseIconReplace(BDS* ctx, BuiltinCall& c)
{
    ArgAnsiPath exe(ctx, c, 1), ico(ctx, c, 2);
    int32_t replaced = DoIconReplace(ctx, exe.text(), ico.text(), ArgInt(c, 3, 1), ArgInt(c, 4, 0));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, c.result, replaced);
}

const BuiltinRow kRows[] = {
    {519, CaseIconExtract},
    {520, CaseIconInfo},
    {521, CaseIconReplace},
};

}  // namespace

extern const BuiltinFamily g_IconBuiltins = {"icons", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int32_t DoIconReplace(BDS* ctx, const char* exe, const char* ico, int32_t n, int32_t flags)
{
    if (n < 1) {
        SetError(ctx, ICON_BAD_INDEX);
        return 0;
    }
    if (!DoFileExistA(ctx, exe, false)) {
        SetError(ctx, ICON_EXE_NOT_FOUND);
        return 0;
    }
    if (!DoFileExistA(ctx, ico, false)) {
        SetError(ctx, ICON_ICO_NOT_FOUND);
        return 0;
    }
    int kind = ExecutableKindOf(ctx, exe);
    if (kind < 0)
        return 0;
    if (kind != EXE_NE && kind != EXE_PE) {
        SetError(ctx, ICON_NOT_WINDOWS);
        return 0;
    }
    std::vector<IcoImage> images;
    if (!ReadIcoImages(ctx, ico, ICO_IMAGE_LIMIT, &images))
        return 0;

    // The group is read through the module before the file is opened for writing.
    IconGroup group;
    if (kind == EXE_PE) {
        DataModule module(exe);
        if (!module.get()) {
            SetError(ctx, ICON_EXE_OPEN);
            return 0;
        }
        if (CountIconGroups(module.get()) < 0) {
            SetError(ctx, ICON_GROUP_ACCESS);
            return 0;
        }
        if (!ReadIconGroup(ctx, module.get(), n, &group))
            return 0;
    }
    int replaced = 0;
    bool complete = true;
    {
        FileHandle file(OpenExecutable(exe, true));
        if (!file.Valid()) {
            SetError(ctx, ICON_EXE_OPEN);
            return 0;
        }
        if (kind == EXE_NE) {
            complete = ReplaceSlot(ctx, file.get(), kind, n, 0, images, &replaced);
        } else {
            // The group's images are taken to be RT_ICON resources of consecutive ids from
            // the first entry's; the slot of id k is the k-th RT_ICON data entry.
            int first = group.entries.empty() ? 0 : group.entries[0].id;
            for (size_t i = 0; i < group.entries.size() && i < GROUP_KEY_LIMIT && complete; ++i)
                complete = ReplaceSlot(ctx, file.get(), kind, first + static_cast<int>(i), group.entries[i].Key(),
                                       images, &replaced);
        }
    }
    if (!complete)
        return 0;
    if (kind == EXE_PE && (flags & 1) && IsUnicodeMode() && !ShrinkGroup(ctx, exe, n, images))
        return 0;
    return replaced;
}
