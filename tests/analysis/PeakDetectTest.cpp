#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/PeakDetect.h"

namespace kestrova {
namespace {

TEST(ReduceToColumns, EachColumnSpansItsOwnSamplesOnly) {
  struct Case {
    const char* name;
    std::vector<std::int32_t> rows;
    int perColumn;
    std::vector<ColumnSpan> expected;
  };
  const Case cases[] = {
      {"one sample per column", {5, 3, 9}, 1, {{5, 5}, {3, 3}, {9, 9}}},
      {"even split", {5, 3, 9, 9, 1, 2}, 3, {{3, 9}, {1, 9}}},
      {"a one-sample spike in its column", {200, 200, 10, 200, 200, 200}, 3, {{10, 200}, {200, 200}}},
      {"the last column takes the rest", {4, 8, 6, 1, 7}, 2, {{4, 8}, {1, 6}, {7, 7}}},
      {"rows off the plot are kept", {-30, 450}, 2, {{-30, 450}}},
      {"no rows", {}, 4, {}},
  };
  for (const Case& c : cases) {
    std::array<ColumnSpan, 8> columns{};
    const std::size_t count = ReduceToColumns(c.rows, c.perColumn, columns);
    EXPECT_EQ(std::vector<ColumnSpan>(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(count)),
              c.expected)
        << c.name;
  }
}

TEST(ReduceToColumns, WritesNoMoreColumnsThanItIsGiven) {
  const std::vector<std::int32_t> rows(10, 7);
  std::array<ColumnSpan, 4> columns{};
  const std::array<ColumnSpan, 2> room{};
  EXPECT_EQ(ReduceToColumns(rows, 5, std::span(columns).first(2)), 2U);
  EXPECT_EQ(columns[2], room[0]) << "wrote past the span it was given";
}

TEST(JoinToPrevious, StretchesOnlyTowardsAColumnItDoesNotTouch) {
  struct Case {
    const char* name;
    ColumnSpan own;
    ColumnSpan previous;
    ColumnSpan expected;
  };
  const Case cases[] = {
      {"overlapping: unchanged", {10, 20}, {15, 30}, {10, 20}},
      {"diagonal neighbours touch", {21, 25}, {10, 20}, {21, 25}},
      {"below the previous: reaches up", {50, 60}, {10, 20}, {21, 60}},
      {"above the previous: reaches down", {5, 8}, {40, 40}, {5, 39}},
      {"a flat line stays flat", {100, 100}, {100, 100}, {100, 100}},
  };
  for (const Case& c : cases) EXPECT_EQ(JoinToPrevious(c.own, c.previous), c.expected) << c.name;
}

}  // namespace
}  // namespace kestrova
