#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/gui/about_dialog.h"
#include "app/gui/dialog_units.h"
#include "app/gui/main_window.h"
#include "app/gui/readme_dialog.h"
#include "tests/app/gui/gui_fixture.h"

namespace {

using SmallDialogs = GuiTest;

TEST_F(SmallDialogs, ReadmeShowsTheWholeTextUnselected) {
  QByteArray stored = ReadmeResourceText();
  ASSERT_TRUE(stored.startsWith("\"Read Me\" for VOLTARK\r\n=====================\r\n"));
  ASSERT_TRUE(stored.endsWith("- PAL DVDs (25fps) and NTSC DVDs (29.97fps, films with 3:2 pulldown included) are supported."));
  EXPECT_EQ(stored.count("\r\n"), 15);

  ReadmeDialog dialog(nullptr);
  EXPECT_EQ(dialog.windowTitle(), "VOLTARK Read Me");
  EXPECT_FALSE(dialog.windowIcon().isNull());
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  dialog.textView()->setFocus();
  QTextCursor cursor = dialog.textView()->textCursor();
  cursor.select(QTextCursor::Document);
  dialog.textView()->setTextCursor(cursor);
  dialog.returnButton()->setFocus();
  dialog.textView()->setFocus();  // taking the focus again clears it
  EXPECT_FALSE(dialog.textView()->textCursor().hasSelection());
  EXPECT_TRUE(dialog.textView()->isReadOnly());
  EXPECT_EQ(dialog.textView()->toPlainText().toLatin1(), QByteArray(stored).replace("\r\n", "\n"));
  EXPECT_EQ(dialog.textView()->document()->blockCount(), 16);
  EXPECT_EQ(dialog.textView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(dialog.returnButton()->isDefault());
}

TEST_F(SmallDialogs, EscClosesReadmeAndAbout) {
  ReadmeDialog readme(nullptr);
  readme.show();
  QTest::keyClick(&readme, Qt::Key_Escape);
  EXPECT_FALSE(readme.isVisible());

  AboutDialog about(nullptr);
  about.show();
  QTest::keyClick(&about, Qt::Key_Escape);
  EXPECT_FALSE(about.isVisible());

  // Enter presses the default button: Return, OK.
  readme.show();
  QTest::keyClick(&readme, Qt::Key_Return);
  EXPECT_FALSE(readme.isVisible());
  about.show();
  QTest::keyClick(&about, Qt::Key_Enter);
  EXPECT_FALSE(about.isVisible());
}

TEST_F(SmallDialogs, AboutShowsTheLogoAndTheVersion) {
  AboutDialog about(nullptr);
  ASSERT_NE(about.logo()->pixmap().isNull(), true);
  EXPECT_EQ(about.logo()->pixmap().size(), QSize(153, 54));
  EXPECT_EQ(about.logo()->size(), QSize(153, 54));
  bool found = false;
  for (QLabel* label : about.findChildren<QLabel*>()) found |= label->text() == "VOLTARK file extractor V1R1.1";
  EXPECT_TRUE(found);
  EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(about.okButton()->text(), "OK");
}

TEST_F(SmallDialogs, MenuCommandsRunTheModalDialogsOverTheMainWindow) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  bool readmeModal = false, aboutModal = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = MainWindow->findChild<ReadmeDialog*>();
    readmeModal = dialog != nullptr && dialog->isModal();
    if (dialog) dialog->returnButton()->click();
  });
  MainWindow->readmeAction()->trigger();
  QTimer::singleShot(0, [&] {
    auto* dialog = MainWindow->findChild<AboutDialog*>();
    aboutModal = dialog != nullptr && dialog->isModal();
    if (dialog) QTest::keyClick(dialog, Qt::Key_Escape);
  });
  MainWindow->aboutAction()->trigger();
  EXPECT_TRUE(readmeModal);
  EXPECT_TRUE(aboutModal);
}

TEST_F(SmallDialogs, ProgramIconHasBothSizesAndTheLayoutFollowsDialogUnits) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  QIcon icon = QApplication::windowIcon();
  EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32)}));
  DialogUnits units = DialogUnitsOf(MainWindow->font());
  ASSERT_GT(units.baseX, 0);
  QSize designed = MapDialogRect(units, 0, 0, 220, 140).size();
  EXPECT_EQ(MainWindow->centralWidget()->height(), designed.height());
  EXPECT_GE(MainWindow->centralWidget()->width(), designed.width());
  EXPECT_GE(MainWindow->compressionBox()->width(), MainWindow->compressionBox()->sizeHint().width())
      << "the label is never cut";
  EXPECT_EQ(MainWindow->extractButton()->geometry(), MapDialogRect(units, 104, 67, 102, 24));
  EXPECT_EQ(MainWindow->logo()->size(), QSize(153, 54));
  // 4 x width / 4 and 8 x height / 8: one character cell.
  EXPECT_EQ(MapDialogRect(units, 0, 0, 4, 8).size(), QSize(units.baseX, units.baseY));
  EXPECT_EQ(MapDialogRect({7, 15}, 2, 3, 5, 5), QRect(4, 6, 9, 9));  // rounded halves up
}

}  // namespace

namespace {

// --help and --version are answered on the terminal, also where no window
// system is at hand.
TEST(ProgramCommandLine, HelpAndVersionAnswerOnTheTerminalWithoutAWindow) {
  for (std::string argument : {"--help", "--version"}) {
    FILE* pipe = popen(("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" VOLTARK_BINARY_DIR "/bin/voltark' " +
                        argument + " 2>/dev/null").c_str(), "r");
    char first[64] = "";
    ASSERT_TRUE(pipe != nullptr && fgets(first, sizeof first, pipe) != nullptr) << argument;
    EXPECT_EQ(pclose(pipe), 0) << argument;
    EXPECT_EQ(std::string(first).rfind(argument == "--help" ? "Usage: voltark" : "voltark ", 0), 0u) << first;
  }
}

}  // namespace
