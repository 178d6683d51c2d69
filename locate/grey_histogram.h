// Histograms of grey levels and the levels read from them, shared by the
// global thresholds and the scan path's picture levels.
#ifndef PDF417_LOCATE_GREY_HISTOGRAM_H
#define PDF417_LOCATE_GREY_HISTOGRAM_H

#include <cstddef>

// Counts of the grey levels of height rows of width bytes, stride bytes apart.
void countGreyLevels(const unsigned char* pixels, int width, int height, size_t stride, unsigned histogram[256]);

// The same for every rowStep-th row, from the first, and every columnStep-th
// byte of each, from the first (both steps 1 or more).
void countSampledGreyLevels(const unsigned char* pixels, int width, int height, size_t stride, int rowStep,
                            int columnStep, unsigned histogram[256]);

// The lowest level with `percent` per cent of the counted pixels at or below
// it (0 for an empty histogram).
int greyPercentile(const unsigned histogram[256], int percent);

#endif
