// "VOLTARK Read Me": the read-me text, whole and never selected, and
// "Return". Esc and the close box close it.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class ReadmeDialog : public QDialog {
 public:
  explicit ReadmeDialog(QWidget* owner);

  QPlainTextEdit* textView() const { return text_; }
  QPushButton* returnButton() const { return return_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* text_;
  QPushButton* return_;
};

// The read-me text as stored: lines ended by CR LF, none after the last.
QByteArray ReadmeResourceText();
