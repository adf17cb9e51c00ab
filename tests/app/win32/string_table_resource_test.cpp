// The Windows program's string table resource is written from the program's
// own table at build time: every entry is there with the same text, the
// NUL-separated filter list and the lone carriage returns included, and
// nothing else is.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "report/string_table.h"

namespace {

std::string ResourceText(unsigned id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

TEST(StringTableResource, HoldsEveryEntryOfTheTableAndNoOther) {
  int entries = 0;
  for (unsigned id = 1; id < 1024; ++id) {
    const std::string_view expected = LoadStringView(id);
    EXPECT_EQ(ResourceText(id), expected) << "string " << id;
    if (!expected.empty()) ++entries;
  }
  EXPECT_GT(entries, 60);
  EXPECT_EQ(ResourceText(IDS_SAVE_FILTER).size(), LoadStringView(IDS_SAVE_FILTER).size());
}

}  // namespace
