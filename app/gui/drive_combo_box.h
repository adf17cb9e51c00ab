// The "&Source" drop-down list. A change of drive through the list takes
// effect when the list closes (onCloseUp); the main window takes a change
// made with the keyboard while it is closed once the selection settles.
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
