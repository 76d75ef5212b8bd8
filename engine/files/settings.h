// The engine's own settings store: the INI file "TRIMVALE.INI" in the per-user settings
// folder, and string values under the HKLM key "Software\Hollicor\Settings\<ini>\<section>".
// None of these operations sets an error number: a missing file, key or value gives the
// default, and a failed write only shows in the result.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

struct BDS;

constexpr const char* SETTINGS_INI_NAME = "TRIMVALE.INI";

// The settings folder: the application-data folder (else the Windows directory) followed
// by "Kelvoran\Settings", with a trailing backslash on request. Wide, since a user profile
// may be named outside the ANSI code page; the ANSI form is for messages and tests.
std::wstring SettingsFolderWide(bool trailingBackslash);
void GetSettingsFolder(char* buffer, int size, bool trailingBackslash);

// Reads a key of the settings INI file; the buffer holds the default when it is missing.
void ReadSettingsIni(BDS* ctx, const char* section, const char* key, const char* defaultText,
                     char* buffer, int size);
// Writes key=value into the settings INI file (a null value deletes the key).
void WriteSettingsIni(BDS* ctx, const char* section, const char* key, const char* value);

// Registry settings. viewFlags are added to the access mask: 0 or KEY_WOW64_32KEY.
// Reads a REG_SZ value into the buffer (the default stays there on failure); 1 when read.
int ReadSettingsRegStr(const char* section, const char* valueName, const char* defaultText,
                       char* buffer, int size, const char* iniName, REGSAM viewFlags);
// Reads a value as a decimal integer; the default when it is missing.
int32_t ReadSettingsInt(const char* section, const char* valueName, int32_t defaultValue,
                        const char* iniName, REGSAM viewFlags);
// Stores a REG_SZ value (a null text deletes it); 1 on success.
int WriteSettingsReg(const char* section, const char* valueName, const char* text,
                     const char* iniName, REGSAM viewFlags);

// ---- building blocks, exposed for tests

// Joins a base folder and "Kelvoran\Settings" into the buffer.
void SettingsFolderFrom(const char* base, char* buffer, int size, bool trailingBackslash);
// The registry key path for an INI name (cut at its first '.') and a section.
void SettingsRegistryKey(const char* iniName, const char* section, char* buffer, int size);
// Creates every missing level of a directory path; true when the directory exists after.
bool CreateFolderPathWide(const wchar_t* path);
bool CreateFolderPath(const char* path);
