#include "app/gui/about_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/gui/dialog_units.h"
#include "app/gui/progress_dialog.h"

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  DialogUnits units = DialogUnitsOf(font());
  setWindowTitle(QStringLiteral("VOLTARK"));
  setFixedSize(MapDialogRect(units, 0, 0, 160, 115).size());

  logo_ = new QLabel(this);
  QPixmap picture(QStringLiteral(":/voltark/logo.png"));
  logo_->setPixmap(picture);
  // The picture control takes the picture's own size.
  logo_->setGeometry(QRect(MapDialogPoint(units, 28, 8), picture.size()));

  CentredLabel(this, units, QStringLiteral("VOLTARK file extractor V1R1.1"), 0, 48, 160, 8);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(MapDialogRect(units, 64, 98, 32, 14));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { done(0); });
  PlaceOverOwner(this, units, 50, 6);
}

void AboutDialog::paintEvent(QPaintEvent* event) {
  // Without a caption the window manager draws no frame: draw the raised
  // dialog frame ourselves.
  QDialog::paintEvent(event);
  QPainter painter(this);
  QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.setPen(palette().color(QPalette::Shadow));
  painter.drawRect(frame);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(frame.topLeft() + QPoint(1, 1), frame.topRight() + QPoint(-1, 1));
  painter.drawLine(frame.topLeft() + QPoint(1, 1), frame.bottomLeft() + QPoint(1, -1));
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(frame.bottomLeft() + QPoint(1, -1), frame.bottomRight() + QPoint(-1, -1));
  painter.drawLine(frame.topRight() + QPoint(-1, 1), frame.bottomRight() + QPoint(-1, -1));
}
