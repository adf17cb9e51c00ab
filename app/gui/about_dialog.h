// The about box: the LOGO, "VOLTARK file extractor V1R1.1" and "OK";
// a frame without caption. Enter and Esc close it.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class AboutDialog : public QDialog {
 public:
  explicit AboutDialog(QWidget* owner);

  QLabel* logo() const { return logo_; }
  QPushButton* okButton() const { return ok_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* logo_;
  QPushButton* ok_;
};
