// Histograms of gray levels and the levels read from them, shared by the
// global thresholds and the scan path's picture levels.
#ifndef PDF417_LOCATE_GRAY_HISTOGRAM_H
#define PDF417_LOCATE_GRAY_HISTOGRAM_H

#include <cstddef>

namespace pdf417read::detail {

// Counts of the gray levels of height rows of width bytes, stride bytes apart.
void countGrayLevels(const unsigned char* pixels, int width, int height, size_t stride, unsigned histogram[256]);

// The same for every rowStep-th row, from the first, and every columnStep-th
// byte of each, from the first (both steps 1 or more).
void countSampledGrayLevels(const unsigned char* pixels, int width, int height, size_t stride, int rowStep,
                            int columnStep, unsigned histogram[256]);

// The lowest level with `percent` per cent of the counted pixels at or below
// it (0 for an empty histogram).
int grayPercentile(const unsigned histogram[256], int percent);

}  // namespace pdf417read::detail

#endif
