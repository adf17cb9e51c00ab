// Ends at once: nothing is extracted until the extraction worker is in the
// tree.
#include "extract/extraction_driver.h"
#include "platform/ui_port.h"

int ExtractionWorker() {
  Ui().DisableStop();
  Ui().WorkerDone();
  return 0;
}
