#include <gtest/gtest.h>

#include "launch/viewer_launch.h"

namespace hv::launch_test {

// Each argument quoted, even without a blank; backslashes doubled only before a quote or the closing quote.
TEST(BuildArgumentString, QuotesEveryArgumentAndEscapesOnlyBackslashesBeforeAQuote) {
  EXPECT_EQ(BuildArgumentString({L"-x", L"", L"a\\\\\"b c\\", L"d\\e"}),
            L"\"-x\" \"\" \"a\\\\\\\\\\\"b c\\\\\" \"d\\e\"");  // two backslashes before a quote become five
}

}  // namespace hv::launch_test
