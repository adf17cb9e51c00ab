// The main dialog "VOLTARK": a modeless dialog of its own window class,
// whose window procedure serves the menu, the "&Source" box, the "&Titles"
// list, "Start MPEG2 e&Xtraction" and the two check boxes.
#pragma once

#include <windows.h>

struct Win32ShellState {
  HINSTANCE instance = nullptr;
  HWND main = nullptr;  // the owner of every dialog and box
  HWND source = nullptr;
  HWND titles = nullptr;
  HWND start = nullptr;
  HWND compression = nullptr;
  HWND keepAudio = nullptr;
  HMENU menu = nullptr;
  bool workerRunning = false;         // a progress dialog is up
  bool sourcesChangePending = false;  // a drive came or went meanwhile
};

extern Win32ShellState Shell;

// Registers the class "VOLTARK" and creates the main dialog (hidden) with
// its source box filled; false when the system refuses.
bool CreateMainWindow(HINSTANCE instance);
