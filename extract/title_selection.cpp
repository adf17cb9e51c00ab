#include "extract/title_selection.h"

TitleSelectionRecord TitleSelection;
