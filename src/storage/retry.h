// Another try after a short pause, for file operations that another process may hold up
// for a moment; and the clock those operations read.
#pragma once

#include <cstdint>
#include <functional>

namespace hv {

// The tick that names aside files and the pause between tries: the platform's by default
// (GetTickCount64 and Sleep); a test puts its own in their place to drive them.
struct StorageClock {
  uint64_t (*tickMs)();
  void (*pause)(uint32_t ms);
};
StorageClock& CurrentStorageClock();

// Makes up to `attempts` tries of `attempt`, `pauseMs` apart, and answers whether one
// succeeded. A failed try leaves its last-error code in `lastError`; the tries stop early
// at a code that `worthRetrying`, when given, rejects. No pause follows the last try.
bool TryWithPauses(int attempts, uint32_t pauseMs, uint32_t& lastError, const std::function<bool()>& attempt,
                   const std::function<bool(uint32_t code)>& worthRetrying = {});

}  // namespace hv
