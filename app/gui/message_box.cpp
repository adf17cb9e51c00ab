#include "app/gui/message_box.h"

#include "app/gui/main_window.h"

#include <QPointer>
#include <memory>

namespace {
BoxAnswerer installedAnswerer;
QPointer<QMessageBox> askedBox;  // the box AskBox is waiting on
}

void SetBoxAnswerer(BoxAnswerer answerer) { installedAnswerer = std::move(answerer); }

BoxRequest MessageBoxRequest(const std::string& text, QMessageBox::Icon icon) {
  BoxRequest request;
  request.caption = QStringLiteral("VOLTARK");
  request.text = QString::fromStdString(text);
  request.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  request.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  request.icon = icon;
  return request;
}

namespace {
QMessageBox* NewBox(const BoxRequest& request) {
  auto* box = new QMessageBox(request.icon, request.caption, request.text, request.buttons, MainWindow);
  box->setDefaultButton(request.defaultButton);
  if (MainWindow != nullptr) box->setWindowIcon(MainWindow->windowIcon());
  return box;
}

BoxRequest Owned(const BoxRequest& given) {
  BoxRequest request = given;
  request.owned = MainWindow != nullptr;
  return request;
}
}  // namespace

QMessageBox::StandardButton AskBox(const BoxRequest& given) {
  BoxRequest request = Owned(given);
  if (installedAnswerer) return installedAnswerer(request);
  std::unique_ptr<QMessageBox> box(NewBox(request));
  QPointer<QMessageBox> outer = askedBox;
  askedBox = box.get();
  const int answer = box->exec();
  askedBox = outer;
  return static_cast<QMessageBox::StandardButton>(answer);
}

void CloseAskedBox(QMessageBox::StandardButton answer) {
  if (askedBox) askedBox->done(answer);
}

void ShowBoxThen(const BoxRequest& given, std::function<void()> done) {
  BoxRequest request = Owned(given);
  if (installedAnswerer) {
    installedAnswerer(request);
    done();
    return;
  }
  QMessageBox* box = NewBox(request);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  QObject::connect(box, &QDialog::finished, box, [done = std::move(done)](int) { done(); });
  box->show();
}
