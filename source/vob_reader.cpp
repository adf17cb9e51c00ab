#include "source/vob_reader.h"

VobReaderState VobReader;
