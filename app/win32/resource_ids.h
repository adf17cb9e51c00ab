// Numbers of the Windows program's menu items, controls and private
// messages, shared by the resource script and the code.
#pragma once

// Menu "VOLTARK".
#define IDM_EXTRACT 101
#define IDM_QUIT 102
#define IDM_REFRESH 103
#define IDM_README 104
#define IDM_ABOUT 105
#define IDM_ADD_FOLDER 120

// Main dialog "VOLTARK".
#define IDC_SOURCE 106
#define IDC_TITLES 107
#define IDC_START 108
#define IDC_COMPRESSION 109
#define IDC_KEEP_AUDIO 121
#define IDC_LOGO 122  // also in "ABOUT"

// "README".
#define IDC_README_TEXT 110
#define IDC_RETURN 111

// "REFRESH" and "EXTRACT".
#define IDC_SCAN_STATUS 112
#define IDC_EXTRACT_STATUS 113
#define IDC_TIME 114
#define IDC_ABORT 115
#define IDC_STOP 116
#define IDC_PROGRESS 1

// "DISCTITLE": the extraction narrowed to one of the disc's own titles.
#define IDC_DISC_TITLE 130
#define IDC_FIRST_CHAPTER 131
#define IDC_FIRST_SPIN 132
#define IDC_LAST_CHAPTER 133
#define IDC_LAST_SPIN 134
#define IDC_ANGLE 135
#define IDC_ANGLE_SPIN 136
#define IDC_SUBTITLES 137

// A worker's last act, sent to its progress dialog.
#define WM_WORKER_DONE 0x8000
// A worker's message box, shown by the main thread (wParam: the kind,
// lParam: the UTF-16 text).
#define WM_WORKER_BOX 0x8001
// The extraction dialog's Stop button, disabled by the worker.
#define WM_WORKER_DISABLE_STOP 0x8002
