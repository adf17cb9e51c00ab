// The scan progress dialog: runs the title scanner; "Abort" asks it to stop.
#pragma once

#include "app/gui/progress_dialog.h"

class QPushButton;

class ScanDialog : public ProgressDialog {
 public:
  explicit ScanDialog(QWidget* owner);
  QPushButton* abortButton() const { return abort_; }

 private:
  QPushButton* abort_;
};
