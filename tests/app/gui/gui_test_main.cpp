// The desktop program's tests run with a QApplication on the offscreen
// platform unless a display is asked for.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/gui/qt_ui.h"
#include "app/gui/startup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  InitGuiResources();
  UiInstall(&GuiUi());
  ::testing::InitGoogleTest(&argc, argv);
  int status = RUN_ALL_TESTS();
  UiInstall(nullptr);
  return status;
}
