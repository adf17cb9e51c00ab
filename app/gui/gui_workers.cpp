#include "app/gui/gui_workers.h"

#include "app/extraction_batch.h"
#include "source/title_scanner.h"

GuiWorkersRecord GuiWorkers{ScanWorker, ExtractionBatchWorker};

void UseProgramWorkers() { GuiWorkers = {ScanWorker, ExtractionBatchWorker}; }
