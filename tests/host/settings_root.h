// A private settings store for one process. The user's registry root (HKEY_CURRENT_USER)
// is pointed at a fresh private key whose shell folders name a folder of the caller's
// choice as "AppData", and on request the machine's root (HKEY_LOCAL_MACHINE) at another
// empty private key. The engine's settings file (in the application-data folder) and its
// settings key (under HKLM) are then this process's own, while every test of the run
// shares one Wine prefix.
//
// The roots are per process and seen by every thread: redirect before loading or calling
// the code that reads them, and only in a process that runs one test at a time. Keys and
// values that are missing under a private root read as missing, so the code under test
// takes its defaults for everything else it would read there.
#pragma once

#include <windows.h>

#include <string>

namespace kvhost {

class PrivateSettings {
public:
    PrivateSettings() = default;
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;
    ~PrivateSettings() { Restore(); }

    // Creates the folder (and its missing parents) and redirects the roots. False, with the
    // reason in Error(), when any step fails; nothing stays redirected then.
    bool Redirect(const std::wstring& appDataFolder, bool privateMachineRoot);
    // Gives the process its real roots back and deletes the private keys; the folder stays.
    void Restore();

    const std::string& Error() const { return error_; }

private:
    bool Fail(const char* step, LONG status);

    std::wstring keyPath_;   // the private keys' parent, under the real HKEY_CURRENT_USER
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
    std::string error_;
};

// Creates a folder and every missing level above it; true when it exists afterwards.
bool CreateFolderTree(const std::wstring& folder);

}  // namespace kvhost
