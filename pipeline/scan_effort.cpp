#include "pipeline/scan_effort.h"

#include "pipeline/symbol_scan.h"

namespace symbol_scan {

int stepFor(int effort, int width, int height) {
  int step = effort == kEffortFast ? 6 : effort == kEffortHard ? 2 : 4;
  int side = width < height ? width : height;
  // Small pictures hold small symbols: closer lines cost little there.
  int small = side / 20 < 1 ? 1 : side / 20;
  return small < step ? small : step;
}

}  // namespace symbol_scan
