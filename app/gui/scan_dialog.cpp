#include "app/gui/scan_dialog.h"

#include <QPushButton>

#include "report/run_flags.h"

ScanDialog::ScanDialog(QWidget* owner) : ProgressDialog(owner, 140, 50, QStringLiteral("Scanning titles...")) {
  abort_ = new QPushButton(QStringLiteral("Abort"), this);
  abort_->setGeometry(MapDialogRect(units_, 54, 25, 32, 14));
  abort_->setDefault(true);
  abort_->setFocus();
  // The dialog stays open until the scanner has ended.
  connect(abort_, &QPushButton::clicked, this, [] { AbortFlag = true; });
  PlaceOverOwner(this, units_, 60, 8);
}
