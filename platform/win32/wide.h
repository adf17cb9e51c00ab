// Text at the Windows boundary: the program keeps UTF-8; every Windows call
// takes and gives UTF-16.
#pragma once

#include <string>

std::wstring Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const wchar_t* text);

// The path as Windows' wide calls take it: separators made '\', and the
// "\\?\" form for a path too long for MAX_PATH, which that form lifts.
std::wstring SystemPath(const std::string& path);
