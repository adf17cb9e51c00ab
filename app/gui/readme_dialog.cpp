#include "app/gui/readme_dialog.h"

#include <QEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/gui/dialog_units.h"
#include "app/gui/progress_dialog.h"

QByteArray ReadmeResourceText() {
  QFile file(QStringLiteral(":/voltark/readme.txt"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

ReadmeDialog::ReadmeDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
  DialogUnits units = DialogUnitsOf(font());
  setWindowTitle(QStringLiteral("VOLTARK Read Me"));
  setWindowIcon(QIcon(QStringLiteral(":/voltark/icon16.png")));
  setFixedSize(MapDialogRect(units, 0, 0, 200, 200).size());

  text_ = new QPlainTextEdit(this);
  text_->setGeometry(MapDialogRect(units, 8, 8, 184, 160));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text_->setTabChangesFocus(true);
  text_->setPlainText(QString::fromLatin1(ReadmeResourceText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  text_->installEventFilter(this);

  return_ = new QPushButton(QStringLiteral("Return"), this);
  return_->setGeometry(MapDialogRect(units, 84, 179, 32, 14));
  return_->setDefault(true);
  connect(return_, &QPushButton::clicked, this, [this] { done(0); });
  PlaceOverOwner(this, units, 50, 8);
}

bool ReadmeDialog::eventFilter(QObject* watched, QEvent* event) {
  // The text is never shown selected, however the view takes the focus.
  if (watched == text_ && event->type() == QEvent::FocusIn) {
    QTextCursor cursor = text_->textCursor();
    cursor.clearSelection();
    text_->setTextCursor(cursor);
  }
  return QDialog::eventFilter(watched, event);
}
