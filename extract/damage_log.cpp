#include "extract/damage_log.h"

#include <algorithm>

#include "platform/ui_port.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"

DamageLogState DamageLog;

void DamageLogReset() { DamageLog = DamageLogState{}; }

void DamageLogStretch(uint32_t part, uint32_t offset, uint32_t size, uint32_t videoSeconds) {
  if (size == 0) return;
  if (DamageLog.stretches < DAMAGE_TIMES_SHOWN) DamageLog.videoSeconds[DamageLog.stretches] = videoSeconds;
  ++DamageLog.stretches;
  DamageLog.bytes += size;
  if (!VerboseErrors.load(std::memory_order_relaxed)) return;
  const std::string format = LoadStringText(IDS_DAMAGE_SKIPPED, 80);
  Ui().ShowBox(FormatString(120, format.c_str(), size, offset, part), BoxKind::Error);
}

std::string DamageSummary() {
  if (DamageLog.stretches == 0) return {};
  std::string times;
  for (uint32_t i = 0; i < std::min(DamageLog.stretches, DAMAGE_TIMES_SHOWN); ++i)
    times += (i == 0 ? "" : ", ") + FormatHms(DamageLog.videoSeconds[i]);
  if (DamageLog.stretches > DAMAGE_TIMES_SHOWN) times += ", ...";
  const auto kib = static_cast<unsigned>(std::min<uint64_t>((DamageLog.bytes + 1023) / 1024, UINT32_MAX));
  if (DamageLog.stretches == 1)
    return FormatString(160, LoadStringText(IDS_DAMAGE_SUMMARY_ONE, 100).c_str(), kib, times.c_str());
  return FormatString(200, LoadStringText(IDS_DAMAGE_SUMMARY, 100).c_str(), DamageLog.stretches, kib, times.c_str());
}
