// Error-reporting state kept in the context: the error handler, the error box's texts,
// the extended-error buffer, quiet mode and the tech-support button.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int ERROR_TEXT_SIZE = 2050;
constexpr int EXTENDED_ERROR_CHARS = 1024;   // the extended-error buffer holds this and a NUL
constexpr int QUIET_LOG_PATH_SIZE = 260;
constexpr int TECH_SUPPORT_URL_SIZE = 256;
constexpr int HOST_PRODUCT_NAME_SIZE = 256;

struct ErrorState {
    HGLOBAL hExtended;      // the extended-error block (its text, up to 1024 characters), or null
    int32_t handlerLine;    // error handler: -1 = none
    int32_t handlerLine2;
    uint32_t handlerMode;

    char szErrorText[ERROR_TEXT_SIZE];    // "<number>:  <message>" of the error being shown
    char szMsgBuf[ERROR_TEXT_SIZE];       // scratch for message texts

    uint32_t bQuietMode;                        // 1: boxes are kept and logged, not shown
    char szQuietLog[QUIET_LOG_PATH_SIZE];       // quiet-mode log file; empty = no log
    char szQuietText[ERROR_TEXT_SIZE];          // text of the last box quiet mode swallowed
    char szQuietTitle[ERROR_TEXT_SIZE];         // and its title

    uint32_t bTechSupport;                           // show the "Tech Support &Web Page" button
    char szTechSupportUrl[TECH_SUPPORT_URL_SIZE];    // the address that button opens
    uint32_t bBrowserFound;                          // a browser command was found for this box

    char szHostProductName[HOST_PRODUCT_NAME_SIZE];  // the host's product line, shown in the box
};
