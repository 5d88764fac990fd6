#include "options/options.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwctype>
#include <optional>
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

// Equal in length and, ignoring the case of letters, unit by unit (plainly equal if the platform cannot say).
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

// A signed 64-bit decimal number that is the whole text; nothing otherwise.
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

// An option word, "--Name=value", as its name (without dashes, in lower case) and its value.
struct OptionWord {
  std::wstring name;
  bool hasInlineValue = false;
  std::wstring inlineValue;
};

OptionWord SplitOption(const std::wstring& argument) {
  const size_t nameStart = argument.find_first_not_of(L'-');
  const std::wstring rest = nameStart == std::wstring::npos ? std::wstring() : argument.substr(nameStart);
  const size_t equals = rest.find(L'=');
  OptionWord word;
  word.hasInlineValue = equals != std::wstring::npos;
  word.name = AsciiLower(word.hasInlineValue ? rest.substr(0, equals) : rest);
  if (word.hasInlineValue) {
    word.inlineValue = rest.substr(equals + 1);
  }
  return word;
}

// The options the command line has named so far: each may be named once.
struct SeenOptions {
  bool maxKb = false;
  bool caseValue = false;
  bool waitTimeout = false;
  bool uppercase = false;
  bool lowercase = false;
};

// Null for a name that is no option.
bool* SeenFlag(SeenOptions& seen, const std::wstring& name) {
  if (name == L"max-kb") return &seen.maxKb;
  if (name == L"case") return &seen.caseValue;
  if (name == L"wait-timeout") return &seen.waitTimeout;
  if (name == L"uppercase") return &seen.uppercase;
  if (name == L"lowercase") return &seen.lowercase;
  return nullptr;
}

bool IsFlag(const std::wstring& name) { return name == L"uppercase" || name == L"lowercase"; }

// The value of --case, --max-kb or --wait-timeout, into the options: an error text, or
// empty when the value holds.
std::wstring ApplyValue(RunOptions& options, const std::wstring& name, const std::wstring& value) {
  if (value.empty()) {
    return L"option value is empty: --" + name;
  }
  if (name == L"case") {
    if (EqualsIgnoreCase(value, L"upper")) {
      options.uppercase = true;
    } else if (EqualsIgnoreCase(value, L"lower")) {
      options.uppercase = false;
    } else {
      return L"option value must be upper or lower: --case=" + value;
    }
    return {};
  }
  const std::optional<int64_t> number = ParseInteger(value);
  if (!number) {
    return L"option value is not a number: --" + name + L"=" + value;
  }
  if (name == L"max-kb") {
    options.maxKb = std::clamp(*number, kMinMaxKb, kMaxMaxKb);
  } else {
    options.waitTimeoutMs = std::clamp(*number, kMinWaitTimeoutMs, kMaxWaitTimeoutMs);
  }
  return {};
}

// What is wrong with the command line as a whole, once every word is read; empty if nothing.
std::wstring CommandLineError(const SeenOptions& seen, size_t positionals) {
  if (seen.caseValue && (seen.uppercase || seen.lowercase)) {
    return L"--case cannot be combined with --uppercase or --lowercase";
  }
  if (seen.uppercase && seen.lowercase) {
    return L"--uppercase and --lowercase cannot be combined";
  }
  if (positionals != 2) {
    return L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>";
  }
  return {};
}

}  // namespace

RunOptions ParseOptions(const std::vector<std::wstring>& arguments) {
  RunOptions options;
  SeenOptions seen;
  bool endOfOptions = false;
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
    const OptionWord option = SplitOption(argument);
    if (option.name.empty()) {
      return Fail(options, L"malformed option: " + argument);
    }
    bool* const named = SeenFlag(seen, option.name);
    if (named == nullptr) {
      return Fail(options, L"unknown option: " + argument);
    }
    if (*named) {
      return Fail(options, L"option specified more than once: --" + option.name);
    }
    *named = true;
    if (IsFlag(option.name)) {
      if (option.hasInlineValue) {
        return Fail(options, L"option does not take a value: --" + option.name);
      }
      options.uppercase = option.name == L"uppercase";
      continue;
    }
    std::wstring value = option.inlineValue;
    if (!option.hasInlineValue) {
      // The next argument is the value whatever it looks like, "--" included.
      if (index + 1 >= arguments.size()) {
        return Fail(options, L"option requires a value: --" + option.name);
      }
      value = arguments[++index];
    }
    const std::wstring error = ApplyValue(options, option.name, value);
    if (!error.empty()) {
      return Fail(options, error);
    }
  }
  const std::wstring error = CommandLineError(seen, positionals.size());
  if (!error.empty()) {
    return Fail(options, error);
  }
  options.inputFile = positionals[0];
  options.viewerExe = positionals[1];
  options.ok = true;
  return options;
}

}  // namespace hv
