// "README" and "ABOUT".
#include <string>

#include "app/win32/dialogs.h"
#include "app/win32/resource_ids.h"

namespace {

// The read-me text resource: its length is the resource's size (it holds no
// terminating NUL), its lines end with CR LF.
std::wstring ReadmeText() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, L"README", L"TEXT");
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return {};
  const int size = static_cast<int>(SizeofResource(module, found));
  const int length = MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, size, text.data(), length);
  return text;
}

INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"VOLTARK", IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
      SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      SetDlgItemTextW(dialog, IDC_README_TEXT, ReadmeText().c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_README_TEXT && HIWORD(wParam) == EN_SETFOCUS) {
        // The dialog selects the whole text of an edit control it gives the
        // focus to, after this notification: the selection is removed after
        // that, each time, the caret put at the start so that the text is
        // shown from its first line.
        PostMessageW(GetDlgItem(dialog, IDC_README_TEXT), EM_SETSEL, 0, 0);
      } else if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_RETURN) {
        EndDialog(dialog, 0);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ShowLogoAtDpi(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

namespace {
// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 on; looked up, so that the program still starts on Windows 8), else
// the screen's.
UINT WindowDpi(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (dpiForWindow != nullptr) return dpiForWindow(window);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dpi);
}
}  // namespace

void ShowLogoAtDpi(HWND dialog) {
  const UINT dpi = WindowDpi(dialog);
  if (dpi == 0 || dpi == USER_DEFAULT_SCREEN_DPI) return;
  const int width = MulDiv(153, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
  const int height = MulDiv(54, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
  auto* logo = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), L"LOGO", IMAGE_BITMAP, width, height, 0));
  if (logo == nullptr) return;
  // The control keeps the picture until the process ends; the one it had
  // (the resource's, shared) is not freed.
  SendDlgItemMessageW(dialog, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
}

void RunReadmeDialog(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), L"README", owner, ReadmeDialogProc, 0);
}

void RunAboutDialog(HWND owner) { DialogBoxParamW(GetModuleHandleW(nullptr), L"ABOUT", owner, AboutDialogProc, 0); }
