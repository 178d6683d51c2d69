// Local thresholds along one line: each pixel against the mean of the
// window around it.
#ifndef PDF417_LOCATE_LINE_THRESHOLDS_H
#define PDF417_LOCATE_LINE_THRESHOLDS_H

namespace pdf417read::detail::pattern_scan {

// thresholds[x] for each of `length` values: a little darker than the mean of
// the `window` values around x (cut short near the ends). sums: room for
// length + 1 values, the line's running sums.
void localThresholds(const unsigned char* values, int length, int window, unsigned short* sums,
                     unsigned char* thresholds);

}  // namespace pdf417read::detail::pattern_scan

#endif
