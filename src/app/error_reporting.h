// How a failure reaches the user: a message box, or with LUMO_TEST_NO_UI=1 one line
// on the standard error handle.
#pragma once

#include <string>

namespace hv {

inline constexpr unsigned kErrorLineLimit = 256;

bool IsTestNoUi();
void ReportError(const std::wstring& message);
void WriteErrorOutput(const std::wstring& text, unsigned limit);
std::wstring TruncateText(const std::wstring& text, unsigned limit);

}  // namespace hv
