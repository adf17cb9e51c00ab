#include "source/title_scanner.h"

int32_t TitleListCount = 0;
