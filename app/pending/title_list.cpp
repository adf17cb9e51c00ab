#include "source/title_scanner.h"

TitleListEntry TitleList[TITLE_LIST_SLOTS];
