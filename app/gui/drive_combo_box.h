// The "&Source" drop-down list. A change of drive takes effect when the
// drop-down list closes; moving through the items with the keyboard while it
// is closed changes nothing else.
#pragma once

#include <QComboBox>
#include <functional>

class DriveComboBox : public QComboBox {
 public:
  explicit DriveComboBox(QWidget* parent) : QComboBox(parent) {}

  std::function<void()> onCloseUp;

  void hidePopup() override {
    QComboBox::hidePopup();
    if (onCloseUp) onCloseUp();
  }
};
