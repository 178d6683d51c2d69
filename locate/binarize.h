// Global histogram threshold: grey image to 1 = dark, 0 = light, in place.
#ifndef PDF417_LOCATE_BINARIZE_H
#define PDF417_LOCATE_BINARIZE_H

void binarizeImage(unsigned char* pixels, int width, int height);
int histogramThreshold(const unsigned char* pixels, int width, int height);
int selectThreshold(const int histogram[256]);
void smoothHistogram(int bins[256], int passes);
int nthLargestCount(const int bins[256], int n);

#endif
