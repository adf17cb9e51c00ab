// Dialog units: the windows are designed in units of the dialog font, a
// quarter of its average character width across and an eighth of its height
// down, so that they keep their proportions with any UI font.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>

struct DialogUnits {
  int baseX = 0;  // average character width, in pixels
  int baseY = 0;  // character height, in pixels
};

// The base units of a font, measured as the platform measures its dialog
// font: the width of the 52 letters A..Z a..z over 52, rounded.
DialogUnits DialogUnitsOf(const QFont& font);

// x, y, width and height in dialog units to pixels (each rounded).
QRect MapDialogRect(const DialogUnits& units, int x, int y, int width, int height);
QPoint MapDialogPoint(const DialogUnits& units, int x, int y);
