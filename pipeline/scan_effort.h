// How hard the scan path looks at a picture: one row of scan parameters for
// each ReadEffort.
#ifndef PDF417_PIPELINE_SCAN_EFFORT_H
#define PDF417_PIPELINE_SCAN_EFFORT_H

namespace pdf417read::detail::symbol_scan {

struct ScanEffort {
  int step;           // pixels between scanned lines, closer in small pictures (see lineStep)
  int thresholds;     // bit (1 << ScanThreshold) per threshold the lines are scanned with
  int maxCandidates;  // candidates read, best first
  int maxReadings;    // grids sampled and read
  int maxDeferred;    // grids kept for a reading by shapes
};

// The parameters of a ReadEffort; an effort out of range reads as normal.
const ScanEffort& scanEffortOf(int effort);

// Pixels between scanned lines in a picture of width x height.
int lineStep(const ScanEffort& effort, int width, int height);

}  // namespace pdf417read::detail::symbol_scan

#endif
