// Wording of Windows error codes for messages.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

// The platform's message for the code, trimmed, then " (" code ")"; the bare code
// when the platform has no text for it.
std::wstring SystemErrorText(uint32_t code);

// Short wordings for the usual file errors, SystemErrorText for the rest.
std::wstring FileErrorText(uint32_t code);

}  // namespace hv
