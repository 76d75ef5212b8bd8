// For unit tests that go through the engine library's exports: the library loaded by name
// and bound by ordinal as the launcher does, an engine instance set up with memory the test
// owns, and the window probe run beside a call that shows a box.
//
//   class MyTest : public kvtest::EngineDllTest {};
//   TEST_F(MyTest, Something) {
//       StartEngine();                         // operations 0-3, or the test fails
//       auto init = dll().DoDuRavInit();       // any export: dll().Get<Fn>(ordinal)
//       kvtest::ProbeProcess probe(L"click --title-exact \"DLL mismatch\" --button OK" +
//                                  kvtest::OwnWindowsOnly());
//       (tests run in parallel on one desktop: only this process's windows are safe to touch)
//       ...                                    // the call that shows the box
//       EXPECT_EQ(probe.Wait(), 0);
//   }
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "tests/host/engine_host.h"

namespace kvtest {

// The engine library, loaded once per test program (KVDYC64I.DLL beside the test program).
kvhost::EngineLibrary& EngineDll();

// A hidden top-level window for the engine calls that take the host's main window.
HWND CreateHostWindow(const wchar_t* title = L"KVT - unit test");

// The folder of the test program (build/bin), with a trailing backslash.
std::wstring BinFolder();

// The probe option that limits it to this process's windows: L" --pid <id>".
std::wstring OwnWindowsOnly();

// winprobe.exe (or another program of the test's folder, such as probe_target.exe) started
// with the given arguments; its output is collected.
class ProbeProcess {
public:
    explicit ProbeProcess(const std::wstring& arguments, const std::wstring& program = L"winprobe.exe");
    ProbeProcess(const ProbeProcess&) = delete;
    ProbeProcess& operator=(const ProbeProcess&) = delete;
    ~ProbeProcess();

    bool Started() const { return process_ != nullptr; }
    // The probe's exit code (0 done, 1 not found, 2 usage, 3 failed), or -1 when it did
    // not end within the time (it is then stopped).
    int Wait(DWORD milliseconds = 30000);
    const std::string& Output() const { return output_; }

private:
    void Drain();

    HANDLE process_ = nullptr;
    HANDLE readPipe_ = nullptr;
    std::string output_;
};

// A test that works through the exports. The library must load; StartEngine sets an
// instance up, and TearDown stops it (operation 99) and frees its memory.
class EngineDllTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    kvhost::EngineLibrary& dll() { return EngineDll(); }
    // Operations 0-3 with the launcher's defaults (or the given options); fails the
    // test with the step code when the set-up does not complete.
    void StartEngine(const kvhost::SessionOptions& options = kvhost::SessionOptions());
    // Skips the test while the library lacks the export.
    bool HasExport(int ordinal) { return dll().Proc(ordinal) != nullptr; }

    HWND window = nullptr;
    std::unique_ptr<kvhost::EngineSession> session;
};

}  // namespace kvtest
