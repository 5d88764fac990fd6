#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "options/options.h"
#include "text/encoding.h"

namespace hv {
namespace {

// Argument lists after the program path and their outcome: the values taken or the error.
// Between them the rows give each of the thirteen error texts.
const std::pair<std::vector<std::wstring>, std::wstring> kCases[] = {
    {{L"--max-kb=0", L"a", L"---WAIT-TIMEOUT", L"600001", L"b"}, L"1kb 600000ms upper a b"},
    {{L"--max-kb=9223372036854775807", L"a", L"b", L"--wait-timeout=4999"}, L"1048576kb 5000ms upper a b"},
    {{L"--case", L"LOWER", L"--max-kb", L"-5", L"--", L"-in.bin", L"--"}, L"1kb 30000ms lower -in.bin --"},
    {{L"--uppercase", L"--lowercase", L"---"}, L"malformed option: ---"},  // the walk's problem comes first
    {{L"--uppercase", L"-UPPERCASE", L"a", L"b"}, L"option specified more than once: --uppercase"},
    {{L"--Lowercase=yes", L"a", L"b"}, L"option does not take a value: --lowercase"},
    {{L"--Bogus=1", L"a", L"b"}, L"unknown option: --Bogus=1"},
    {{L"-MAX-KB=8", L"--max-kb", L"9", L"a", L"b"}, L"option specified more than once: --max-kb"},
    {{L"a", L"b", L"--case"}, L"option requires a value: --case"},
    {{L"--max-kb=", L"a", L"b"}, L"option value is empty: --max-kb"},
    {{L"--max-kb", L"--lowercase", L"a", L"b"}, L"option value is not a number: --max-kb=--lowercase"},
    {{L"--wait-timeout=9223372036854775808"}, L"option value is not a number: --wait-timeout=9223372036854775808"},
    {{L"--case=up", L"a", L"b"}, L"option value must be upper or lower: --case=up"},
    {{L"--case=lower", L"--lowercase", L"a", L"b"}, L"--case cannot be combined with --uppercase or --lowercase"},
    {{L"--uppercase", L"--lowercase", L"a", L"b"}, L"--uppercase and --lowercase cannot be combined"},
    {{L"--", L"a", L"b", L"--"}, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
};

std::wstring Outcome(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"hex-viewer.exe");
  const RunOptions o = ParseOptions(arguments);
  return o.ok ? std::to_wstring(o.maxKb) + L"kb " + std::to_wstring(o.waitTimeoutMs) + L"ms " +
                    (o.uppercase ? L"upper " : L"lower ") + o.inputFile + L" " + o.viewerExe
              : o.error;
}

std::wstring Head(const std::wstring& text) { return text.substr(0, text.find(L": ")); }

TEST(ParseOptions, TakesClampsOrRefusesWithTheFirstProblem) {
  for (const auto& [arguments, outcome] : kCases) EXPECT_EQ(Outcome(arguments), outcome) << WideToUtf8(arguments[0]);
}

TEST(ParseOptions, RandomArgumentListsGiveValuesInRangeOrAKnownText) {
  const std::wstring pieces[] = {L"-", L"--",     L"=",    L"-5",           L"9999999999", L"upper",
                                 L"",  L"max-kb", L"case", L"wait-timeout", L"lowercase",  L"\xD800"};
  std::mt19937 random(20240611u);
  int accepted = 0;
  for (int round = 0; round < 5000; ++round) {
    std::vector<std::wstring> arguments = {L"hex-viewer.exe"};
    for (size_t count = random() % 6; count > 0; --count) {
      arguments.emplace_back();
      for (size_t n = random() % 4; n > 0; --n) arguments.back() += pieces[random() % std::size(pieces)];
    }
    const RunOptions o = ParseOptions(arguments);
    accepted += o.ok;
    EXPECT_TRUE(o.ok ? o.maxKb >= 1 && o.maxKb <= 1048576 && o.waitTimeoutMs >= 5000 && o.waitTimeoutMs <= 600000
                     : std::any_of(std::begin(kCases), std::end(kCases),
                                   [&](const auto& c) { return Head(c.second) == Head(o.error); }))
        << WideToUtf8(o.error);
  }
  EXPECT_GT(accepted, 50);
}

}  // namespace
}  // namespace hv
