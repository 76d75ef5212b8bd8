// Message texts: the engine's string table, the language file beside the library and its
// fall-backs, and the narrow and wide loaders.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/files/settings.h"
#include "settings_sandbox.h"

namespace {

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};
using ContextPtr = std::unique_ptr<BDS, ContextDeleter>;

ContextPtr NewContext()
{
    return ContextPtr(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
}

std::string Load(BDS* ctx, HINSTANCE module, int id, int size = 2050)
{
    std::string buffer(static_cast<size_t>(size), '\0');
    int length = LoadMyString(ctx, module, id, buffer.data(), size);
    std::string text = buffer.c_str();
    EXPECT_EQ(length, static_cast<int>(text.size())) << "message " << id;
    return text;
}

std::wstring LoadW(BDS* ctx, HINSTANCE module, int id)
{
    wchar_t buffer[2050] = {};
    LoadMyStringW(ctx, module, id, buffer, 2050);
    return buffer;
}

std::string Folder(const std::string& path)
{
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

// The language code the loader chooses: the settings file's, else the system's.
std::string LanguageCode(BDS* ctx)
{
    char code[20] = {};
    ReadSettingsIni(ctx, "MAIN", "Language", "XXX", code, sizeof code);
    if (std::string(code) == "XXX")
        GetProfileStringA("INTL", "sLanguage", "enu", code, sizeof code);
    return code;
}

TEST(MessageTable, TextsStandAsTheTableGivesThem)
{
    auto ctx = NewContext();
    HINSTANCE module = EngineModule();
    struct Case {
        int id;
        const char* text;
    } cases[] = {
        {3046, "Internal Error 3046. Function not defined"},
        {1003, "FileMove: Failed"},
        {2058, "StrCat: Function syntax error"},
        {9999, "User requested Cancel"},
        {9515, "System error code %d"},
        {730, " popup menu"},                         // leading blank kept
        {503, "Undefined error code -> "},            // trailing blank kept
        {3357, "End Error: No match  found"},         // inner double blank kept
        {3360, "For Error: Bad Syntax.  e.g. 'For x = 1 to 10'"},
        {218, "#include files too deeply nested (> 16 levels)"},
        {9519, "Invalid character(s) contained in or near:\n  %s"},   // "~" became a line feed
        {99, "6.25cyc"},
        {89, "ZAL Interpreter 6.25cyc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Load(ctx.get(), module, c.id), c.text) << "message " << c.id;
}

TEST(MessageTable, MissingIdsGiveAnEmptyTextAndLongTextsAreCut)
{
    auto ctx = NewContext();
    HINSTANCE module = EngineModule();
    EXPECT_EQ(Load(ctx.get(), module, 8888), "");
    EXPECT_EQ(Load(ctx.get(), module, 60), "");   // no maker's address: no web button
    EXPECT_EQ(Load(ctx.get(), module, 3046, 9), "Internal");

    char untouched[4] = {'a', 'b', 'c', 0};
    EXPECT_EQ(LoadMyString(ctx.get(), module, 3046, untouched, 0), 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST(MessageTable, WideTextsAreTheNarrowTextsConverted)
{
    auto ctx = NewContext();
    HINSTANCE module = EngineModule();
    EXPECT_EQ(LoadW(ctx.get(), module, 3046), L"Internal Error 3046. Function not defined");
    EXPECT_EQ(LoadW(ctx.get(), module, 211).find(L"failed.  \n\nIf you"), 31u);

    wchar_t small[5];
    int length = LoadMyStringW(ctx.get(), module, 3046, small, 5);
    EXPECT_EQ(std::wstring(small), L"Inte");
    EXPECT_EQ(length, 41);   // the narrow text's length before conversion
}

// A copy of the engine library in a folder of its own, with a language file beside it, and a
// settings file of the test's own (it may name the language).
class LanguageFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox_.Ready()) << sandbox_.Error();
        ctx_ = NewContext();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "kvlang" + std::to_string(GetCurrentProcessId()) + "_" +
                  std::to_string(GetTickCount()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        std::string library = Folder(ModulePath(nullptr)) + "KVDYC64I.dll";
        copy_ = folder_ + "KVDYC64I.dll";
        ASSERT_TRUE(CopyFileA(library.c_str(), copy_.c_str(), FALSE)) << library;
        module_ = LoadLibraryA(copy_.c_str());
        ASSERT_NE(module_, nullptr);
        languageFile_ = folder_ + "TRMDLANG." + LanguageCode(ctx_.get());
    }

    void TearDown() override
    {
        // Let later tests decide the language afresh for the engine itself.
        char ignored[8];
        LoadMyString(ctx_.get(), EngineModule(), 0, ignored, sizeof ignored);
        wchar_t ignoredW[8];
        LoadMyStringW(ctx_.get(), EngineModule(), 0, ignoredW, 8);
        if (module_)
            FreeLibrary(module_);
        DeleteFileA(languageFile_.c_str());
        DeleteFileA((folder_ + "TRMDLANG.KVX").c_str());
        DeleteFileA(copy_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    void WriteLanguageFile(const char* content, const std::string& path = "")
    {
        HANDLE file = CreateFileA((path.empty() ? languageFile_ : path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
    }

    // Message 0 decides the language again.
    void Redecide()
    {
        char ignored[8];
        LoadMyString(ctx_.get(), module_, 0, ignored, sizeof ignored);
        wchar_t ignoredW[8];
        LoadMyStringW(ctx_.get(), module_, 0, ignoredW, 8);
    }

    kvtest::SettingsSandbox sandbox_;
    ContextPtr ctx_;
    std::string folder_;
    std::string copy_;
    std::string languageFile_;
    HMODULE module_ = nullptr;
};

TEST_F(LanguageFile, OverridesTextsFromIdOneHundredWithMarksApplied)
{
    WriteLanguageFile("[MAIN]\r\n"
                      "X3046=Custom~Text\r\n"
                      "X3047=XXX\r\n"
                      "X120=Left|Right\r\n"
                      "X99=Not the version\r\n"
                      "X89=Not the name\r\n");
    Redecide();
    BDS* ctx = ctx_.get();
    EXPECT_EQ(Load(ctx, module_, 3046), "Custom\nText");
    EXPECT_EQ(Load(ctx, module_, 3047), "Variable name over 30 chars. Too Long");   // "XXX" falls back
    EXPECT_EQ(Load(ctx, module_, 3048), "Substitution %Variable% not followed by a % (Use %% for %)");
    EXPECT_EQ(Load(ctx, module_, 120), "Left\tRight");
    EXPECT_EQ(Load(ctx, module_, 99), "6.25cyc");                   // below 100: never from the file
    EXPECT_EQ(Load(ctx, module_, 89), "ZAL Interpreter 6.25cyc");
    EXPECT_EQ(LoadW(ctx, module_, 3046), L"Custom\nText");
    EXPECT_EQ(LoadW(ctx, module_, 99), L"6.25cyc");
}

TEST_F(LanguageFile, DecisionIsKeptUntilMessageZero)
{
    WriteLanguageFile("[MAIN]\r\nX3046=From the file\r\n");
    Redecide();
    EXPECT_EQ(Load(ctx_.get(), module_, 3046), "From the file");

    DeleteFileA(languageFile_.c_str());
    Redecide();
    EXPECT_EQ(Load(ctx_.get(), module_, 3046), "Internal Error 3046. Function not defined");

    WriteLanguageFile("[MAIN]\r\nX3046=Back again\r\n");
    EXPECT_EQ(Load(ctx_.get(), module_, 3046), "Internal Error 3046. Function not defined");
    Redecide();
    EXPECT_EQ(Load(ctx_.get(), module_, 3046), "Back again");
}

TEST_F(LanguageFile, SettingsFileNamesTheLanguage)
{
    WriteLanguageFile("[MAIN]\r\nX3046=The system's language\r\n");
    WriteLanguageFile("[MAIN]\r\nX3046=The chosen language\r\n", folder_ + "TRMDLANG.KVX");
    WriteSettingsIni(ctx_.get(), "MAIN", "Language", "KVX");
    Redecide();
    EXPECT_EQ(Load(ctx_.get(), module_, 3046), "The chosen language");
    EXPECT_EQ(LoadW(ctx_.get(), module_, 3046), L"The chosen language");
}

}  // namespace
