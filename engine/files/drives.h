// Drives and disks: the drive-ready test (no system box for an empty slot), the USB bus
// test, the remembered network drive letters, the current drive, and changing the drive.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

// Switches the system's critical-error boxes (an empty drive, a missing disk) off for the
// length of a scope: file work that a script asks for reports failures, never a system box.
struct CriticalErrorsOff {
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    CriticalErrorsOff() = default;
    CriticalErrorsOff(const CriticalErrorsOff&) = delete;
    CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;
    ~CriticalErrorsOff() { SetErrorMode(previous); }
};

// 1 when the drive of that letter can be read now.
int DriveReadyA(char letter);
int DriveReadyW(wchar_t letter);

// 1 when the test ran (out: on a USB bus or not), 0 when it failed (1470 is then set).
int IsUsbDrive(BDS* ctx, char letter, int* onUsb);

// flags[0..25]: the letters that remembered network connections hold.
void NetworkDriveLetters(BDS* ctx, uint8_t flags[26]);

// The first character of the current directory.
char CurrentDriveLetterA();
wchar_t CurrentDriveLetterW();

// Makes the drive current at its remembered directory. 1, or 0 with 3026 (not a letter) or
// 1028 (not ready, or the change failed).
int DoLogDisk(BDS* ctx, char letter);
int DoLogDiskW(BDS* ctx, wchar_t letter);
