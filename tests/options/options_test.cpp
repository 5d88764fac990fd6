#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/options.h"
#include "text/encoding.h"

namespace hv {

const std::wstring kNaN = L"option value is not a number: --max-kb=";

// Argument lists after the program path and their outcome: the values taken, or the error text.
const std::pair<std::vector<std::wstring>, std::wstring> kCases[] = {
    {{L"a", L"b"}, L"64kb 30000ms upper a b"},
    {{L"--max-kb=-5", L"a", L"b", L"--wait-timeout=100"}, L"1kb 5000ms upper a b"},
    {{L"--max-kb", L"-5", L"a", L"b", L"--wait-timeout", L"700000"}, L"1kb 600000ms upper a b"},
    {{L"--max-kb=99999999", L"a", L"b"}, L"1048576kb 30000ms upper a b"},
    {{L"--max-kb=+16", L"a", L"b", L"--lowercase"}, L"16kb 30000ms lower a b"},
    {{L"a", L"--max-kb=007", L"b"}, L"7kb 30000ms upper a b"},
    {{L"-MAX-KB=8", L"--Case=UPPER", L"a", L"b"}, L"8kb 30000ms upper a b"},
    {{L"---case=Lower", L"a", L"b"}, L"64kb 30000ms lower a b"},
    {{L"--", L"-in.bin", L"viewer.exe"}, L"64kb 30000ms upper -in.bin viewer.exe"},
    {{L"-", L""}, L"64kb 30000ms upper - "},
    {{L"--max-kb=12k"}, kNaN + L"12k"},
    {{L"--max-kb=-"}, kNaN + L"-"},
    {{L"--max-kb= 5"}, kNaN + L" 5"},
    {{L"--max-kb=-9223372036854775808", L"a", L"b"}, L"1kb 30000ms upper a b"},
    {{L"--max-kb=99999999999999999999"}, kNaN + L"99999999999999999999"},
    {{L"--max-kb", L"--", L"a", L"b"}, kNaN + L"--"},
    {{L"--wait-timeout=9223372036854775808"}, L"option value is not a number: --wait-timeout=9223372036854775808"},
    {{L"--max-kb=", L"a", L"b"}, L"option value is empty: --max-kb"},
    {{L"--max-kb", L"", L"a", L"b"}, L"option value is empty: --max-kb"},
    {{L"a", L"b", L"--max-kb"}, L"option requires a value: --max-kb"},
    {{L"-MAX-KB=8", L"--max-kb=9", L"a", L"b"}, L"option specified more than once: --max-kb"},
    {{L"--case=up", L"a", L"b"}, L"option value must be upper or lower: --case=up"},
    {{L"--uppercase=", L"a", L"b"}, L"option does not take a value: --uppercase"},
    {{L"--Lowercase=yes", L"a", L"b"}, L"option does not take a value: --lowercase"},
    {{L"--uppercase", L"--UPPERCASE", L"a", L"b"}, L"option specified more than once: --uppercase"},
    {{L"--uppercase", L"--lowercase", L"a", L"b"}, L"--uppercase and --lowercase cannot be combined"},
    {{L"--case=lower", L"--lowercase", L"a", L"b"}, L"--case cannot be combined with --uppercase or --lowercase"},
    {{L"--Bogus=1"}, L"unknown option: --Bogus=1"},  // before the count problem
    {{L"---", L"a", L"b"}, L"malformed option: ---"},
    {{L"--=5", L"a", L"b"}, L"malformed option: --=5"},
    {{L"a", L"-", L"b"}, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
    {{L"--", L"a", L"b", L"--"}, L"expected exactly two positional arguments: <input_file> <lumoviewer_exe>"},
};

TEST(ParseOptions, TakesClampsOrRefusesWithTheFirstProblem) {
  for (auto [arguments, outcome] : kCases) {
    arguments.insert(arguments.begin(), L"hex-viewer.exe");
    const RunOptions o = ParseOptions(arguments);
    EXPECT_EQ(o.ok ? std::to_wstring(o.maxKb) + L"kb " + std::to_wstring(o.waitTimeoutMs) + L"ms " +
                         (o.uppercase ? L"upper " : L"lower ") + o.inputFile + L" " + o.viewerExe
                   : o.error,
              outcome)
        << WideToUtf8(arguments[1]);
  }
}

}  // namespace hv
