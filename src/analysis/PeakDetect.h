#pragma once

#include <cstdint>
#include <span>

namespace kestrova {

// The rows one plot column covers with peak detect: from `top` (the smallest
// row, the highest value) to `bottom`, both included.
struct ColumnSpan {
  std::int32_t top = 0;
  std::int32_t bottom = 0;

  bool operator==(const ColumnSpan&) const = default;
};

// Reduces `rows` to columns of `samplesPerColumn` (>= 1) consecutive rows
// each, the last column taking what is left over; writes one span per column
// into `columns` and returns how many it wrote. `columns` must hold
// ceil(rows.size() / samplesPerColumn) spans. Any thread; no state.
std::size_t ReduceToColumns(std::span<const std::int32_t> rows, int samplesPerColumn,
                            std::span<ColumnSpan> columns);

// The span a column is drawn with so that the trace stays continuous: its
// own span stretched until it reaches the span of the column before it
// (diagonal neighbours count as touching). Any thread; no state.
constexpr ColumnSpan JoinToPrevious(ColumnSpan own, ColumnSpan previous) {
  if (own.top > previous.bottom + 1) own.top = previous.bottom + 1;
  if (own.bottom < previous.top - 1) own.bottom = previous.top - 1;
  return own;
}

}  // namespace kestrova
