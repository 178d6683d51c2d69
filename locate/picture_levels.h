// The gray levels of a whole picture, from a sample of its pixels.
#ifndef PDF417_LOCATE_PICTURE_LEVELS_H
#define PDF417_LOCATE_PICTURE_LEVELS_H

namespace pdf417read::detail {

// From the histogram of a sample of the picture's pixels: the global
// threshold (halfway between the dark and the light class of the split of
// least variance) and the paper's level (the 90th percentile).
void sampleLevels(const unsigned char* gray, int width, int height, int* threshold, int* light);

}  // namespace pdf417read::detail

#endif
