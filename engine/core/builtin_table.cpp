// The dispatch table: every family's rows gathered into one table indexed by keyword id.
//
// A family of built-ins defines one BuiltinFamily with its rows and adds one line to the
// list below. An id that no family serves answers 3046 "Function not defined"; the unit
// test BuiltinTable lists the served and the unserved ids.
#include "engine/core/builtin.h"

#include "engine/core/router.h"

extern const BuiltinFamily g_InlineBuiltins;     // served inside the dispatch itself
extern const BuiltinFamily g_IniBuiltins;        // the profile (INI) built-ins
extern const BuiltinFamily g_StrSearchBuiltins;     // text measurement and search
extern const BuiltinFamily g_StrTransformBuiltins;  // text transformation, StrCat
extern const BuiltinFamily g_StrCompareBuiltins;    // text comparison and code pages
extern const BuiltinFamily g_ItemListBuiltins;      // item lists and CSV lines
extern const BuiltinFamily g_ItemEditBuiltins;      // ItemRemove, ItemReplace, ItemSort
extern const BuiltinFamily g_MathBuiltins;          // maths functions, Average, Max, Min
extern const BuiltinFamily g_SystemQueryBuiltins;   // WinParm*, WinResources, DirWindows, ExeTypeInfo
extern const BuiltinFamily g_FileHandleBuiltins; // file handles and whole files
extern const BuiltinFamily g_FileNameBuiltins;   // file tests and name forms
extern const BuiltinFamily g_TimeTextBuiltins;   // the clock as text
extern const BuiltinFamily g_ArrayBuiltins;      // arrays, maps, their search, sort and files
extern const BuiltinFamily g_IntControlBuiltins;     // IntControl, with its route to the host
extern const BuiltinFamily g_ScriptBoxBuiltins;      // Message, Pause, AskYesNo
extern const BuiltinFamily g_ItemListBoxBuiltins;    // the item-list and text boxes
extern const BuiltinFamily g_PromptBoxBuiltins;      // AskLine, AskPassword, AskTextBox, Display
extern const BuiltinFamily g_ChooserBuiltins;        // AskFileName, AskDirectory, AskColor, AskFont
extern const BuiltinFamily g_WindowSearchBuiltins;   // window tests, waits and identifiers
extern const BuiltinFamily g_WindowActivateBuiltins; // WinActivate and WinActivChild
extern const BuiltinFamily g_WindowStateBuiltins;    // WinClose, WinHide, WinShow, WinState, ...
extern const BuiltinFamily g_WindowPlaceBuiltins;    // WinPlace, WinPosition and their kin
extern const BuiltinFamily g_WindowCloseNotBuiltins; // WinCloseNot
extern const BuiltinFamily g_WindowInfoBuiltins;     // WinName, WinExeName, MsgTextGet, DllHwnd, ...
extern const BuiltinFamily g_WindowListBuiltins;     // WinItemize and the other window lists
extern const BuiltinFamily g_WallpaperBuiltins;      // Wallpaper
extern const BuiltinFamily g_WindowMessageBuiltins;  // SendMessageA/W, SendMenusTo(Ex), WindowOnTop
extern const BuiltinFamily g_WindowArrangeBuiltins;  // WinArrange
extern const BuiltinFamily g_WinMetricsBuiltins;     // WinMetrics
extern const BuiltinFamily g_SnapshotBuiltins;       // Snapshot
extern const BuiltinFamily g_HelpLauncherBuiltins;   // WinHelp
extern const BuiltinFamily g_ClipboardBuiltins;      // the clipboard text built-ins
extern const BuiltinFamily g_RandomBuiltins;         // Random
extern const BuiltinFamily g_InputSoundBuiltins;     // IgnoreInput, PlayWaveform
extern const BuiltinFamily g_WildcardBuiltins;     // FileMapName
extern const BuiltinFamily g_FileListBuiltins;     // FileDelete, FileSize, FileSizeEx
extern const BuiltinFamily g_ItemizeBuiltins;      // FileItemize, DirItemize, FileItemPath
extern const BuiltinFamily g_FileCompareBuiltins;  // FileCompare, FileEncoding, FileTimeGet ...
extern const BuiltinFamily g_FileVersionBuiltins;  // FileVerInfo, InstallFile
extern const BuiltinFamily g_FileDigestBuiltins;   // FileDigest, FileDigestGetKey
extern const BuiltinFamily g_FilePurgeBuiltins;    // FilePurge
extern const BuiltinFamily g_PipeBuiltins;         // the named-pipe built-ins
extern const BuiltinFamily g_FileLockBuiltins;     // FileLockItemize
extern const BuiltinFamily g_AttributeBuiltins;    // file and directory attributes
extern const BuiltinFamily g_FileTimeBuiltins;     // file time stamps
extern const BuiltinFamily g_DiskBuiltins;         // drives and disks
extern const BuiltinFamily g_DirectoryBuiltins;    // directories
extern const BuiltinFamily g_FileServiceBuiltins;  // FileCreateTemp
extern const BuiltinFamily g_FileCopyBuiltins;     // copy, move, append, rename
extern const BuiltinFamily g_VersionBuiltins;    // Version, VersionDll
extern const BuiltinFamily g_BinaryBufferBuiltins;     // binary buffers: slots and numbers
extern const BuiltinFamily g_BinaryTextBuiltins;       // ... strings and hex text
extern const BuiltinFamily g_BinaryCopyBuiltins;       // ... copies and bitwise combinations
extern const BuiltinFamily g_BinaryFileBuiltins;       // ... files
extern const BuiltinFamily g_BinaryClipBuiltins;       // ... the clipboard
extern const BuiltinFamily g_BinarySearchBuiltins;     // ... search, count, compare
extern const BuiltinFamily g_BinaryTransformBuiltins;  // ... replace, translate, convert
extern const BuiltinFamily g_BinaryTagBuiltins;        // ... tags
extern const BuiltinFamily g_BinaryRecordBuiltins;     // ... record sort, hashed records
extern const BuiltinFamily g_BinaryCompressBuiltins;   // ... compression
extern const BuiltinFamily g_BinaryChecksumBuiltins;   // ... checksums
extern const BuiltinFamily g_RegistryKeyBuiltins;    // registry keys and views
extern const BuiltinFamily g_RegistryReadBuiltins;   // reading registry values
extern const BuiltinFamily g_RegistryWriteBuiltins;  // writing and deleting registry values
extern const BuiltinFamily g_RegistryLinkBuiltins;   // registry links and hives
extern const BuiltinFamily g_ShellFolderBuiltins;    // ShortcutDir, RegApp
extern const BuiltinFamily g_TraceBuiltins;      // DebugTrace
extern const BuiltinFamily g_DialogBuiltins;     // Dialog and the dialog procedure's built-ins
extern const BuiltinFamily g_DateArithBuiltins;  // TimeAdd, TimeDiff..., day numbers
extern const BuiltinFamily g_TimeFormatBuiltins; // TimeFormat
extern const BuiltinFamily g_TimeZoneBuiltins;   // TimeZoneConvert, TimeZoneList
extern const BuiltinFamily g_WaitBuiltins;       // Delay, TimeDelay, TimeWait
extern const BuiltinFamily g_SysParamBuiltins;   // SysParamInfo
extern const BuiltinFamily g_ComputerNameBuiltins;  // NetInfo, ComputerNameGet/Set
extern const BuiltinFamily g_DdeBuiltins;        // the DDE client
extern const BuiltinFamily g_CredManBuiltins;    // CredMan
extern const BuiltinFamily g_IconBuiltins;       // IconExtract, IconInfo, IconReplace
extern const BuiltinFamily g_DllCallBuiltins;        // DllCall, DllCallCdecl
extern const BuiltinFamily g_DllLibraryBuiltins;     // DllLoad, DllFree, DllHwnd, DllHinst, DataCast
extern const BuiltinFamily g_DllStructBuiltins;      // DllStruct...
extern const BuiltinFamily g_CallbackBuiltins;       // DllCallbackCreate, DllCallbackDestroy
extern const BuiltinFamily g_ExtenderBuiltins;       // AddExtender
extern const BuiltinFamily g_ComObjectBuiltins;      // COM objects, member calls, SAFEARRAYs
extern const BuiltinFamily g_ComEventBuiltins;       // ObjectEventAdd, ObjectEventRemove
extern const BuiltinFamily g_DotNetBuiltins;         // ObjectClrNew, ObjectClrOption, ObjectClrType
extern const BuiltinFamily g_ShortcutBuiltins;       // ShortcutInfo, ShortcutMake, ShortcutEdit, ShortcutExtra
extern const BuiltinFamily g_SendKeyBuiltins;    // SendKey, SendKeysTo, SendKeysChild and twins
extern const BuiltinFamily g_MouseBuiltins;      // MouseInfo, MouseMove, MouseCoords, MouseClick(Btn)
extern const BuiltinFamily g_MousePlayBuiltins;  // MousePlay
extern const BuiltinFamily g_KeyStateBuiltins;   // KeyToggleGet/Set, IsKeyDown, WaitForKey(Ex)
extern const BuiltinFamily g_MediaBuiltins;      // PlayMedia, PlayMidi, SoundVolume
extern const BuiltinFamily g_EnvironmentBuiltins;  // Environment, EnvironSet, EnvItemize
extern const BuiltinFamily g_ProgramStartBuiltins;  // the Run family, Print, ShellExecute(Wait)
extern const BuiltinFamily g_SystemInfoBuiltins;    // WinSysInfo, WinVersion
extern const BuiltinFamily g_AppBuiltins;           // AppExist, AppProcId, AppWaitClose, TerminateApp, ...
extern const BuiltinFamily g_UserErrorBuiltins;     // ErrorEvent, DropWild
extern const BuiltinFamily g_ElevationBuiltins;     // UacElevationLevel, UacExePromptTest, UacManifestSettings
extern const BuiltinFamily g_RunAppBuiltins;        // RunApp

static const BuiltinFamily* const kFamilies[] = {
    &g_InlineBuiltins,
    &g_IniBuiltins,
    &g_StrSearchBuiltins,
    &g_StrTransformBuiltins,
    &g_StrCompareBuiltins,
    &g_ItemListBuiltins,
    &g_ItemEditBuiltins,
    &g_MathBuiltins,
    &g_SystemQueryBuiltins,
    &g_FileHandleBuiltins,
    &g_FileNameBuiltins,
    &g_TimeTextBuiltins,
    &g_ArrayBuiltins,
    &g_IntControlBuiltins,
    &g_ScriptBoxBuiltins,
    &g_ItemListBoxBuiltins,
    &g_PromptBoxBuiltins,
    &g_ChooserBuiltins,
    &g_WindowSearchBuiltins,
    &g_WindowActivateBuiltins,
    &g_WindowStateBuiltins,
    &g_WindowPlaceBuiltins,
    &g_WindowCloseNotBuiltins,
    &g_WindowInfoBuiltins,
    &g_WindowListBuiltins,
    &g_WallpaperBuiltins,
    &g_WindowMessageBuiltins,
    &g_WindowArrangeBuiltins,
    &g_WinMetricsBuiltins,
    &g_SnapshotBuiltins,
    &g_HelpLauncherBuiltins,
    &g_ClipboardBuiltins,
    &g_RandomBuiltins,
    &g_InputSoundBuiltins,
    &g_WildcardBuiltins,
    &g_FileListBuiltins,
    &g_ItemizeBuiltins,
    &g_FileCompareBuiltins,
    &g_FileVersionBuiltins,
    &g_FileDigestBuiltins,
    &g_FilePurgeBuiltins,
    &g_PipeBuiltins,
    &g_FileLockBuiltins,
    &g_AttributeBuiltins,
    &g_FileTimeBuiltins,
    &g_DiskBuiltins,
    &g_DirectoryBuiltins,
    &g_FileServiceBuiltins,
    &g_FileCopyBuiltins,
    &g_VersionBuiltins,
    &g_BinaryBufferBuiltins,
    &g_BinaryTextBuiltins,
    &g_BinaryCopyBuiltins,
    &g_BinaryFileBuiltins,
    &g_BinaryClipBuiltins,
    &g_BinarySearchBuiltins,
    &g_BinaryTransformBuiltins,
    &g_BinaryTagBuiltins,
    &g_BinaryRecordBuiltins,
    &g_BinaryCompressBuiltins,
    &g_BinaryChecksumBuiltins,
    &g_RegistryKeyBuiltins,
    &g_RegistryReadBuiltins,
    &g_RegistryWriteBuiltins,
    &g_RegistryLinkBuiltins,
    &g_ShellFolderBuiltins,
    &g_TraceBuiltins,
    &g_DialogBuiltins,
    &g_DateArithBuiltins,
    &g_TimeFormatBuiltins,
    &g_TimeZoneBuiltins,
    &g_WaitBuiltins,
    &g_SysParamBuiltins,
    &g_ComputerNameBuiltins,
    &g_DdeBuiltins,
    &g_CredManBuiltins,
    &g_IconBuiltins,
    &g_DllCallBuiltins,
    &g_DllLibraryBuiltins,
    &g_DllStructBuiltins,
    &g_CallbackBuiltins,
    &g_ExtenderBuiltins,
    &g_ComObjectBuiltins,
    &g_ComEventBuiltins,
    &g_ShortcutBuiltins,
    &g_DotNetBuiltins,
    &g_SendKeyBuiltins,
    &g_MouseBuiltins,
    &g_MousePlayBuiltins,
    &g_KeyStateBuiltins,
    &g_MediaBuiltins,
    &g_EnvironmentBuiltins,
    &g_ProgramStartBuiltins,
    &g_SystemInfoBuiltins,
    &g_AppBuiltins,
    &g_UserErrorBuiltins,
    &g_ElevationBuiltins,
    &g_RunAppBuiltins,
};

const BuiltinFamily* const* BuiltinFamilies(int* count)
{
    *count = static_cast<int>(sizeof(kFamilies) / sizeof(kFamilies[0]));
    return kFamilies;
}

static BuiltinCase* MutableCaseTable()
{
    static BuiltinCase table[NKEYTOKENS];
    static bool built;
    if (!built) {
        for (const BuiltinFamily* family : kFamilies)
            for (int i = 0; i < family->count; ++i)
                if (family->rows[i].id < NKEYTOKENS)
                    table[family->rows[i].id] = family->rows[i].run;
        built = true;
    }
    return table;
}

const BuiltinCase* BuiltinCaseTable() { return MutableCaseTable(); }

BuiltinCase ReplaceBuiltinCase(uint32_t id, BuiltinCase run)
{
    if (id >= NKEYTOKENS)
        return nullptr;
    BuiltinCase old = MutableCaseTable()[id];
    MutableCaseTable()[id] = run;
    return old;
}

bool ArgIsWide(const BuiltinCall& call, int i)
{
    if (!HasArg(call, i))
        return false;
    switch (ArgTypeOf(call.signature, i)) {
    case AT_WSTRING:
        return true;
    case AT_STRING_ANY:
        return call.wide;
    case AT_STRING_MODE:
        return IsUnicodeMode();
    case AT_STRING_BOTH:
        return call.wide && IsUnicodeMode();
    default:
        return false;
    }
}

const wchar_t* ArgWTextConverted(BDS* ctx, BuiltinCall& call, int i)
{
    if (!HasArg(call, i))
        return L"";
    resultants& arg = call.args[i];
    if (!(arg.flags & VF_UNICODE) && !ValueToWide(ctx, &arg)) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3820);
        return nullptr;
    }
    return ValueWText(ctx, &arg);
}

bool WideFormAvailable(BDS* ctx)
{
    if (IsUnicodeMode())
        return true;
    SetError(ctx, 1193);
    return false;
}
