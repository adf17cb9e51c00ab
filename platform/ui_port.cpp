#include "platform/ui_port.h"

#include <atomic>

#include "platform/terminal_ui.h"

namespace {
std::atomic<UiPort*> installedPort{nullptr};
}

UiPort& Ui() {
  UiPort* port = installedPort.load(std::memory_order_acquire);
  if (port != nullptr) return *port;
  static TerminalUi fallback;
  return fallback;
}

void UiInstall(UiPort* port) { installedPort.store(port, std::memory_order_release); }
