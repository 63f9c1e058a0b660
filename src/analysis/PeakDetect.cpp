#include "analysis/PeakDetect.h"

#include <algorithm>
#include <cassert>

namespace kestrova {

std::size_t ReduceToColumns(std::span<const std::int32_t> rows, int samplesPerColumn,
                            std::span<ColumnSpan> columns) {
  const std::size_t step = samplesPerColumn > 0 ? static_cast<std::size_t>(samplesPerColumn) : 1;
  std::size_t written = 0;
  for (std::size_t start = 0; start < rows.size() && written < columns.size(); start += step) {
    const auto [low, high] = std::ranges::minmax(rows.subspan(start, std::min(step, rows.size() - start)));
    columns[written++] = ColumnSpan{low, high};
  }
  assert(written * step >= rows.size() && "columns too short for the rows");
  return written;
}

}  // namespace kestrova
