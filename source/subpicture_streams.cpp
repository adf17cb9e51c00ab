#include "source/subpicture_streams.h"

#include <algorithm>
#include <cmath>

const DiscTitle* FirstTitleOfSet(const DiscTitleTable& table, int titleSet) {
  for (const DiscTitle& title : table.titles)
    if (title.titleSet == titleSet) return &title;
  return nullptr;
}

std::vector<DiscSubpicture> TitleSetSubpictures(const DiscTitleTable& table, int titleSet,
                                                const std::vector<uint8_t>& walkedIds) {
  if (const DiscTitle* title = FirstTitleOfSet(table, titleSet)) return title->subpictures;
  std::vector<DiscSubpicture> list;
  for (uint8_t id : walkedIds) list.push_back(DiscSubpicture{id - 0x20, id, {}});
  return list;
}

std::string SubpictureSelector(const DiscSubpicture& stream) { return "sub:" + std::to_string(stream.logical); }

namespace {

uint32_t Channel(double value) { return static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

uint32_t PaletteRgb(uint32_t yCrCb) {
  const double y = 1.164 * (static_cast<double>((yCrCb >> 16) & 0xFF) - 16);
  const double cr = static_cast<double>((yCrCb >> 8) & 0xFF) - 128;
  const double cb = static_cast<double>(yCrCb & 0xFF) - 128;
  return Channel(y + 1.596 * cr) << 16 | Channel(y - 0.813 * cr - 0.391 * cb) << 8 | Channel(y + 2.018 * cb);
}
