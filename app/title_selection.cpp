#include "app/title_selection.h"

TitleSelectionRecord TitleSelection;
