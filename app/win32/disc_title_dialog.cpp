// "DISCTITLE", before Save As: which part of the title set to extract.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/win32/dialogs.h"
#include "app/win32/resource_ids.h"
#include "platform/win32/wide.h"

namespace {

struct DiscTitleQuestion {
  const std::vector<const DiscTitle*>* titles;
  DiscTitleChoice choice;
  const DiscTitle* subtitleTitle = nullptr;  // whose sub-picture streams are listed
};

// The disc title of the box's line: none for the whole set (line 0) and
// for all titles (the last line).
const DiscTitle* ChosenTitle(HWND dialog, const DiscTitleQuestion& question) {
  const LRESULT line = SendDlgItemMessageW(dialog, IDC_DISC_TITLE, CB_GETCURSEL, 0, 0);
  if (line > 0 && line <= static_cast<LRESULT>(question.titles->size()))
    return (*question.titles)[static_cast<size_t>(line - 1)];
  return nullptr;
}

void SetSpin(HWND dialog, int spin, int edit, int last, bool enabled) {
  SendDlgItemMessageW(dialog, spin, UDM_SETRANGE32, 1, last);
  SendDlgItemMessageW(dialog, spin, UDM_SETPOS32, 0, spin == IDC_LAST_SPIN ? last : 1);
  EnableWindow(GetDlgItem(dialog, spin), enabled);
  EnableWindow(GetDlgItem(dialog, edit), enabled);
}

void ChooseTitle(HWND dialog, DiscTitleQuestion& question) {
  const DiscTitle* title = ChosenTitle(dialog, question);
  const int chapters = title != nullptr ? static_cast<int>(title->chapters.size()) : 1;
  SetSpin(dialog, IDC_FIRST_SPIN, IDC_FIRST_CHAPTER, chapters, title != nullptr);
  SetSpin(dialog, IDC_LAST_SPIN, IDC_LAST_CHAPTER, chapters, title != nullptr);
  SetSpin(dialog, IDC_ANGLE_SPIN, IDC_ANGLE, title != nullptr ? title->angles : 1, title != nullptr);
  SendDlgItemMessageW(dialog, IDC_ANGLE_SPIN, UDM_SETPOS32, 0, 1);
  // The subtitles offered are those of the title chosen, else of the first
  // that plays from the set (whose chain plays first).
  question.subtitleTitle = title != nullptr ? title : question.titles->front();
  HWND list = GetDlgItem(dialog, IDC_SUBTITLES);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const DiscSubpicture& stream : question.subtitleTitle->subpictures) {
    const std::wstring name = Utf16FromUtf8(SubtitleOfferName(stream));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  EnableWindow(list, !question.subtitleTitle->subpictures.empty());
}

int SpinValue(HWND dialog, int spin) {
  return static_cast<int>(SendDlgItemMessageW(dialog, spin, UDM_GETPOS32, 0, 0));
}

void TakeAnswer(HWND dialog, DiscTitleQuestion& question) {
  DiscTitleChoice& choice = question.choice;
  const LRESULT line = SendDlgItemMessageW(dialog, IDC_DISC_TITLE, CB_GETCURSEL, 0, 0);
  for (size_t i = 0; i < question.subtitleTitle->subpictures.size(); ++i)
    if (SendDlgItemMessageW(dialog, IDC_SUBTITLES, LB_GETSEL, i, 0) > 0)
      choice.subtitles.push_back(question.subtitleTitle->subpictures[i].logical);
  if (line > static_cast<LRESULT>(question.titles->size())) {
    choice.allDiscTitles = true;
  } else if (const DiscTitle* title = ChosenTitle(dialog, question)) {
    choice.discTitle = title->number;
    choice.firstChapter = SpinValue(dialog, IDC_FIRST_SPIN);
    choice.lastChapter = SpinValue(dialog, IDC_LAST_SPIN);
    choice.angle = SpinValue(dialog, IDC_ANGLE_SPIN);
  }
}

INT_PTR CALLBACK DiscTitleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* question = reinterpret_cast<DiscTitleQuestion*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      question = reinterpret_cast<DiscTitleQuestion*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      HWND box = GetDlgItem(dialog, IDC_DISC_TITLE);
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Whole title set, as listed"));
      for (const DiscTitle* title : *question->titles)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf16FromUtf8(DiscTitleLine(*title)).c_str()));
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"All disc titles, each into its own file"));
      SendMessageW(box, CB_SETCURSEL, 0, 0);
      ChooseTitle(dialog, *question);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_DISC_TITLE && HIWORD(wParam) == CBN_SELCHANGE) {
        ChooseTitle(dialog, *question);
      } else if (LOWORD(wParam) == IDOK) {
        TakeAnswer(dialog, *question);
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<DiscTitleChoice> AskDiscTitle(HWND owner, const std::vector<const DiscTitle*>& titles) {
  if (titles.empty()) return DiscTitleChoice{};
  DiscTitleQuestion question{&titles, {}};
  const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), L"DISCTITLE", owner, DiscTitleDialogProc,
                                         reinterpret_cast<LPARAM>(&question));
  if (answer != IDOK) return std::nullopt;
  return question.choice;
}
