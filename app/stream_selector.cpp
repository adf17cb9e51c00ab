#include "app/stream_selector.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// One or two digits, no leading zero, at most limit.
bool ParseIndex(const std::string& digits, int limit, int& index) {
  if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return false;
  index = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    index = index * 10 + (c - '0');
  }
  return index <= limit;
}

bool IsLanguageCode(const std::string& text) {
  return text.size() == 2 && std::islower(static_cast<unsigned char>(text[0])) &&
         std::islower(static_cast<unsigned char>(text[1]));
}

bool ParseItem(const std::string& item, const std::vector<SelectorKind>& kinds, bool takesModes,
               StreamSelector& selector) {
  const std::string text = Lower(item);
  const size_t equals = text.find('=');
  const std::string what = text.substr(0, equals);
  if (equals != std::string::npos) {
    selector.mode = text.substr(equals + 1);
    if (!takesModes || selector.mode.empty()) return false;
  }
  if (what == "all") {
    selector.pick = SelectorPick::All;
    return true;
  }
  if (IsLanguageCode(what)) {
    selector.pick = SelectorPick::Language;
    selector.language = what;
    return true;
  }
  const size_t colon = what.find(':');
  if (colon == std::string::npos) return false;
  selector.pick = SelectorPick::Stream;
  selector.kind = what.substr(0, colon);
  for (const SelectorKind& kind : kinds)
    if (selector.kind == kind.key) return ParseIndex(what.substr(colon + 1), kind.maxIndex, selector.index);
  return false;
}

}  // namespace

bool ParseStreamSelectors(const std::string& text, const std::vector<SelectorKind>& kinds, bool takesModes,
                          std::vector<StreamSelector>& selectors, std::string& badItem) {
  selectors.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    StreamSelector selector;
    if (!ParseItem(item, kinds, takesModes, selector)) {
      badItem = item;
      selectors.clear();
      return false;
    }
    selectors.push_back(selector);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string FormatStreamSelector(const StreamSelector& selector) {
  std::string text = selector.pick == SelectorPick::All        ? std::string("all")
                     : selector.pick == SelectorPick::Language ? selector.language
                                                               : selector.kind + ":" + std::to_string(selector.index);
  if (!selector.mode.empty()) text += "=" + selector.mode;
  return text;
}

std::string FormatStreamSelectors(const std::vector<StreamSelector>& selectors) {
  std::string text;
  for (const StreamSelector& selector : selectors) text += (text.empty() ? "" : ",") + FormatStreamSelector(selector);
  return text;
}
