// Pictures of the windows for the documentation, into build/screenshots/.
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTimer>

#include "app/gui/about_dialog.h"
#include "app/gui/extract_dialog.h"
#include "app/gui/gui_workers.h"
#include "app/gui/main_window.h"
#include "app/gui/readme_dialog.h"
#include "platform/ui_port.h"
#include "tests/app/gui/gui_fixture.h"

namespace {

QString ShotPath(const char* name) {
  QDir dir(QStringLiteral(VOLTARK_BINARY_DIR "/screenshots"));
  dir.mkpath(QStringLiteral("."));
  return dir.filePath(QString::fromLatin1(name));
}

// The whole window with its menu bar, as the user sees it.
bool Shoot(QWidget* window, const char* name) { return window->grab().save(ShotPath(name)); }

bool MidwayShot = false;

int MidwayWorker() {
  Ui().SetStatusText("Extracting Title #1 with AC3 stream #1...");
  Ui().SetProgress(42);
  Ui().SetTimeText("00:12:34", 754);
  GuiUi().OnGuiThread([] { MidwayShot = Shoot(MainWindow->findChild<ExtractDialog*>(), "extract_dialog.png"); });
  Ui().WorkerDone();
  return 0;
}

using Screenshots = GuiTest;

TEST_F(Screenshots, MainWindowExtractionReadmeAndAbout) {
  UseProgramWorkers();
  // The source as a user would give it, from the top of the tree.
  QString previous = QDir::currentPath();
  QDir::setCurrent(QStringLiteral(VOLTARK_SOURCE_DIR));
  int status = Start("samples/sample-dvd");
  QDir::setCurrent(previous);
  ASSERT_EQ(status, 0);
  MainWindow->titleList()->setCurrentRow(3);
  EXPECT_TRUE(Shoot(MainWindow, "main_window.png"));

  GuiWorkers.extract = MidwayWorker;
  saveAsAnswer = QStringLiteral("/tmp/shot.MPG");
  MainWindow->extractAction()->trigger();
  EXPECT_TRUE(MidwayShot);

  ReadmeDialog readme(MainWindow);
  readme.show();
  EXPECT_TRUE(Shoot(&readme, "readme.png"));
  AboutDialog about(MainWindow);
  about.show();
  EXPECT_TRUE(Shoot(&about, "about.png"));
}

}  // namespace
