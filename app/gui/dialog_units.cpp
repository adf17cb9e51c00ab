#include "app/gui/dialog_units.h"

#include <QFontMetrics>

namespace {
// a * b / c rounded half away from zero, as the platform's MulDiv does.
int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}
}  // namespace

DialogUnits DialogUnitsOf(const QFont& font) {
  QFontMetrics metrics(font);
  int extent = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(extent / 26 + 1) / 2, metrics.height()};
}

QPoint MapDialogPoint(const DialogUnits& units, int x, int y) {
  return {MulDiv(x, units.baseX, 4), MulDiv(y, units.baseY, 8)};
}

QRect MapDialogRect(const DialogUnits& units, int x, int y, int width, int height) {
  return {MapDialogPoint(units, x, y), QSize(MulDiv(width, units.baseX, 4), MulDiv(height, units.baseY, 8))};
}
