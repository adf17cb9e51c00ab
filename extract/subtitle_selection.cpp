#include "extract/subtitle_selection.h"

SubtitleSelectionRecord SubtitleSelection;

std::string VobSubPath(const std::string& output, const char* extension) {
  const size_t slash = output.find_last_of("/\\");
  const size_t dot = output.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? output.substr(0, dot) : output) + extension;
}
