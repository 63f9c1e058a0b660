#include "acquisition/ScopeSettings.h"

namespace kestrova {

void RefreshDisplayMapping(ScopeSettings& settings) {
  const int m = settings.Mode();
  settings.mapping = MappingForAxis(settings.yMin[m], settings.yMax[m]);
  settings.triggerRow = ValueToRow(settings.mapping, settings.triggerLevel[m]);
}

}  // namespace kestrova
