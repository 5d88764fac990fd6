#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "options/options.h"
#include "support/test_support.h"

namespace hv {
namespace {

using Arguments = std::vector<std::wstring>;

const wchar_t kTwoPositionals[] = L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>";
const wchar_t kCaseCombined[] = L"--case cannot be combined with --uppercase or --lowercase";
const wchar_t kFlagsCombined[] = L"--uppercase and --lowercase cannot be combined";

RunOptions Parse(Arguments arguments) {
  arguments.insert(arguments.begin(), L"C:\\plugins\\hex-viewer.exe");
  return ParseOptions(arguments);
}

std::string Describe(const Arguments& arguments) {
  std::string text;
  for (const auto& argument : arguments) text += " [" + test::Utf8(argument) + "]";
  return text;
}

TEST(ParseOptions, NeverExaminesTheProgramPath) {
  EXPECT_TRUE(ParseOptions({L"--bogus", L"a", L"b"}).ok);
  EXPECT_EQ(ParseOptions({}).error, kTwoPositionals);
}

TEST(ParseOptions, AcceptsAndClamps) {
  struct Case {
    Arguments arguments;
    int64_t maxKb;
    bool uppercase;
    int64_t waitTimeoutMs;
    std::wstring inputFile = L"a";
    std::wstring viewerExe = L"b";
  };
  const Case cases[] = {
      {{L"a", L"b"}, 64, true, 30000},
      // Clamped silently at both ends, signed, across the whole 64-bit range.
      {{L"--max-kb=0", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=-9223372036854775808", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=1048577", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=9223372036854775807", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=+16", L"a", L"b"}, 16, true, 30000},
      {{L"--max-kb=007", L"a", L"b"}, 7, true, 30000},
      {{L"--wait-timeout=4999", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout=600001", L"a", L"b"}, 64, true, 600000},
      {{L"--wait-timeout", L"12345", L"a", L"b"}, 64, true, 12345},
      // Any number of dashes; ASCII letter case ignored in names and in case values.
      {{L"---MAX-KB=8", L"a", L"b"}, 8, true, 30000},
      {{L"-lowercase", L"a", L"b"}, 64, false, 30000},
      {{L"--Wait-Timeout=6000", L"--uppercase", L"a", L"b"}, 64, true, 6000},
      {{L"--Case=UPPER", L"a", L"b"}, 64, true, 30000},
      {{L"--case=lOwEr", L"a", L"b"}, 64, false, 30000},
      // The next argument is the value whatever it looks like.
      {{L"--case", L"lower", L"--max-kb", L"-5", L"a", L"b"}, 1, false, 30000},
      // Options anywhere before "--", between and after the positionals too.
      {{L"a", L"--max-kb=5", L"b"}, 5, true, 30000},
      {{L"a", L"b", L"--lowercase", L"--wait-timeout=9000"}, 64, false, 9000},
      // After "--" everything is positional; before it a lone "-" and "" are too.
      {{L"--", L"-in.bin", L"viewer.exe"}, 64, true, 30000, L"-in.bin", L"viewer.exe"},
      {{L"--max-kb=2", L"--", L"--", L"--lowercase"}, 2, true, 30000, L"--", L"--lowercase"},
      {{L"-", L""}, 64, true, 30000, L"-", L""},
  };
  for (const auto& c : cases) {
    const RunOptions options = Parse(c.arguments);
    ASSERT_TRUE(options.ok) << Describe(c.arguments) << " -> " << test::Utf8(options.error);
    EXPECT_EQ(options.maxKb, c.maxKb) << Describe(c.arguments);
    EXPECT_EQ(options.uppercase, c.uppercase) << Describe(c.arguments);
    EXPECT_EQ(options.waitTimeoutMs, c.waitTimeoutMs) << Describe(c.arguments);
    EXPECT_EQ(options.inputFile, c.inputFile) << Describe(c.arguments);
    EXPECT_EQ(options.viewerExe, c.viewerExe) << Describe(c.arguments);
  }
}

TEST(ParseOptions, RejectsWithTheFirstProblem) {
  const std::wstring notANumber = L"option value is not a number: --max-kb=";
  const struct {
    Arguments arguments;
    std::wstring error;
  } cases[] = {
      {{L"---", L"a", L"b"}, L"malformed option: ---"},
      {{L"--=5", L"a", L"b"}, L"malformed option: --=5"},
      {{L"--uppercase", L"--uppercase", L"a", L"b"}, L"option specified more than once: --uppercase"},
      {{L"--LOWERCASE", L"-lowercase", L"a", L"b"}, L"option specified more than once: --lowercase"},
      {{L"--uppercase", L"--uppercase=1", L"a", L"b"}, L"option specified more than once: --uppercase"},
      {{L"--uppercase=", L"a", L"b"}, L"option does not take a value: --uppercase"},
      {{L"--Lowercase=yes", L"a", L"b"}, L"option does not take a value: --lowercase"},
      // Quoted as typed; a Kelvin sign is not folded to "k".
      {{L"--bogus", L"a", L"b"}, L"unknown option: --bogus"},
      {{L"--Bogus=1", L"a", L"b"}, L"unknown option: --Bogus=1"},
      {{L"--max-\u212Ab=1", L"a", L"b"}, L"unknown option: --max-\u212Ab=1"},
      {{L"-MAX-KB=8", L"----Max-Kb", L"9", L"a", L"b"}, L"option specified more than once: --max-kb"},
      {{L"--case=upper", L"--CASE=upper"}, L"option specified more than once: --case"},
      {{L"--wait-timeout=6000", L"-wait-timeout=6000"}, L"option specified more than once: --wait-timeout"},
      {{L"a", L"b", L"--max-kb"}, L"option requires a value: --max-kb"},
      {{L"a", L"b", L"--CASE"}, L"option requires a value: --case"},
      {{L"a", L"b", L"---wait-timeout"}, L"option requires a value: --wait-timeout"},
      {{L"--max-kb=", L"a", L"b"}, L"option value is empty: --max-kb"},
      {{L"--max-kb", L"", L"a", L"b"}, L"option value is empty: --max-kb"},
      {{L"--case=", L"a", L"b"}, L"option value is empty: --case"},
      {{L"--wait-timeout", L"", L"a", L"b"}, L"option value is empty: --wait-timeout"},
      {{L"--max-kb=12k", L"a", L"b"}, notANumber + L"12k"},
      {{L"--max-kb=0x10", L"a", L"b"}, notANumber + L"0x10"},
      {{L"--max-kb=-", L"a", L"b"}, notANumber + L"-"},
      {{L"--max-kb= 5", L"a", L"b"}, notANumber + L" 5"},
      {{L"--max-kb=99999999999999999999", L"a", L"b"}, notANumber + L"99999999999999999999"},
      {{L"--max-kb=9223372036854775808", L"a", L"b"}, notANumber + L"9223372036854775808"},
      {{L"--max-kb=-9223372036854775809", L"a", L"b"}, notANumber + L"-9223372036854775809"},
      {{L"--max-kb", std::wstring(L"5\0005", 3), L"a", L"b"}, notANumber + std::wstring(L"5\0005", 3)},
      {{L"--max-kb", L"--", L"a", L"b"}, notANumber + L"--"},
      {{L"--max-kb", L"--lowercase", L"a", L"b"}, notANumber + L"--lowercase"},
      {{L"--WAIT-TIMEOUT=soon", L"a", L"b"}, L"option value is not a number: --wait-timeout=soon"},
      {{L"--wait-timeout", L"-", L"a", L"b"}, L"option value is not a number: --wait-timeout=-"},
      {{L"--case=up", L"a", L"b"}, L"option value must be upper or lower: --case=up"},
      {{L"--case=uppercase", L"a", L"b"}, L"option value must be upper or lower: --case=uppercase"},
      {{L"--case", L" upper", L"a", L"b"}, L"option value must be upper or lower: --case= upper"},
      {{L"--case", L"--", L"a", L"b"}, L"option value must be upper or lower: --case=--"},
      // Combination and count checks after the walk, in their order.
      {{L"--uppercase", L"--lowercase", L"a", L"b"}, kFlagsCombined},
      {{L"--lowercase", L"--uppercase"}, kFlagsCombined},
      {{L"--case=lower", L"--lowercase", L"a", L"b"}, kCaseCombined},
      {{L"--case=lower", L"--uppercase", L"--lowercase", L"a"}, kCaseCombined},
      {{L"a"}, kTwoPositionals},
      {{L"a", L"-", L"b"}, kTwoPositionals},
      {{L"--", L"a", L"b", L"--"}, kTwoPositionals},
      // The first bad argument wins over everything after it and over the final checks.
      {{L"--bogus"}, L"unknown option: --bogus"},
      {{L"--uppercase", L"--lowercase", L"--bogus", L"a", L"b"}, L"unknown option: --bogus"},
      {{L"--max-kb=x", L"--bogus", L"---"}, notANumber + L"x"},
      {{L"--case=sideways", L"--case=upper"}, L"option value must be upper or lower: --case=sideways"},
  };
  for (const auto& c : cases) {
    const RunOptions options = Parse(c.arguments);
    EXPECT_FALSE(options.ok) << Describe(c.arguments);
    EXPECT_EQ(options.error, c.error) << Describe(c.arguments);
  }
}

TEST(CaseHelpers, FoldOnlyAsciiLettersButCompareValuesFully) {
  EXPECT_EQ(AsciiLower(std::wstring(L"AZaz@[\0\u00C9\u0130\u212A", 10)),
            std::wstring(L"azaz@[\0\u00C9\u0130\u212A", 10));
  EXPECT_TRUE(EqualsIgnoreCase(L"LoWeR", L"lower"));
  EXPECT_TRUE(EqualsIgnoreCase(L"\u00C9t\u00E9", L"\u00E9T\u00C9"));
  EXPECT_FALSE(EqualsIgnoreCase(L"upper ", L"upper"));
  EXPECT_EQ(ParseInteger(L"-5"), -5);
  EXPECT_EQ(ParseInteger(L""), std::nullopt);
}

// The argument as typed, or a value given inline or as the next argument.
bool QuotesAnArgument(const std::wstring& quoted, const Arguments& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const size_t equals = arguments[i].find(L'=');
    if (arguments[i] == quoted || (equals != std::wstring::npos && arguments[i].substr(equals + 1) == quoted)) {
      return true;
    }
  }
  return false;
}

// One of the thirteen texts, with a lowered option name or a quote of the input.
bool IsKnownError(const std::wstring& error, const Arguments& arguments) {
  if (error == kCaseCombined || error == kFlagsCombined || error == kTwoPositionals) return true;
  for (const wchar_t* flag : {L"--uppercase", L"--lowercase"}) {
    if (error == L"option specified more than once: " + std::wstring(flag) ||
        error == L"option does not take a value: " + std::wstring(flag)) {
      return true;
    }
  }
  for (const wchar_t* name : {L"--max-kb", L"--case", L"--wait-timeout"}) {
    for (const wchar_t* text :
         {L"option specified more than once: ", L"option requires a value: ", L"option value is empty: "}) {
      if (error == text + std::wstring(name)) return true;
    }
  }
  for (std::wstring_view prefix :
       {L"malformed option: ", L"unknown option: ", L"option value is not a number: --max-kb=",
        L"option value is not a number: --wait-timeout=", L"option value must be upper or lower: --case="}) {
    if (error.starts_with(prefix)) return QuotesAnArgument(error.substr(prefix.size()), arguments);
  }
  return false;
}

TEST(ParseOptions, RandomArgumentListsGiveAResultOrAKnownError) {
  // Dashes, '=', digits, letters, empty text, non-ASCII units (unpaired surrogates, NUL).
  const std::vector<std::wstring> pieces = {
      L"-",      L"--", L"=",      L"0",      L"7",      L"-5",     L"+",      L"99999999999999999999",
      L"x",      L"k",  L"upper",  L"LOWER",  L"max-kb", L"case",   L"Case",   L"wait-timeout",
      L"",       L" ",  L"\u00E9", L"\u0130", L"\u4E2D", L"\xD83D", L"\xDE00", std::wstring(1, L'\0'),
      L"\uFF11", L"\\"};
  const std::vector<std::wstring> names = {L"max-kb",       L"MAX-KB",     L"case",      L"CASE",      L"wait-timeout",
                                           L"Wait-Timeout", L"uppercase",  L"lowercase", L"lowerCASE", L"",
                                           L"bogus",        L"max-\u212Ab"};
  const std::vector<std::wstring> values = {
      L"",    L"0",   L"-5",    L"+16",   L"4096", L"600001", L"-99999999999999999",  // numbers
      L"12k", L"1=2", L"upper", L"Lower", L"UP",   L"--",     L"-"};
  std::mt19937 random(20240611u);
  auto pick = [&](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
  auto randomText = [&](size_t maxPieces) {
    std::wstring text;
    for (size_t n = pick(maxPieces + 1); n > 0; --n) text += pieces[pick(pieces.size())];
    return text;
  };

  size_t accepted = 0;
  std::map<std::wstring, size_t> errorKinds;  // by the text before its first ':'
  for (int round = 0; round < 20000; ++round) {
    Arguments arguments = {L"hex-viewer.exe"};
    for (size_t count = pick(7); count > 0; --count) {
      switch (pick(6)) {
        case 0:
        case 1:
          arguments.push_back(randomText(4));
          break;
        case 2:
          arguments.push_back(values[pick(values.size())]);
          break;
        case 3:
          arguments.push_back(pick(8) == 0 ? L"--" : L"plain" + std::to_wstring(pick(3)));
          break;
        default: {
          std::wstring option = std::wstring(1 + pick(3), L'-') + names[pick(names.size())];
          const size_t form = pick(4);
          if (form == 1) option += L"=" + values[pick(values.size())];
          if (form == 2) option += L"=" + randomText(2);
          arguments.push_back(option);
        }
      }
    }
    const RunOptions options = ParseOptions(arguments);
    if (options.ok) {
      ++accepted;
      EXPECT_TRUE(options.maxKb >= 1 && options.maxKb <= 1048576) << Describe(arguments);
      EXPECT_TRUE(options.waitTimeoutMs >= 5000 && options.waitTimeoutMs <= 600000) << Describe(arguments);
      EXPECT_TRUE(QuotesAnArgument(options.inputFile, arguments)) << Describe(arguments);
      EXPECT_TRUE(QuotesAnArgument(options.viewerExe, arguments)) << Describe(arguments);
    } else {
      ASSERT_TRUE(IsKnownError(options.error, arguments)) << Describe(arguments) << " -> " << test::Utf8(options.error);
      ++errorKinds[options.error.substr(0, options.error.find(L':'))];
    }
  }
  // The mix must reach success and every kind of error, or it proves little.
  EXPECT_GT(accepted, 200u);
  EXPECT_EQ(errorKinds.size(), 11u);
}

}  // namespace
}  // namespace hv
