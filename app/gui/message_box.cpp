#include "app/gui/message_box.h"

#include "app/gui/main_window.h"

namespace {
BoxAnswerer installedAnswerer;
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

QMessageBox::StandardButton AskBox(const BoxRequest& given) {
  BoxRequest request = given;
  request.owned = MainWindow != nullptr;
  if (installedAnswerer) return installedAnswerer(request);
  QMessageBox box(request.icon, request.caption, request.text, request.buttons, MainWindow);
  box.setDefaultButton(request.defaultButton);
  if (MainWindow != nullptr) box.setWindowIcon(MainWindow->windowIcon());
  return static_cast<QMessageBox::StandardButton>(box.exec());
}
