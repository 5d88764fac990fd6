#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "options/options.h"

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
  for (const auto& argument : arguments) {
    text += " [";
    for (wchar_t c : argument) {
      if (c >= 0x20 && c < 0x7F) {
        text.push_back(static_cast<char>(c));
      } else {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
        text += escaped;
      }
    }
    text += "]";
  }
  return text;
}

TEST(ParseOptions, DefaultsWithoutOptions) {
  const RunOptions options = Parse({L"in.bin", L"viewer.exe"});
  ASSERT_TRUE(options.ok) << std::string(options.error.begin(), options.error.end());
  EXPECT_EQ(options.inputFile, L"in.bin");
  EXPECT_EQ(options.viewerExe, L"viewer.exe");
  EXPECT_EQ(options.maxKb, 64);
  EXPECT_TRUE(options.uppercase);
  EXPECT_EQ(options.waitTimeoutMs, 30000);
  EXPECT_TRUE(options.error.empty());
}

TEST(ParseOptions, ProgramPathIsNeverExamined) {
  const RunOptions options = ParseOptions({L"--bogus", L"a", L"b"});
  ASSERT_TRUE(options.ok);
  EXPECT_EQ(options.inputFile, L"a");
  EXPECT_EQ(ParseOptions({}).error, kTwoPositionals);
}

struct Accepted {
  Arguments arguments;
  int64_t maxKb;
  bool uppercase;
  int64_t waitTimeoutMs;
  std::wstring inputFile = L"a";
  std::wstring viewerExe = L"b";
};

TEST(ParseOptions, AcceptsAndClamps) {
  const Accepted cases[] = {
      // Clamped silently at both ends, signed.
      {{L"--max-kb=0", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=-5", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb", L"-5", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=1", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=1048576", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=1048577", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=99999999", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=9223372036854775807", L"a", L"b"}, 1048576, true, 30000},
      {{L"--max-kb=-9223372036854775808", L"a", L"b"}, 1, true, 30000},
      {{L"--max-kb=+16", L"a", L"b"}, 16, true, 30000},
      {{L"--max-kb=007", L"a", L"b"}, 7, true, 30000},
      {{L"--max-kb=-0", L"a", L"b"}, 1, true, 30000},
      {{L"--wait-timeout=100", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout=4999", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout=5000", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout=600000", L"a", L"b"}, 64, true, 600000},
      {{L"--wait-timeout=600001", L"a", L"b"}, 64, true, 600000},
      {{L"--wait-timeout=700000", L"a", L"b"}, 64, true, 600000},
      {{L"--wait-timeout=-1", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout=9223372036854775807", L"a", L"b"}, 64, true, 600000},
      {{L"--wait-timeout=-9223372036854775808", L"a", L"b"}, 64, true, 5000},
      {{L"--wait-timeout", L"12345", L"a", L"b"}, 64, true, 12345},
      // Any number of leading dashes, ASCII letter case ignored in names.
      {{L"-max-kb=8", L"a", L"b"}, 8, true, 30000},
      {{L"---max-kb=8", L"a", L"b"}, 8, true, 30000},
      {{L"-MAX-KB=8", L"a", L"b"}, 8, true, 30000},
      {{L"--Wait-Timeout=6000", L"a", L"b"}, 64, true, 6000},
      {{L"-lowercase", L"a", L"b"}, 64, false, 30000},
      {{L"--LowerCase", L"a", L"b"}, 64, false, 30000},
      {{L"--uppercase", L"a", L"b"}, 64, true, 30000},
      // Case values compared without regard to case.
      {{L"--Case=UPPER", L"a", L"b"}, 64, true, 30000},
      {{L"--case=Lower", L"a", L"b"}, 64, false, 30000},
      {{L"--case", L"lower", L"a", L"b"}, 64, false, 30000},
      {{L"--case=lOwEr", L"a", L"b"}, 64, false, 30000},
      // The next argument is the value whatever it looks like.
      {{L"--case", L"lower", L"--max-kb", L"-7", L"a", L"b"}, 1, false, 30000},
      // Options anywhere before "--", also between and after the positionals.
      {{L"a", L"--max-kb=5", L"b"}, 5, true, 30000},
      {{L"a", L"b", L"--lowercase", L"--wait-timeout=9000"}, 64, false, 9000},
      // After "--" everything is positional.
      {{L"--", L"-in.bin", L"viewer.exe"}, 64, true, 30000, L"-in.bin", L"viewer.exe"},
      {{L"--", L"--", L"--max-kb=3"}, 64, true, 30000, L"--", L"--max-kb=3"},
      {{L"--max-kb=2", L"--", L"--lowercase", L"-"}, 2, true, 30000, L"--lowercase", L"-"},
      // A lone "-" and the empty argument are positionals.
      {{L"-", L""}, 64, true, 30000, L"-", L""},
      {{L"", L"--lowercase", L"x"}, 64, false, 30000, L"", L"x"},
      // Positionals are passed on exactly as typed.
      {{L"C:/some dir/in.bin", L"rel\\viewer.exe"}, 64, true, 30000, L"C:/some dir/in.bin", L"rel\\viewer.exe"},
      {{L"=", L"a=b"}, 64, true, 30000, L"=", L"a=b"},
  };
  for (const auto& c : cases) {
    const RunOptions options = Parse(c.arguments);
    ASSERT_TRUE(options.ok) << Describe(c.arguments) << " -> "
                            << std::string(options.error.begin(), options.error.end());
    EXPECT_EQ(options.maxKb, c.maxKb) << Describe(c.arguments);
    EXPECT_EQ(options.uppercase, c.uppercase) << Describe(c.arguments);
    EXPECT_EQ(options.waitTimeoutMs, c.waitTimeoutMs) << Describe(c.arguments);
    EXPECT_EQ(options.inputFile, c.inputFile) << Describe(c.arguments);
    EXPECT_EQ(options.viewerExe, c.viewerExe) << Describe(c.arguments);
    EXPECT_TRUE(options.error.empty()) << Describe(c.arguments);
  }
}

struct Rejected {
  Arguments arguments;
  std::wstring error;
};

TEST(ParseOptions, RejectsWithTheFirstProblem) {
  const Rejected cases[] = {
      // Malformed: nothing left after the dashes.
      {{L"---", L"a", L"b"}, L"malformed option: ---"},
      {{L"--=5", L"a", L"b"}, L"malformed option: --=5"},
      {{L"-=", L"a", L"b"}, L"malformed option: -="},
      // Flags.
      {{L"--uppercase", L"--uppercase", L"a", L"b"}, L"option specified more than once: --uppercase"},
      {{L"--LOWERCASE", L"-lowercase", L"a", L"b"}, L"option specified more than once: --lowercase"},
      {{L"--uppercase=", L"a", L"b"}, L"option does not take a value: --uppercase"},
      {{L"--Lowercase=yes", L"a", L"b"}, L"option does not take a value: --lowercase"},
      // Seen before inline value: a repeated flag with a value reports the repetition.
      {{L"--uppercase", L"--uppercase=1", L"a", L"b"}, L"option specified more than once: --uppercase"},
      // Unknown names are quoted as typed.
      {{L"--bogus", L"a", L"b"}, L"unknown option: --bogus"},
      {{L"--Bogus=1", L"a", L"b"}, L"unknown option: --Bogus=1"},
      {{L"-MaxKb=1", L"a", L"b"}, L"unknown option: -MaxKb=1"},
      {{L"--max-kb-=1", L"a", L"b"}, L"unknown option: --max-kb-=1"},
      {{L"--max kb=1", L"a", L"b"}, L"unknown option: --max kb=1"},
      {{L"--\u00C9case=upper", L"a", L"b"}, L"unknown option: --\u00C9case=upper"},
      // Non-ASCII capitals are not folded, so this is not "case".
      {{L"--\u0421ase=upper", L"a", L"b"}, L"unknown option: --\u0421ase=upper"},
      // Value options given twice, in any spelling.
      {{L"-MAX-KB=8", L"--max-kb=8", L"a", L"b"}, L"option specified more than once: --max-kb"},
      {{L"--max-kb=8", L"----Max-Kb", L"9", L"a", L"b"}, L"option specified more than once: --max-kb"},
      {{L"--case=upper", L"--CASE=upper"}, L"option specified more than once: --case"},
      {{L"--wait-timeout=6000", L"-wait-timeout=6000"}, L"option specified more than once: --wait-timeout"},
      // Missing and empty values.
      {{L"a", L"b", L"--max-kb"}, L"option requires a value: --max-kb"},
      {{L"a", L"b", L"--CASE"}, L"option requires a value: --case"},
      {{L"a", L"b", L"---wait-timeout"}, L"option requires a value: --wait-timeout"},
      {{L"--max-kb=", L"a", L"b"}, L"option value is empty: --max-kb"},
      {{L"--max-kb", L"", L"a", L"b"}, L"option value is empty: --max-kb"},
      {{L"--case=", L"a", L"b"}, L"option value is empty: --case"},
      {{L"--wait-timeout", L"", L"a", L"b"}, L"option value is empty: --wait-timeout"},
      // Values that are not numbers, quoted as given.
      {{L"--max-kb=12k", L"a", L"b"}, L"option value is not a number: --max-kb=12k"},
      {{L"--max-kb=0x10", L"a", L"b"}, L"option value is not a number: --max-kb=0x10"},
      {{L"--max-kb=-", L"a", L"b"}, L"option value is not a number: --max-kb=-"},
      {{L"--max-kb=+", L"a", L"b"}, L"option value is not a number: --max-kb=+"},
      {{L"--max-kb= 5", L"a", L"b"}, L"option value is not a number: --max-kb= 5"},
      {{L"--max-kb=\t5", L"a", L"b"}, L"option value is not a number: --max-kb=\t5"},
      {{L"--max-kb=5 ", L"a", L"b"}, L"option value is not a number: --max-kb=5 "},
      {{L"--max-kb=1.5", L"a", L"b"}, L"option value is not a number: --max-kb=1.5"},
      {{L"--max-kb=--5", L"a", L"b"}, L"option value is not a number: --max-kb=--5"},
      {{L"--max-kb=+-5", L"a", L"b"}, L"option value is not a number: --max-kb=+-5"},
      {{L"--max-kb=5=6", L"a", L"b"}, L"option value is not a number: --max-kb=5=6"},
      {{L"--max-kb=99999999999999999999", L"a", L"b"}, L"option value is not a number: --max-kb=99999999999999999999"},
      {{L"--max-kb=9223372036854775808", L"a", L"b"}, L"option value is not a number: --max-kb=9223372036854775808"},
      {{L"--max-kb=-9223372036854775809", L"a", L"b"}, L"option value is not a number: --max-kb=-9223372036854775809"},
      {{L"--max-kb", L"--", L"a", L"b"}, L"option value is not a number: --max-kb=--"},
      {{L"--max-kb", L"--lowercase", L"a", L"b"}, L"option value is not a number: --max-kb=--lowercase"},
      {{L"--max-kb",
        std::wstring(L"5\0"
                     L"5",
                     3),
        L"a", L"b"},
       std::wstring(L"option value is not a number: --max-kb=5\0"
                    L"5",
                    42)},
      {{L"--WAIT-TIMEOUT=soon", L"a", L"b"}, L"option value is not a number: --wait-timeout=soon"},
      {{L"--wait-timeout", L"-", L"a", L"b"}, L"option value is not a number: --wait-timeout=-"},
      {{L"--wait-timeout=9223372036854775808", L"a", L"b"},
       L"option value is not a number: --wait-timeout=9223372036854775808"},
      {{L"--wait-timeout=-9223372036854775809", L"a", L"b"},
       L"option value is not a number: --wait-timeout=-9223372036854775809"},
      // Case values.
      {{L"--case=up", L"a", L"b"}, L"option value must be upper or lower: --case=up"},
      {{L"--case=uppercase", L"a", L"b"}, L"option value must be upper or lower: --case=uppercase"},
      {{L"--case", L" upper", L"a", L"b"}, L"option value must be upper or lower: --case= upper"},
      {{L"--case=upper=", L"a", L"b"}, L"option value must be upper or lower: --case=upper="},
      {{L"--case", L"--", L"a", L"b"}, L"option value must be upper or lower: --case=--"},
      // Combination and count checks after the walk, in their order.
      {{L"--uppercase", L"--lowercase", L"a", L"b"}, kFlagsCombined},
      {{L"--lowercase", L"--uppercase"}, kFlagsCombined},
      {{L"--case=lower", L"--lowercase", L"a", L"b"}, kCaseCombined},
      {{L"--uppercase", L"--case=upper", L"a", L"b"}, kCaseCombined},
      {{L"--case=lower", L"--uppercase", L"--lowercase", L"a", L"b"}, kCaseCombined},
      {{L"--case=lower", L"--uppercase", L"a"}, kCaseCombined},
      {{L"--uppercase", L"--lowercase"}, kFlagsCombined},
      {{}, kTwoPositionals},
      {{L"a"}, kTwoPositionals},
      {{L"a", L"-", L"b"}, kTwoPositionals},
      {{L"a", L"b", L"c"}, kTwoPositionals},
      {{L"--", L"a", L"b", L"--"}, kTwoPositionals},
      {{L"--max-kb=4", L"--"}, kTwoPositionals},
      // The first bad argument wins over everything after it and over the final checks.
      {{L"--bogus"}, L"unknown option: --bogus"},
      {{L"--uppercase", L"--lowercase", L"--bogus", L"a", L"b"}, L"unknown option: --bogus"},
      {{L"--case=lower", L"--lowercase", L"--max-kb=x"}, L"option value is not a number: --max-kb=x"},
      {{L"--max-kb=x", L"--bogus", L"---"}, L"option value is not a number: --max-kb=x"},
      {{L"---", L"--bogus"}, L"malformed option: ---"},
      {{L"--case=sideways", L"--case=upper"}, L"option value must be upper or lower: --case=sideways"},
      {{L"a", L"b", L"c", L"--max-kb="}, L"option value is empty: --max-kb"},
  };
  for (const auto& c : cases) {
    const RunOptions options = Parse(c.arguments);
    EXPECT_FALSE(options.ok) << Describe(c.arguments);
    EXPECT_EQ(options.error, c.error) << Describe(c.arguments);
  }
}

TEST(ParseInteger, AcceptsOnlyWholeDecimalNumbers) {
  struct Case {
    std::wstring text;
    std::optional<int64_t> value;
  };
  const Case cases[] = {
      {L"0", 0},
      {L"42", 42},
      {L"+16", 16},
      {L"-5", -5},
      {L"007", 7},
      {L"9223372036854775807", INT64_MAX},
      {L"-9223372036854775808", INT64_MIN},
      {L"9223372036854775808", std::nullopt},
      {L"-9223372036854775809", std::nullopt},
      {L"99999999999999999999", std::nullopt},
      {L"", std::nullopt},
      {L"-", std::nullopt},
      {L"+", std::nullopt},
      {L" 1", std::nullopt},
      {L"\t1", std::nullopt},
      {L"1 ", std::nullopt},
      {L"0x10", std::nullopt},
      {L"12k", std::nullopt},
      {L"1e3", std::nullopt},
      {L"x", std::nullopt},
      {std::wstring(L"1\0"
                    L"2",
                    3),
       std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInteger(c.text), c.value) << Describe({c.text});
  }
}

TEST(AsciiLower, FoldsOnlyAsciiCapitals) {
  EXPECT_EQ(AsciiLower(L""), L"");
  EXPECT_EQ(AsciiLower(L"AZaz09-@[`{"), L"azaz09-@[`{");
  EXPECT_EQ(AsciiLower(L"DUMP.HEXTXT"), L"dump.hextxt");
  EXPECT_EQ(AsciiLower(L"\u00C9\u0421\u0130X"), L"\u00C9\u0421\u0130x");
  EXPECT_EQ(AsciiLower(std::wstring(L"A\0B", 3)), std::wstring(L"a\0b", 3));
}

TEST(EqualsIgnoreCase, ComparesWholeTextsWithoutCase) {
  struct Case {
    std::wstring a;
    std::wstring b;
    bool equal;
  };
  const Case cases[] = {
      {L"upper", L"upper", true},
      {L"UPPER", L"upper", true},
      {L"LoWeR", L"lower", true},
      {L"", L"", true},
      {L"up", L"upper", false},
      {L"upper", L"uppe", false},
      {L"upper ", L"upper", false},
      {L"lower", L"upper", false},
      {L"\u00C9t\u00E9", L"\u00E9T\u00C9", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << Describe({c.a, c.b});
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << Describe({c.b, c.a});
  }
}

// Every error the parser can give, whole or by its fixed beginning.
bool IsKnownError(const std::wstring& error) {
  static const std::vector<std::wstring> whole = {
      L"option specified more than once: --max-kb",
      L"option specified more than once: --case",
      L"option specified more than once: --wait-timeout",
      L"option specified more than once: --uppercase",
      L"option specified more than once: --lowercase",
      L"option does not take a value: --uppercase",
      L"option does not take a value: --lowercase",
      L"option requires a value: --max-kb",
      L"option requires a value: --case",
      L"option requires a value: --wait-timeout",
      L"option value is empty: --max-kb",
      L"option value is empty: --case",
      L"option value is empty: --wait-timeout",
      kCaseCombined,
      kFlagsCombined,
      kTwoPositionals,
  };
  static const std::vector<std::wstring> prefixes = {
      L"malformed option: -",
      L"unknown option: -",
      L"option value is not a number: --max-kb=",
      L"option value is not a number: --wait-timeout=",
      L"option value must be upper or lower: --case=",
  };
  if (std::find(whole.begin(), whole.end(), error) != whole.end()) return true;
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [&](const std::wstring& prefix) { return error.starts_with(prefix); });
}

// The argument as typed, or a value given inline or as the next argument, must come
// from the list itself.
bool QuotesAnArgument(const std::wstring& quoted, const Arguments& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (argument == quoted) return true;
    const size_t equals = argument.find(L'=');
    if (equals != std::wstring::npos && argument.substr(equals + 1) == quoted) return true;
  }
  return false;
}

TEST(ParseOptions, RandomArgumentListsGiveAResultOrAKnownError) {
  // Pieces of arguments: dashes, '=' signs, digits, letters, option names in several
  // spellings, empty text, non-ASCII units, unpaired surrogates and an embedded NUL.
  const std::vector<std::wstring> pieces = {
      L"-",
      L"--",
      L"---",
      L"=",
      L"==",
      L"0",
      L"7",
      L"16",
      L"-5",
      L"+3",
      L"+",
      L"99999999999999999999",
      L"9223372036854775807",
      L"x",
      L"Q",
      L"k",
      L"upper",
      L"LOWER",
      L"max-kb",
      L"MAX-KB",
      L"case",
      L"Case",
      L"wait-timeout",
      L"uppercase",
      L"LowerCase",
      L"bogus",
      L"",
      L" ",
      L"\u00E9",
      L"\u0130",
      L"\u4E2D",
      L"\xD83D",
      L"\xDE00",
      L"\xD83D\xDE00",
      std::wstring(1, L'\0'),
      L"\\",
      L"/",
      L"\uFF11",
      L"\u0661",
  };
  const std::vector<std::wstring> names = {
      L"max-kb",    L"MAX-KB",    L"Max-Kb",    L"case", L"CASE",  L"wait-timeout", L"Wait-Timeout", L"uppercase",
      L"UPPERCASE", L"lowercase", L"lowerCASE", L"",     L"bogus", L"max_kb",       L"\u0421ase"};
  const std::vector<std::wstring> values = {L"",
                                            L"0",
                                            L"1",
                                            L"-5",
                                            L"+16",
                                            L"007",
                                            L"4096",
                                            L"12k",
                                            L"0x10",
                                            L" 5",
                                            L"upper",
                                            L"Lower",
                                            L"UP",
                                            L"--",
                                            L"-",
                                            L"600001",
                                            L"=",
                                            L"1=2",
                                            L"9223372036854775807",
                                            L"-9223372036854775808",
                                            L"9223372036854775808",
                                            L"-9223372036854775809"};
  std::mt19937 random(20240611u);
  auto pick = [&](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
  auto randomText = [&](size_t maxPieces) {
    std::wstring text;
    for (size_t n = pick(maxPieces + 1); n > 0; --n) text += pieces[pick(pieces.size())];
    return text;
  };

  size_t accepted = 0;
  std::vector<size_t> errorsByKind(5, 0);
  for (int round = 0; round < 20000; ++round) {
    Arguments arguments = {L"hex-viewer.exe"};
    for (size_t count = pick(7); count > 0; --count) {
      std::wstring argument;
      switch (pick(6)) {
        case 0:
        case 1:
          argument = randomText(4);
          break;
        case 2:
          argument = values[pick(values.size())];
          break;
        case 3:
          argument = pick(8) == 0 ? L"--" : L"plain" + std::to_wstring(pick(3));
          break;
        default: {
          argument = std::wstring(1 + pick(3), L'-') + names[pick(names.size())];
          const size_t form = pick(4);
          if (form == 1) argument += L"=" + values[pick(values.size())];
          if (form == 2) argument += L"=" + randomText(2);
          break;
        }
      }
      arguments.push_back(argument);
    }
    const RunOptions options = ParseOptions(arguments);
    if (options.ok) {
      ++accepted;
      EXPECT_TRUE(options.error.empty()) << Describe(arguments);
      EXPECT_GE(options.maxKb, 1) << Describe(arguments);
      EXPECT_LE(options.maxKb, 1048576) << Describe(arguments);
      EXPECT_GE(options.waitTimeoutMs, 5000) << Describe(arguments);
      EXPECT_LE(options.waitTimeoutMs, 600000) << Describe(arguments);
      EXPECT_TRUE(QuotesAnArgument(options.inputFile, arguments)) << Describe(arguments);
      EXPECT_TRUE(QuotesAnArgument(options.viewerExe, arguments)) << Describe(arguments);
      continue;
    }
    ASSERT_TRUE(IsKnownError(options.error)) << Describe(arguments) << " -> " << Describe({options.error});
    // Texts that quote the input must quote an argument (or an inline value) of this list.
    for (std::wstring_view prefix :
         {L"malformed option: ", L"unknown option: ", L"option value is not a number: --max-kb=",
          L"option value is not a number: --wait-timeout=", L"option value must be upper or lower: --case="}) {
      if (options.error.starts_with(prefix)) {
        EXPECT_TRUE(QuotesAnArgument(options.error.substr(prefix.size()), arguments))
            << Describe(arguments) << " -> " << Describe({options.error});
      }
    }
    if (options.error == kTwoPositionals) {
      ++errorsByKind[0];
    } else if (options.error.starts_with(L"unknown option: ")) {
      ++errorsByKind[1];
    } else if (options.error.starts_with(L"option value is not a number: ")) {
      ++errorsByKind[2];
    } else if (options.error.starts_with(L"malformed option: ")) {
      ++errorsByKind[3];
    } else {
      ++errorsByKind[4];
    }
  }
  // The mix must reach both outcomes and the common error kinds, or it proves little.
  EXPECT_GT(accepted, 200u);
  for (size_t kind = 0; kind < errorsByKind.size(); ++kind) {
    EXPECT_GT(errorsByKind[kind], 200u) << "error kind " << kind;
  }
}

}  // namespace
}  // namespace hv
