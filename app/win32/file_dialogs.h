// The system's own file dialogs: Save As for the output file, and a folder
// picker for a source folder and for the files of several disc titles.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// "Save MPEG2 stream as" (string 154) with the filters of string 155, the
// default extension "MPG" and the overwrite prompt, offering the previous
// name. The chosen file in UTF-8; nothing when cancelled or failing.
std::optional<std::string> AskSaveAs(HWND owner, const std::string& previous);

// A folder, in UTF-8; nothing when cancelled.
std::optional<std::string> AskFolder(HWND owner, const wchar_t* title);
