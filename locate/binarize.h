// Global histogram threshold: gray image to 1 = dark, 0 = light, in place.
#ifndef PDF417_LOCATE_BINARIZE_H
#define PDF417_LOCATE_BINARIZE_H

#include <cstddef>

namespace pdf417read::detail {

void binarizeImage(unsigned char* pixels, int width, int height);
// The same threshold, with the gray picture kept: binary gets the 0/1 bytes
// (it may be gray itself).
void binarizeImageInto(const unsigned char* gray, unsigned char* binary, int width, int height);
// The same for height rows of width bytes that lie stride bytes apart; the
// bytes between the rows are neither counted nor changed.
void binarizeRows(unsigned char* pixels, int width, int height, size_t stride);
int histogramThreshold(const unsigned char* pixels, int width, int height);
// dst[i] = 1 where src[i] < threshold, else 0, for count bytes; dst may be src.
void applyThreshold(const unsigned char* src, unsigned char* dst, size_t count, int threshold);
int selectThreshold(const int histogram[256]);
void smoothHistogram(int bins[256], int passes);
int nthLargestCount(const int bins[256], int n);

}  // namespace pdf417read::detail

#endif
