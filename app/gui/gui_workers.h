// The thread procedures that the progress dialogs start. Tests put their own
// in place to drive a dialog step by step.
#pragma once

struct GuiWorkersRecord {
  int (*scan)();
  int (*extract)();
};

extern GuiWorkersRecord GuiWorkers;

// The program's own workers: the scanner, and the extraction batch (a
// single extraction is a batch of one).
void UseProgramWorkers();
