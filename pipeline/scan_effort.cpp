#include "pipeline/scan_effort.h"

#include "locate/pattern_scan.h"
#include "pipeline/scan_context.h"
#include "pipeline/symbol_scan.h"

namespace pdf417read::detail::symbol_scan {

namespace {

enum { kBothThresholds = (1 << kGlobalThreshold) | (1 << kLocalThreshold) };

// Indexed by ReadEffort.
const ScanEffort kScanEfforts[] = {
    // step, thresholds, candidates, readings, deferred
    {6, 1 << kGlobalThreshold, 8, 12, 1},              // fast
    {4, kBothThresholds, 24, 48, 4},                   // normal
    {2, kBothThresholds, 64, 160, kMaxDeferredGrids},  // hard
};

}  // namespace

const ScanEffort& scanEffortOf(int effort) {
  bool known = effort == kEffortFast || effort == kEffortNormal || effort == kEffortHard;
  return kScanEfforts[known ? effort : kEffortNormal];
}

int lineStep(const ScanEffort& effort, int width, int height) {
  int side = width < height ? width : height;
  // Small pictures hold small symbols: closer lines cost little there.
  int small = side / 20 < 1 ? 1 : side / 20;
  return small < effort.step ? small : effort.step;
}

}  // namespace pdf417read::detail::symbol_scan
