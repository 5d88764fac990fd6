#include "options/options.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwctype>
#include <utility>

namespace hv {
namespace {

constexpr int64_t kMinMaxKb = 1;
constexpr int64_t kMaxMaxKb = 1048576;
constexpr int64_t kMinWaitTimeoutMs = 5000;
constexpr int64_t kMaxWaitTimeoutMs = 600000;

RunOptions Fail(RunOptions& options, std::wstring error) {
  options.ok = false;
  options.error = std::move(error);
  return options;
}

}  // namespace

std::wstring AsciiLower(const std::wstring& text) {
  std::wstring result = text;
  std::transform(result.begin(), result.end(), result.begin(),
                 [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 0x20) : c; });
  return result;
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) {
    return false;
  }
  if (a.size() <= static_cast<size_t>(INT_MAX)) {
    const int length = static_cast<int>(a.size());
    const int result = CompareStringOrdinal(a.data(), length, b.data(), length, TRUE);
    if (result != 0) {
      return result == CSTR_EQUAL;
    }
  }
  return a == b;
}

std::optional<int64_t> ParseInteger(const std::wstring& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  // wcstoll would skip leading white space; a value must start with its sign or a digit.
  const wchar_t first = text.front();
  if (first != L'-' && first != L'+' && !std::iswctype(static_cast<wint_t>(first), std::wctype("digit"))) {
    return std::nullopt;
  }
  errno = 0;
  wchar_t* end = nullptr;
  const long long value = std::wcstoll(text.c_str(), &end, 10);
  if (errno == ERANGE) {
    return std::nullopt;
  }
  // An embedded NUL also stops the conversion short of the end.
  if (end != text.c_str() + text.size()) {
    return std::nullopt;
  }
  return static_cast<int64_t>(value);
}

RunOptions ParseOptions(const std::vector<std::wstring>& arguments) {
  RunOptions options;
  bool endOfOptions = false;
  bool seenMaxKb = false;
  bool seenCase = false;
  bool seenWaitTimeout = false;
  bool seenUppercase = false;
  bool seenLowercase = false;
  std::vector<std::wstring> positionals;

  for (size_t index = 1; index < arguments.size(); ++index) {
    const std::wstring& argument = arguments[index];
    if (!endOfOptions && argument == L"--") {
      endOfOptions = true;
      continue;
    }
    if (endOfOptions || argument.size() < 2 || argument[0] != L'-') {
      positionals.push_back(argument);
      continue;
    }

    const size_t nameStart = argument.find_first_not_of(L'-');
    const std::wstring rest = nameStart == std::wstring::npos ? std::wstring() : argument.substr(nameStart);
    const size_t equals = rest.find(L'=');
    const bool hasInlineValue = equals != std::wstring::npos;
    const std::wstring name = AsciiLower(hasInlineValue ? rest.substr(0, equals) : rest);
    const std::wstring inlineValue = hasInlineValue ? rest.substr(equals + 1) : std::wstring();

    if (name.empty()) {
      return Fail(options, L"malformed option: " + argument);
    }

    if (name == L"uppercase" || name == L"lowercase") {
      bool& seen = name == L"uppercase" ? seenUppercase : seenLowercase;
      if (seen) {
        return Fail(options, L"option specified more than once: --" + name);
      }
      if (hasInlineValue) {
        return Fail(options, L"option does not take a value: --" + name);
      }
      seen = true;
      options.uppercase = name == L"uppercase";
      continue;
    }

    bool* seen = nullptr;
    if (name == L"max-kb") {
      seen = &seenMaxKb;
    } else if (name == L"case") {
      seen = &seenCase;
    } else if (name == L"wait-timeout") {
      seen = &seenWaitTimeout;
    } else {
      return Fail(options, L"unknown option: " + argument);
    }
    if (*seen) {
      return Fail(options, L"option specified more than once: --" + name);
    }
    *seen = true;

    std::wstring value;
    if (hasInlineValue) {
      value = inlineValue;
    } else {
      // The next argument is the value whatever it looks like, "--" included.
      if (index + 1 >= arguments.size()) {
        return Fail(options, L"option requires a value: --" + name);
      }
      ++index;
      value = arguments[index];
    }
    if (value.empty()) {
      return Fail(options, L"option value is empty: --" + name);
    }

    if (name == L"case") {
      if (EqualsIgnoreCase(value, L"upper")) {
        options.uppercase = true;
      } else if (EqualsIgnoreCase(value, L"lower")) {
        options.uppercase = false;
      } else {
        return Fail(options, L"option value must be upper or lower: --case=" + value);
      }
      continue;
    }

    const std::optional<int64_t> number = ParseInteger(value);
    if (!number) {
      // Built once, on the way out of the loop. NOLINTNEXTLINE(performance-inefficient-string-concatenation)
      return Fail(options, L"option value is not a number: --" + name + L"=" + value);
    }
    if (name == L"max-kb") {
      options.maxKb = std::clamp(*number, kMinMaxKb, kMaxMaxKb);
    } else {
      options.waitTimeoutMs = std::clamp(*number, kMinWaitTimeoutMs, kMaxWaitTimeoutMs);
    }
  }

  if (seenCase && (seenUppercase || seenLowercase)) {
    return Fail(options, L"--case cannot be combined with --uppercase or --lowercase");
  }
  if (seenUppercase && seenLowercase) {
    return Fail(options, L"--uppercase and --lowercase cannot be combined");
  }
  if (positionals.size() != 2) {
    return Fail(options, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>");
  }
  options.inputFile = positionals[0];
  options.viewerExe = positionals[1];
  options.ok = true;
  return options;
}

}  // namespace hv
