// The modal dialogs of the main window, each from its dialog resource and
// owned by the main window, which they disable while they run.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "app/disc_title_choice.h"

// "REFRESH": runs the title scanner; "Abort" asks it to stop. Returns once
// the scanner has ended.
void RunScanDialog(HWND owner);

// "EXTRACT": runs the extraction batch (Batch.jobs) with its progress bar;
// "Stop" asks "Stop MEPG2 extraction?". Returns once the work has ended.
void RunExtractDialog(HWND owner);

// "README": the read-me text resource, whole and never selected.
void RunReadmeDialog(HWND owner);

// "ABOUT": the LOGO, the icon and the program's name and version.
void RunAboutDialog(HWND owner);

// The LOGO of a dialog drawn at the dialog's DPI (the resource is drawn for
// 96): its picture control takes the scaled size.
void ShowLogoAtDpi(HWND dialog);

// "DISCTITLE": the whole title set, one of the disc titles that play from
// it (chapters, angle) or all disc titles, and the subtitles to keep.
// Nothing when the user cancelled.
std::optional<DiscTitleChoice> AskDiscTitle(HWND owner, const std::vector<const DiscTitle*>& titles);
