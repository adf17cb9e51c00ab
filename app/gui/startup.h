// Start-up of the desktop program, after the QApplication exists: the
// command line, the sources, the main window and the first scan.
#pragma once

#include <string>

// Loads the pictures and the read-me text.
void InitGuiResources();

// Runs start-up up to the message loop. Returns 0 with the main window shown
// and the first scan done, or the exit status when the program must end at
// once (1 when no source was found: message 143, no window).
int StartUp(const std::string& commandLine);

// Destroys the main window (tests start the program several times).
void DestroyMainWindow();

// The whole program: start-up, then the message loop until Quit, the close
// box or Esc. Returns the exit status.
int RunProgram(int argc, char** argv);
