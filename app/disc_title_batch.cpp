#include "app/disc_title_batch.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "source/dvd_disc.h"

namespace {

bool ParseNumber(const std::string& text, int& number) {
  if (text.empty() || text.size() > 3) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  number = std::stoi(text);
  return number >= 1 && number <= MAX_DISC_TITLES;
}

// Where the pattern's one conversion is: the index of its '%' and its
// length, e.g. 3 for "%2d" and 4 for "%02d".
bool FindConversion(const std::string& output, size_t& at, size_t& length) {
  at = output.find('%');
  if (at == std::string::npos) return false;
  size_t end = at + 1;
  if (end < output.size() && output[end] == '0') ++end;
  if (end < output.size() && output[end] >= '1' && output[end] <= '9') ++end;
  if (end >= output.size() || output[end] != 'd') return false;
  length = end + 1 - at;
  return output.find('%', at + length) == std::string::npos;
}

std::string SafeFileName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    const bool kept = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    safe += kept ? c : '_';
  }
  return safe;
}

}  // namespace

bool ParseDiscTitleList(const std::string& text, bool& all, std::vector<int>& numbers) {
  all = text == "all";
  numbers.clear();
  if (all) return true;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const size_t dash = item.find('-');
    int first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!ParseNumber(item, first)) return false;
      last = first;
    } else if (!ParseNumber(item.substr(0, dash), first) || !ParseNumber(item.substr(dash + 1), last) ||
               last < first) {
      return false;
    }
    for (int number = first; number <= last; ++number) numbers.push_back(number);
  }
  return !numbers.empty() && text.back() != ',';
}

bool IsOutputPattern(const std::string& output) {
  size_t at = 0, length = 0;
  return FindConversion(output, at, length);
}

std::string DiscFileBaseName(const Drive& drive) {
  std::string label;
  if ((ReadVolumeLabel(drive, label) || DvdDiscVolumeLabel(label)) && !label.empty()) return SafeFileName(label);
  std::string root, error;
  if (ResolveSourceRoot(drive, root, error)) {
    const std::filesystem::path folder = std::filesystem::path(root).lexically_normal();
    std::string name = folder.filename().string();
    if (name.empty()) name = folder.parent_path().filename().string();
    if (!name.empty() && name != "." && name != "..") return SafeFileName(name);
  }
  return "title";
}

std::string BatchOutputFile(const std::string& output, const std::string& baseName, int number) {
  size_t at = 0, length = 0;
  if (FindConversion(output, at, length)) {
    char digits[16];
    std::snprintf(digits, sizeof digits, ("%" + output.substr(at + 1, length - 1)).c_str(), number);
    return output.substr(0, at) + digits + output.substr(at + length);
  }
  char name[32];
  std::snprintf(name, sizeof name, "_t%02d.mpg", number);
  return (std::filesystem::path(output) / (baseName + name)).string();
}

std::vector<int> LongEnoughTitles(const DiscTitleTable& table, const std::vector<int>& numbers, double minSeconds,
                                  std::vector<int>& leftOut) {
  std::vector<int> kept;
  leftOut.clear();
  for (int number : numbers) {
    const DiscTitle* found = nullptr;
    for (const DiscTitle& title : table.titles)
      if (title.number == number) found = &title;
    if (found != nullptr && found->durationSeconds < minSeconds)
      leftOut.push_back(number);
    else
      kept.push_back(number);
  }
  return kept;
}
