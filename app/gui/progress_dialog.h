// What the scan and the extraction dialogs share: each starts its worker in
// a thread of its own when it opens, and ends only when the worker says it
// is done. Esc and closing the window do nothing.
#pragma once

#include <QDialog>

#include "app/gui/dialog_units.h"
#include "app/gui/qt_ui.h"

class QLabel;

class ProgressDialog : public QDialog, public ProgressTarget {
 public:
  // Runs the dialog modally over the main window with the worker in its
  // own thread; returns once the worker has ended.
  void RunWorker(int (*worker)());

  void ShowStatusText(const QString& text) override;
  void EndOnWorkerDone() override;

  QLabel* statusLabel() const { return status_; }

 protected:
  ProgressDialog(QWidget* owner, int width, int height, const QString& statusText);

  void reject() override {}  // Esc
  void closeEvent(QCloseEvent* event) override;

  DialogUnits units_;
  QLabel* status_;

 private:
  bool workerDone_ = false;
};

// Moves a dialog to x, y dialog units from the top left of its owner's
// client area (positions of the dialogs are relative to their owner).
void PlaceOverOwner(QWidget* dialog, const DialogUnits& units, int x, int y);

// A centred one-line text at a rectangle in dialog units.
QLabel* CentredLabel(QWidget* parent, const DialogUnits& units, const QString& text, int x, int y,
                     int width, int height);
