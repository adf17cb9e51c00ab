// Empties the list and ends: no titles until the scanner is in the tree.
#include "platform/ui_port.h"
#include "source/title_scanner.h"

int ScanWorker() {
  Ui().ListReset();
  TitleListCount = 0;
  Ui().SetStatusText("Scanning done");
  Ui().WorkerDone();
  return 0;
}
