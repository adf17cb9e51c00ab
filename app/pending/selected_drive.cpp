#include "platform/drives.h"

int SelectedDrive = 0;
