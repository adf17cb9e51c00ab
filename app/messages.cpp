#include "app/messages.h"

#include "app/run_flags.h"
#include "app/string_table.h"
#include "platform/ui_port.h"
#include "source/vob_reader.h"

void ShowError(unsigned id) { Ui().ShowBox(LoadString(id, 100), BoxKind::Error); }

void ShowVobError(unsigned id) {
  std::string format = LoadString(IDS_VOB_FILE, 20);
  std::string text = LoadString(id, 100);
  Ui().ShowBox(FormatString(120, format.c_str(), text.c_str(), static_cast<unsigned>(VobReader.part)),
               BoxKind::Error);
}

void ShowVobDetailError(unsigned id) {
  if (!VerboseErrors.load(std::memory_order_relaxed)) return;
  std::string format = LoadString(IDS_VOB_DETAIL, 40);
  std::string text = LoadString(id, 100);
  uint32_t offset = VobReader.viewOffset + static_cast<uint32_t>(VobReader.current - VobReader.viewBase);
  Ui().ShowBox(FormatString(140, format.c_str(), text.c_str(), offset, static_cast<unsigned>(VobReader.part)),
               BoxKind::Error);
}

std::string FormatHms(uint32_t seconds) {
  return FormatString(32, "%02u:%02u:%02u", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}
