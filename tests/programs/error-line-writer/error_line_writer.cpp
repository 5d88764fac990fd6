// Sends one message through the error output, for the error reporting tests.
//
//   error-line-writer.exe report PIECE...       ReportError of the message
//   error-line-writer.exe raw LIMIT PIECE...    WriteErrorOutput of the message with LIMIT
//
// The message is the concatenation of the pieces, so any UTF-16 text survives the
// command line:
//   text:LITERAL          the literal as given
//   units:HHHH,HHHH,...   UTF-16 code units in hexadecimal (unpaired surrogates, line feeds)
//   repeat:COUNT:HHHH     COUNT copies of one code unit
//
// Before reporting it writes "stderr:none" or "stderr:present" to standard output (when
// it has one), then exits with 3; bad usage exits with 64.
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/error_reporting.h"

namespace {

constexpr int kReported = 3;
constexpr int kUsage = 64;

bool ParseUnit(const std::wstring& hex, wchar_t& unit) {
  if (hex.empty() || hex.size() > 4) return false;
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(hex.c_str(), &end, 16);
  if (end != hex.c_str() + hex.size()) return false;
  unit = static_cast<wchar_t>(value);
  return true;
}

bool AppendPiece(const std::wstring& piece, std::wstring& message) {
  if (piece.starts_with(L"text:")) {
    message += piece.substr(5);
    return true;
  }
  if (piece.starts_with(L"units:")) {
    std::wstring rest = piece.substr(6);
    size_t start = 0;
    while (start <= rest.size()) {
      const size_t comma = rest.find(L',', start);
      const size_t stop = comma == std::wstring::npos ? rest.size() : comma;
      wchar_t unit = 0;
      if (!ParseUnit(rest.substr(start, stop - start), unit)) return false;
      message.push_back(unit);
      start = stop + 1;
    }
    return true;
  }
  if (piece.starts_with(L"repeat:")) {
    const size_t colon = piece.find(L':', 7);
    if (colon == std::wstring::npos) return false;
    const unsigned long count = std::wcstoul(piece.substr(7, colon - 7).c_str(), nullptr, 10);
    wchar_t unit = 0;
    if (!ParseUnit(piece.substr(colon + 1), unit)) return false;
    message.append(count, unit);
    return true;
  }
  return false;
}

void TellStandardErrorHandle() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const std::string line = (error == nullptr || error == INVALID_HANDLE_VALUE) ? "stderr:none\n" : "stderr:present\n";
  DWORD written = 0;
  WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return kUsage;
  const std::wstring mode = argv[1];
  int first = 2;
  unsigned limit = 0;
  if (mode == L"raw") {
    if (argc < 3) return kUsage;
    limit = static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10));
    first = 3;
  } else if (mode != L"report") {
    return kUsage;
  }
  std::wstring message;
  for (int i = first; i < argc; ++i) {
    if (!AppendPiece(argv[i], message)) return kUsage;
  }
  TellStandardErrorHandle();
  if (mode == L"raw") {
    hv::WriteErrorOutput(message, limit);
  } else {
    hv::ReportError(message);
  }
  return kReported;
}
