#include "app/gui/extract_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/gui/message_box.h"
#include "report/run_flags.h"
#include "report/string_table.h"

ExtractDialog::ExtractDialog(QWidget* owner)
    : ProgressDialog(owner, 160, 90, QStringLiteral("Extracting title...")) {
  time_ = CentredLabel(this, units_, QStringLiteral("00:00:00"), 0, 48, 160, 8);

  bar_ = new QProgressBar(this);
  bar_->setGeometry(MapDialogRect(units_, 30, 28, 100, 10));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);

  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  stop_->setGeometry(MapDialogRect(units_, 64, 65, 32, 14));
  stop_->setDefault(true);
  stop_->setFocus();
  connect(stop_, &QPushButton::clicked, this, [this] { StopClicked(); });
  PlaceOverOwner(this, units_, 30, 8);
}

void ExtractDialog::ShowTimeText(const QString& text) { time_->setText(text); }

void ExtractDialog::ShowProgress(unsigned position) {
  // A title larger than listed sends positions above 100: the bar stays full.
  lastPosition_ = position;
  bar_->setValue(static_cast<int>(std::min(position, 100u)));
}

void ExtractDialog::DisableStopButton() {
  stopDisabledByWorker_ = true;
  stop_->setEnabled(false);
  // The output is closed: a Stop question still open has nothing to stop.
  CloseAskedBox(QMessageBox::No);
}

void ExtractDialog::EndOnWorkerDone() {
  CloseAskedBox(QMessageBox::No);
  ProgressDialog::EndOnWorkerDone();
}

void ExtractDialog::StopClicked() {
  // After a failure the worker is already winding down: nothing to ask.
  if (AbortFlag) return;
  stop_->setEnabled(false);
  BoxRequest question = MessageBoxRequest(LoadStringText(IDS_STOP_QUESTION, 32), QMessageBox::Critical);
  question.buttons = QMessageBox::Yes | QMessageBox::No;
  question.defaultButton = QMessageBox::No;
  // The worker's calls are served while the question is up: it runs on.
  if (AskBox(question) == QMessageBox::Yes) {
    StopRequested = true;  // a batch starts no further title
    AbortFlag = true;
  }
  // Once the output is closed the button stays disabled.
  if (!stopDisabledByWorker_) stop_->setEnabled(true);
}
