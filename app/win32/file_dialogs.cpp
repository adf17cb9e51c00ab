#include "app/win32/file_dialogs.h"

#include <windows.h>

#include <commdlg.h>
#include <shobjidl.h>

#include <vector>

#include "extract/title_selection.h"
#include "platform/win32/wide.h"
#include "report/string_table.h"

namespace {

// A string-table resource as it is stored, embedded NUL characters included.
std::wstring ResourceString(unsigned id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

std::optional<std::string> AskSaveAs(HWND owner, const std::string& previous) {
  wchar_t title[32] = {};
  LoadStringW(GetModuleHandleW(nullptr), IDS_SAVE_TITLE, title, 32);
  // The filters' descriptions and patterns are separated by NUL
  // characters; two more end the list.
  std::wstring filters = ResourceString(IDS_SAVE_FILTER);
  filters.append(2, L'\0');
  std::vector<wchar_t> name(OUTPUT_PATH_SIZE, L'\0');
  const std::wstring offered = Utf16FromUtf8(previous);
  if (offered.size() < name.size()) std::copy(offered.begin(), offered.end(), name.begin());

  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = name.data();
  request.nMaxFile = static_cast<DWORD>(name.size());
  request.lpstrTitle = title;
  request.Flags = OFN_OVERWRITEPROMPT;
  request.lpstrDefExt = L"MPG";
  if (!GetSaveFileNameW(&request)) return std::nullopt;
  return Utf8FromUtf16(name.data());
}

std::optional<std::string> AskFolder(HWND owner, const wchar_t* title) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return std::nullopt;
  std::optional<std::string> folder;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title);
  IShellItem* item = nullptr;
  if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      folder = Utf8FromUtf16(path);
      CoTaskMemFree(path);
    }
    item->Release();
  }
  dialog->Release();
  return folder;
}
