// Another try after a short pause, for file operations that another process may hold up
// for a moment.
#pragma once

#include <cstdint>
#include <functional>

namespace hv {

// Makes up to `attempts` tries of `attempt`, `pauseMs` apart, and answers whether one
// succeeded. A failed try leaves its last-error code in `lastError`; the tries stop early
// at a code that `worthRetrying`, when given, rejects. No pause follows the last try.
bool TryWithPauses(int attempts, uint32_t pauseMs, uint32_t& lastError, const std::function<bool()>& attempt,
                   const std::function<bool(uint32_t code)>& worthRetrying = {});

}  // namespace hv
