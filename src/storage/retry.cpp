#include "storage/retry.h"

#include <windows.h>

namespace hv {

StorageClock& CurrentStorageClock() {
  static StorageClock clock{[]() -> uint64_t { return GetTickCount64(); }, [](uint32_t ms) { Sleep(ms); }};
  return clock;
}

bool TryWithPauses(int attempts, uint32_t pauseMs, uint32_t& lastError, const std::function<bool()>& attempt,
                   const std::function<bool(uint32_t code)>& worthRetrying) {
  for (int tried = 1; tried <= attempts; ++tried) {
    if (attempt()) {
      return true;
    }
    lastError = GetLastError();
    if (tried == attempts || (worthRetrying && !worthRetrying(lastError))) {
      break;
    }
    CurrentStorageClock().pause(pauseMs);
  }
  return false;
}

}  // namespace hv
