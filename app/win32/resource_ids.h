#pragma once

// The numbers by which the program addresses its resources and commands,
// shared by rm525fw.rc and the code. Plain defines: the resource compiler
// reads this file too.

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_STATUS_LINE 102
#define IDD_CONTINUE 103
#define IDD_SUCCESS 104
#define IDD_RESELECT 105
#define IDD_PORT 107
#define IDD_PROGRESS 108
#define IDD_FAILURE 1538
#define IDD_NO_CAMERA 1539

// Controls.
#define IDC_MESSAGE 100    // the prompts' text, the progress text, the port group box
#define IDC_PORT_AUTO 111  // AUTO; COM1 to COM9 follow as 112 to 120
#define IDC_PORT_COM9 120
#define IDC_ABOUT_ICON 101
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Bitmaps, icon, menu and accelerators.
#define IDB_BACKGROUND 109
#define IDB_DIGITS 135
#define IDR_MAINFRAME 2

// Commands.
#define ID_APP_CLOSE 32771
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
