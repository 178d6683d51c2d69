// How hard the scan path looks at a picture, by ReadEffort.
#ifndef PDF417_PIPELINE_SCAN_EFFORT_H
#define PDF417_PIPELINE_SCAN_EFFORT_H


namespace symbol_scan {

// Pixels between scanned lines.
int stepFor(int effort, int width, int height);

}  // namespace symbol_scan

#endif
