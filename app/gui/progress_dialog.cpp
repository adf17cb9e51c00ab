#include "app/gui/progress_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <thread>

#include "report/run_flags.h"

ProgressDialog::ProgressDialog(QWidget* owner, int width, int height, const QString& statusText)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      units_(DialogUnitsOf(font())) {
  setWindowTitle(QStringLiteral("VOLTARK"));
  setFixedSize(MapDialogRect(units_, 0, 0, width, height).size());
  status_ = CentredLabel(this, units_, statusText, 0, 8, width, 8);
}

void ProgressDialog::RunWorker(int (*worker)()) {
  workerDone_ = false;
  GuiUi().SetProgressTarget(this);
  StopRequested = false;
  AbortFlag = false;
  std::thread thread(worker);
  exec();
  // The loop may have been left early (the application quitting); the worker
  // still has to be served until it has said it is done.
  while (!workerDone_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  thread.join();
  GuiUi().SetProgressTarget(nullptr);
}

void ProgressDialog::ShowStatusText(const QString& text) { status_->setText(text); }

void ProgressDialog::EndOnWorkerDone() {
  workerDone_ = true;
  done(0);
}

void ProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

void PlaceOverOwner(QWidget* dialog, const DialogUnits& units, int x, int y) {
  QWidget* owner = dialog->parentWidget();
  if (owner == nullptr) return;
  QWidget* client = owner;
  if (auto* window = qobject_cast<QMainWindow*>(owner); window != nullptr && window->centralWidget() != nullptr)
    client = window->centralWidget();
  dialog->move(client->mapToGlobal(MapDialogPoint(units, x, y)));
}

QLabel* CentredLabel(QWidget* parent, const DialogUnits& units, const QString& text, int x, int y, int width,
                     int height) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(MapDialogRect(units, x, y, width, height));
  return label;
}
