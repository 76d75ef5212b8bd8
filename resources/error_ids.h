// Control ids of the error dialogs "ERRORMSG" and "ERRORMSGB" (shared by the resource
// script and the dialog procedure).
#pragma once

#define IDC_ERR_LABEL 100         // "Error:"
#define IDC_ERR_SOURCE 101        // the source file name
#define IDC_ERR_MESSAGE 102       // "<number>:  <message>"
#define IDC_ERR_LINE_INFO 110     // "On line 12 of ..."
#define IDC_ERR_FILE_INFO 111     // "In ..."
#define IDC_ERR_LINE_TEXT 120     // the failing line
#define IDC_ERR_VERSION 130       // product and version lines
#define IDC_ERR_MORE_INFO 131     // "&More Error Info"
#define IDC_ERR_TRACEBACK 132     // "&Traceback"
#define IDC_ERR_WEB_PAGE 140      // "Tech Support &Web Page"
