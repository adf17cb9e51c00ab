#include "report/messages.h"

#include "report/run_flags.h"
#include "report/string_table.h"
#include "platform/ui_port.h"

#include <atomic>

namespace {
std::atomic<VobPositionFunction> PositionFunction{nullptr};
thread_local HeldDetailErrors* HeldHere = nullptr;

void ShowVobDetailErrorAt(unsigned id, VobPosition position) {
  std::string format = LoadStringText(IDS_VOB_DETAIL, 40);
  std::string text = LoadStringText(id, 100);
  Ui().ShowBox(FormatString(140, format.c_str(), text.c_str(), position.offset, position.part),
               BoxKind::Error);
}
}  // namespace

VobPosition CurrentVobPosition() {
  VobPositionFunction function = PositionFunction.load(std::memory_order_acquire);
  return function ? function() : VobPosition{};
}

void SetVobPositionFunction(VobPositionFunction function) {
  PositionFunction.store(function, std::memory_order_release);
}

void ShowError(unsigned id) { Ui().ShowBox(LoadStringText(id, 100), BoxKind::Error); }

void ShowFileError(unsigned id, const std::string& path, const std::string& reason) {
  Ui().ShowBox(LoadStringText(id, 100) + " \"" + path + "\": " + reason, BoxKind::Error);
}

void ShowVobError(unsigned id) {
  std::string format = LoadStringText(IDS_VOB_FILE, 20);
  std::string text = LoadStringText(id, 100);
  Ui().ShowBox(FormatString(120, format.c_str(), text.c_str(), CurrentVobPosition().part),
               BoxKind::Error);
}

void ShowVobDetailError(unsigned id) {
  if (!VerboseErrors.load(std::memory_order_relaxed)) return;
  if (HeldHere != nullptr) {
    if (HeldHere->count < HeldDetailErrors::CAPACITY) HeldHere->ids[HeldHere->count] = id;
    ++HeldHere->count;
    return;
  }
  ShowVobDetailErrorAt(id, CurrentVobPosition());
}

void HoldDetailErrors(HeldDetailErrors* held) { HeldHere = held; }

void ShowHeldDetailErrors(HeldDetailErrors& held, VobPosition position) {
  const uint32_t shown = held.count < HeldDetailErrors::CAPACITY ? held.count : HeldDetailErrors::CAPACITY;
  for (uint32_t i = 0; i < shown; ++i) ShowVobDetailErrorAt(held.ids[i], position);
  held.count = 0;
}

std::string FormatHms(uint32_t seconds) {
  return FormatString(32, "%02u:%02u:%02u", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}
