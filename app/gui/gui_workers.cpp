#include "app/gui/gui_workers.h"

#include "extract/extraction_driver.h"
#include "source/title_scanner.h"

GuiWorkersRecord GuiWorkers{ScanWorker, ExtractionWorker};

void UseProgramWorkers() { GuiWorkers = {ScanWorker, ExtractionWorker}; }
