// For in-process tests of the dialog windows: runs a script through the engine library's
// exports, as a host does, while a watcher thread (dialog_watch.h) reads and drives the
// dialog windows the script shows. List views and menus cannot be read from another
// process, so their tests run here. The script reports into an INI file of the test
// (IniWritePvt to the file that Report() names, section "r"); Result(key) reads it back.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "tests/unit/engine_dll.h"

namespace kvtest {

class DialogScriptTest : public EngineDllTest {
protected:
    void SetUp() override
    {
        EngineDllTest::SetUp();
        if (!HasExport(kvhost::ORD_ProcessViRuvBuffer) || !HasExport(kvhost::ORD_DoDuRavInit))
            GTEST_SKIP() << "exports 23 and 24 are needed";
        StartEngine();
        BDS* ctx = static_cast<BDS*>(GlobalLock(session->Context()));
        ctx->err.bQuietMode = 1;   // errors are logged, never shown
        GlobalUnlock(session->Context());
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        char file[MAX_PATH];
        GetTempFileNameA(folder, "kvd", 0, file);
        report_ = file;
    }

    void TearDown() override
    {
        if (!report_.empty())
            DeleteFileA(report_.c_str());
        EngineDllTest::TearDown();
    }

    // Runs the script (lines joined with CR LF); "%REPORT%" stands for the report file.
    uint32_t Run(std::string script)
    {
        for (size_t at; (at = script.find("%REPORT%")) != std::string::npos;)
            script.replace(at, 8, report_);
        HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, script.size() + 2);
        char* p = static_cast<char*>(GlobalLock(text));
        std::memcpy(p, script.data(), script.size());
        p[script.size()] = p[script.size() + 1] = 0;
        GlobalUnlock(text);
        uint32_t r = dll().ProcessViRuvBuffer()(window, session->Context(), text, nullptr, nullptr);
        GlobalFree(text);
        return r;
    }

    // What the script wrote under the key ("<none>" when nothing).
    std::string Result(const char* key) const
    {
        char value[4096] = {};
        GetPrivateProfileStringA("r", key, "<none>", value, sizeof value, report_.c_str());
        return value;
    }

private:
    std::string report_;
};

// The script lines that define report(key, value): IniWritePvt into the report file.
inline const char* ReportFunction()
{
    return "#DefineFunction report(key, value)\r\n"
           "   IniWritePvt(\"r\", key, value, \"%REPORT%\")\r\n"
           "   Return 1\r\n"
           "#EndFunction\r\n";
}

}  // namespace kvtest
