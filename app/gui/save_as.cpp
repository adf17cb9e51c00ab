#include "app/gui/save_as.h"

#include <QFileDialog>

#include "app/gui/main_window.h"
#include "report/string_table.h"

namespace {
SaveAsAnswerer installedAnswerer;
FolderAnswerer installedFolderAnswerer;
}

void SetSaveAsAnswerer(SaveAsAnswerer answerer) { installedAnswerer = std::move(answerer); }

QStringList NameFiltersOf(std::string_view filterList) {
  QStringList parts;
  size_t start = 0;
  while (start < filterList.size()) {
    size_t end = filterList.find('\0', start);
    if (end == std::string_view::npos) end = filterList.size();
    parts << QString::fromLatin1(filterList.data() + start, static_cast<qsizetype>(end - start));
    start = end + 1;
  }
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
  }
  return filters;
}

SaveAsRequest ExtractSaveAsRequest(const char* previousPath) {
  SaveAsRequest request;
  request.title = QString::fromStdString(LoadStringText(IDS_SAVE_TITLE, 32));
  request.nameFilters = NameFiltersOf(LoadStringView(IDS_SAVE_FILTER));
  request.defaultSuffix = QStringLiteral("MPG");
  request.offeredPath = QString::fromLocal8Bit(previousPath);
  return request;
}

std::optional<QString> AskSaveAs(const SaveAsRequest& request) {
  if (installedAnswerer) return installedAnswerer(request);
  QFileDialog dialog(MainWindow, request.title, request.offeredPath);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(request.nameFilters);
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  if (!request.offeredPath.isEmpty()) dialog.selectFile(request.offeredPath);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

void SetFolderAnswerer(FolderAnswerer answerer) { installedFolderAnswerer = std::move(answerer); }

std::optional<QString> AskFolder(const QString& title) {
  if (installedFolderAnswerer) return installedFolderAnswerer(title);
  const QString folder = QFileDialog::getExistingDirectory(MainWindow, title);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}
