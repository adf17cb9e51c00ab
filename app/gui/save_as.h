// The Save As dialog of the Extract command. Tests answer it through
// SetSaveAsAnswerer instead of a window.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct SaveAsRequest {
  QString title;            // string 154
  QStringList nameFilters;  // the two filters of string 155, first selected
  QString defaultSuffix;    // added when the name typed has no extension
  QString offeredPath;      // the previous output name, empty at first
  bool confirmOverwrite = true;
};

using SaveAsAnswerer = std::function<std::optional<QString>(const SaveAsRequest&)>;

void SetSaveAsAnswerer(SaveAsAnswerer answerer);

// The request of the Extract command, from the string table and the output
// name of the last extraction.
SaveAsRequest ExtractSaveAsRequest(const char* previousPath);

// The filters of a string-table entry whose NUL characters separate the
// descriptions and patterns of its filters, as Qt name filters:
// "MPEG2 (*.MPG *.MPEG ...)".
QStringList NameFiltersOf(std::string_view filterList);

// The chosen file, or nothing when the user cancelled.
std::optional<QString> AskSaveAs(const SaveAsRequest& request);

// The folder that the files of several disc titles go to; nothing when the
// user cancelled. Tests answer it through SetFolderAnswerer.
using FolderAnswerer = std::function<std::optional<QString>(const QString& title)>;
void SetFolderAnswerer(FolderAnswerer answerer);
std::optional<QString> AskFolder(const QString& title);
