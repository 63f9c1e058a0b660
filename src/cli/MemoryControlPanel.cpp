#include "cli/MemoryControlPanel.h"

#include <algorithm>

namespace kestrova::cli {

std::string MemoryControlPanel::Text(int id) const {
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

bool MemoryControlPanel::IsChecked(int id) const {
  const auto it = checks_.find(id);
  return it != checks_.end() && it->second;
}

int MemoryControlPanel::Selection(int id) const {
  const auto it = selections_.find(id);
  return it == selections_.end() ? -1 : it->second;
}

ColorRef MemoryControlPanel::ButtonColor(int id) const {
  const auto it = colors_.find(id);
  return it == colors_.end() ? 0 : it->second;
}

void MemoryScrollBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  SetPosition(position_);
}

void MemoryScrollBar::SetPosition(int position) {
  position_ = std::clamp(position, minimum_, maximum_);
}

}  // namespace kestrova::cli
