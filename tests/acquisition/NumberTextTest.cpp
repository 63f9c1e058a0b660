#include "acquisition/NumberText.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(ParseNumberText, Smoke) { EXPECT_EQ(ParseNumberText("1FH"), 31.0); }

}  // namespace
}  // namespace kestrova
