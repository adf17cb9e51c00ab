// The extraction progress dialog: label, progress bar, video time and
// "Stop", which asks "Stop MEPG2 extraction?" while the extraction runs on.
#pragma once

#include "app/gui/progress_dialog.h"

class QProgressBar;
class QPushButton;

class ExtractDialog : public ProgressDialog {
 public:
  explicit ExtractDialog(QWidget* owner);

  void ShowTimeText(const QString& text) override;
  void ShowProgress(unsigned position) override;
  void DisableStopButton() override;
  void EndOnWorkerDone() override;

  QLabel* timeLabel() const { return time_; }
  QProgressBar* progressBar() const { return bar_; }
  QPushButton* stopButton() const { return stop_; }
  unsigned lastPosition() const { return lastPosition_; }  // as sent

 private:
  void StopClicked();

  QLabel* time_;
  QProgressBar* bar_;
  QPushButton* stop_;
  unsigned lastPosition_ = 0;
  bool stopDisabledByWorker_ = false;
};
